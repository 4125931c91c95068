#pragma once
// Opening a document into the editor: RTF directly, plain text decoded and
// guessed, proof files through their import, and Word, web-page and XML
// documents through LibreOffice. On any failure the editor keeps its content
// and the user is told what went wrong.
#include <optional>
#include <string>
#include <string_view>

#include "documents/encoding_guess.h"
#include "documents/text_decoding.h"
#include "richtext/document.h"

namespace yig::docs {

class DocumentHost;

/// The open dialog's title and filter (six entries).
inline constexpr std::u16string_view kOpenDialogTitle = u"打开文件";
inline constexpr std::u16string_view kOpenFilter =
    u"Word文档(*.doc;*.docx)|*.doc;*.docx|RTF文档(*.rtf)|*.rtf|网页文件(*.htm;*.html;*.mht)|*.htm;*.html;*.mht|"
    u"XML文档(;*.xml)|*.xml|TXT文档（Unicode;Big endian;UTF-8;ANSI)(*.txt)|*.txt|所有文件(*.*)|*.*|";

/// The route a file takes, by its upper-cased ending.
enum class OpenRoute { WordProcessor, Rtf, PlainText };
OpenRoute routeFor(std::string_view path);
/// True for ".MHT" and ".MHTML" (web archives LibreOffice cannot import itself).
bool isWebArchive(std::string_view path);

/// What an open did.
struct OpenOutcome {
  enum class Result {
    Opened,         ///< the editor holds the document
    ProofImported,  ///< a proof file was found and converted
    ProofCancelled, ///< a proof file was found and the prompt cancelled
    Failed,         ///< nothing changed; `error` says why
  };
  Result result = Result::Failed;
  std::u16string status;              ///< the (untranslated) status text shown
  std::optional<TextKind> kind;       ///< plain-text route: the kind of text
  std::optional<EncodingGuess> guess; ///< the Tibetan-encoding guess, when one decided
  std::string error;                  ///< why it failed (English, one line)
  std::string madePackage;            ///< a .doc: the .docx LibreOffice made of it while reading it
  bool ok() const { return result != Result::Failed; }
};

/// Reads a plain-text file into the editor (the proof-file signature leads to
/// the proof prompt instead). The editor is only touched once the file has
/// been read and decoded.
OpenOutcome LoadTextFile(DocumentHost& host, const std::string& path);

/// The open command for a chosen file: sets openedFileName, routes by ending,
/// fills the editor, sets the font and size boxes and StatusCaption, and
/// clears ModifiedFlag. Failures show a message and leave the editor as it was.
OpenOutcome OpenDocument(DocumentHost& host, const std::string& path);

/// For tools that convert without an editor: any openable input as a
/// document. Proof files are imported in `proofMode` ("12" drops commands).
struct OpenedDocument {
  rt::Document document;
  OpenOutcome outcome;
  bool ok() const { return outcome.ok() && outcome.result != OpenOutcome::Result::ProofCancelled; }
};
OpenedDocument openForConversion(const std::string& path, std::string_view proofMode = "12", bool tibetan = false);

}  // namespace yig::docs
