#pragma once
// Saving the editor's content: Word (.doc or .docx), RTF, web page, Word 2003
// XML, Unicode text and ANSI (code page 936) text. Every output goes to a
// temporary file beside the target and replaces it only when complete, so a
// failed save leaves the old file as it was.
#include <string>
#include <string_view>

#include "richtext/document.h"

namespace yig::docs {

class DocumentHost;

/// The save dialog's six filter entries, by their 1-based index.
enum class SaveFormat {
  Word = 1,         ///< .doc (Word 97) when the name ends in .DOC, else .docx
  Rtf = 2,          ///< the name's ending is forced to .rtf
  WebPage = 3,      ///< HTML, also for names ending in .mht
  Xml = 4,          ///< Word 2003 XML
  UnicodeText = 5,  ///< FF FE and UTF-16LE, CR LF line ends
  AnsiText = 6,     ///< code page 936; characters it lacks become "?"
};

/// The save dialog's title and filter text.
inline constexpr std::u16string_view kSaveDialogTitle = u"保存文件";
inline constexpr std::u16string_view kSaveFilter =
    u"Word文档(*.doc;*.docx)|*.doc;*.docx|RichText文档(*.rtf)|*.rtf|网页(*.mht;*.htm)|*.mht;*.htm|XML文件(*.xml)|*.xml|"
    u"Unicode文档(*.txt)|*.txt|ANSI文档(*.*)|*.*|";
/// The save-dialog entry (1..6) that matches a file name's ending, or 0 when
/// the ending is none of the saved formats'. `.txt` keeps an ANSI choice
/// (`textFilter` 6) and is Unicode text otherwise.
int filterForEnding(std::string_view path, int textFilter = 5);
/// What a name typed in the save dialog with `filterIndex` chosen becomes: a
/// known ending chooses the format whatever the filter; otherwise the filter's
/// ending is added (the ANSI entry, "*.*", writes the name as typed).
struct TypedSaveName {
  std::string path;
  int filterIndex;
};
TypedSaveName resolveTypedSaveName(std::string_view path, int filterIndex);

/// Shown when the name proposed to the save dialog cannot be written.
inline constexpr std::u16string_view kProposedNameUnwritable =
    u"原文件目录或原文件名含UNICODE字符，不能正确保存，请另存为非藏文目录的非藏文文件名文件！";
/// Shown when the name chosen in the save dialog cannot be written.
inline constexpr std::u16string_view kChosenNameUnwritable = u"原文件目录或原文件名含UNICODE字符，未能正确保存！";
/// Shown (with the reason) when writing failed; the old file is untouched.
inline constexpr std::u16string_view kSaveFailed = u"文件未能正确保存，原文件保持不变！";

/// The filter entry for a file name by its ending: .doc/.docx Word, .rtf RTF,
/// .htm/.html/.mht web page, .xml XML, anything else Unicode text (ANSI text
/// when `ansi`).
SaveFormat formatForPath(std::string_view path, bool ansi = false);

/// A name the file system can take: not empty, no NUL, valid UTF-8.
bool isWritableName(std::string_view path);

/// The name an RTF save writes: the file name's ending replaced by ".rtf" (or
/// ".rtf" appended when it has none).
std::string rtfSaveName(std::string_view path);

/// The bytes of the two text formats.
std::string unicodeTextBytes(const rt::Document& document);
std::string ansiTextBytes(const rt::Document& document);

/// Outcome of a save.
struct SaveOutcome {
  std::string writtenPath;  ///< the file written (an RTF save may change the ending)
  std::string error;        ///< empty on success
  bool officeMissing = false;
  bool ok() const { return error.empty(); }
};

/// Writes `document` to `path` in `format`. Nothing is written on failure.
SaveOutcome saveDocumentAs(const rt::Document& document, const std::string& path, SaveFormat format);

/// The save command for a chosen name and filter entry: writes the editor's
/// content, shows a message when the name cannot be written or the save
/// failed, and leaves ModifiedFlag alone.
SaveOutcome SaveDocument(DocumentHost& host, const std::string& path, int filterIndex);

/// Tells the user that a save failed, with the reason.
void showSaveFailure(DocumentHost& host, const SaveOutcome& outcome);

}  // namespace yig::docs
