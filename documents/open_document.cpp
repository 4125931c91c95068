#include "documents/open_document.h"

#include <utility>
#include <vector>

#include "documents/document_host.h"
#include "documents/file_io.h"
#include "documents/office_bridge.h"
#include "documents/proof_file.h"
#include "documents/recording_host.h"
#include "documents/unicode_text_document.h"
#include "documents/word_xml.h"
#include "engine/encodings.h"
#include "engine/message_map.h"

namespace yig::docs {
namespace {

std::string upperEnding(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos) return {};
  std::string ending(name.substr(dot));
  for (char& c : ending) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return ending;
}

// Shows a fixed message (translated in the Tibetan interface) with the
// particular reason under it, and returns a failed outcome carrying the reason.
OpenOutcome fail(DocumentHost& host, std::u16string_view message, const std::string& reason) {
  std::u16string text = TranslateForDisplay(message, host.tibetanInterface());
  if (!reason.empty()) text += u"\n" + decodeUtf8Lenient(reason);
  host.showMessage(text);
  OpenOutcome outcome;
  outcome.result = OpenOutcome::Result::Failed;
  outcome.error = reason;
  return outcome;
}

void showStatus(DocumentHost& host, std::u16string_view status) {
  host.setStatusCaption(TranslateForDisplay(status, host.tibetanInterface()));
}

// Puts a document read elsewhere into the editor, caret at the start, the font
// and size boxes showing the format there.
OpenOutcome takeDocument(DocumentHost& host, rt::Document&& document, std::u16string_view status) {
  rt::Document& editor = host.editor();
  editor = std::move(document);
  editor.select(0, 0);
  const rt::SelectionFormat format = editor.selectionFormat();
  if (format.fontName) host.setFontBox(*format.fontName);
  if (format.sizeHalfPoints) host.setSizeBox(*format.sizeHalfPoints);
  showStatus(host, status);
  host.clearModifiedFlag();
  OpenOutcome outcome;
  outcome.result = OpenOutcome::Result::Opened;
  outcome.status = std::u16string(status);
  return outcome;
}

constexpr std::u16string_view kCannotRead = u"无法读取该文件，编辑区保持不变！";
constexpr std::u16string_view kEmptyFile = u"该文件为空，没有可打开的内容！";
constexpr std::u16string_view kNotText = u"该文件不是文本文件，无法打开！";
constexpr std::u16string_view kNotRtf = u"该文件不是有效的RTF文档，无法打开！";
constexpr std::u16string_view kOfficeMissing =
    u"未安装LibreOffice，无法打开Word、网页和XML文档。请用以下命令安装：sudo apt-get install libreoffice-writer-nogui";
constexpr std::u16string_view kOfficeFailed = u"LibreOffice未能打开该文件，编辑区保持不变！";
constexpr std::u16string_view kNoHtmlInArchive = u"该网页存档中没有网页内容，无法打开！";

// LibreOffice writes the fonts of the national-standard encodings (BZDBT,
// CHINATIBET, ...) with \fcharset0. The conversions read their text as GBK
// byte escapes, so such runs get the charset 134 of their font entries back.
void markNationalFontsAsGbk(rt::Document& document) {
  std::vector<std::pair<std::size_t, rt::Font>> changes;  // run start, new font
  std::vector<std::size_t> ends;
  for (const rt::Document::Run& run : document.runs()) {
    if (run.format->font.charset != 134 && isNationalFontName(run.format->font.name)) {
      rt::Font font = run.format->font;
      font.charset = 134;
      changes.emplace_back(run.start, std::move(font));
      ends.push_back(run.end);
    }
  }
  for (std::size_t i = 0; i < changes.size(); ++i) {
    document.select(changes[i].first, ends[i] - changes[i].first);
    rt::FormatChange change;
    change.font = changes[i].second;
    document.applyFormat(change);
  }
  document.select(0, 0);
}

OpenOutcome openThroughOffice(DocumentHost& host, const std::string& path) {
  OfficeResult converted;
  if (upperEnding(path) == ".XML") {
    // Word 2003 XML is read here: LibreOffice's import drops the run fonts.
    FileRead file = readWholeFile(path);
    if (!file.ok()) return fail(host, kCannotRead, file.error);
    if (file.bytes.empty()) return fail(host, kEmptyFile, "'" + path + "' is empty");
    if (std::optional<rt::Document> document = readWordXml(file.bytes)) {
      return takeDocument(host, std::move(*document), kWordProcessorStatus);
    }
  }
  if (isWebArchive(path)) {
    FileRead archive = readWholeFile(path);
    if (!archive.ok()) return fail(host, kCannotRead, archive.error);
    if (archive.bytes.empty()) return fail(host, kEmptyFile, "'" + path + "' is empty");
    const std::optional<std::string> html = extractHtmlFromMht(archive.bytes);
    if (!html) return fail(host, kNoHtmlInArchive, "'" + path + "' holds no text/html part");
    converted = convertBytesWithOffice(*html, "html", "rtf:Rich Text Format", "rtf");
  } else {
    converted = rtfThroughOffice(path);
  }
  if (!converted.ok()) return fail(host, converted.missing ? kOfficeMissing : kOfficeFailed, converted.error);
  rt::Document document;
  const rt::ReadResult read = document.setRtf(useAssociatedFontsForTibetan(converted.bytes));
  if (!read.ok) return fail(host, kOfficeFailed, "LibreOffice produced no readable RTF: " + read.error);
  markNationalFontsAsGbk(document);
  OpenOutcome outcome = takeDocument(host, std::move(document), kWordProcessorStatus);
  if (outcome.ok()) outcome.madePackage = std::move(converted.package);
  return outcome;
}

OpenOutcome openRtf(DocumentHost& host, const std::string& path) {
  FileRead file = readWholeFile(path);
  if (!file.ok()) return fail(host, kCannotRead, file.error);
  if (file.bytes.empty()) return fail(host, kEmptyFile, "'" + path + "' is empty");
  rt::Document document;
  const rt::ReadResult read = document.setRtf(file.bytes);
  if (!read.ok) return fail(host, kNotRtf, "'" + path + "' is not an RTF document: " + read.error);
  return takeDocument(host, std::move(document), kRtfStatus);
}

}  // namespace

OpenRoute routeFor(std::string_view path) {
  const std::string ending = upperEnding(path);
  if (ending == ".DOC" || ending == ".DOCX" || ending == ".DOCM" || ending == ".DOTX" || ending == ".ODT" ||
      ending == ".FODT" || ending == ".XML" || ending == ".HTM" || ending == ".HTML" || ending == ".MHT" ||
      ending == ".MHTML") {
    return OpenRoute::WordProcessor;
  }
  if (ending == ".RTF") return OpenRoute::Rtf;
  return OpenRoute::PlainText;
}

bool isWebArchive(std::string_view path) {
  const std::string ending = upperEnding(path);
  return ending == ".MHT" || ending == ".MHTML";
}

OpenOutcome LoadTextFile(DocumentHost& host, const std::string& path) {
  FileRead file = readWholeFile(path);
  if (!file.ok()) return fail(host, kCannotRead, file.error);

  if (findProofSignature(file.bytes)) {
    std::string().swap(file.bytes);
    host.setProofMode("");
    host.processEvents();
    OpenOutcome outcome;
    outcome.status = std::u16string(kProofPromptCaption);
    const ProofChoice choice = host.askProofMode();
    if (choice == ProofChoice::Cancel) {
      host.setProofMode("");
      outcome.result = OpenOutcome::Result::ProofCancelled;
      return outcome;
    }
    host.setProofMode(std::string(choice == ProofChoice::KeepCommands ? kProofKeepCommands : kProofDropCommands));
    if (!ConvertProofFile(host)) {
      outcome.result = OpenOutcome::Result::Failed;
      outcome.error = "'" + path + "' could not be read again for the proof-file import";
      return outcome;
    }
    outcome.result = OpenOutcome::Result::ProofImported;
    outcome.status = std::u16string(isHuaguangFont(host.fontBox()) ? kHuaguangResult : kFangzhengResult);
    outcome.guess = guessEncoding(host.editor().text());
    return outcome;
  }

  if (file.bytes.empty()) return fail(host, kEmptyFile, "'" + path + "' is empty");
  DecodedText decoded = decodeTextFile(file.bytes);
  if (looksBinary(file.bytes, decoded)) return fail(host, kNotText, "'" + path + "' holds NUL bytes: not a text file");
  std::string().swap(file.bytes);
  if (decoded.text.empty()) return fail(host, kEmptyFile, "'" + path + "' holds no text after its signature");

  OpenOutcome outcome;
  outcome.result = OpenOutcome::Result::Opened;
  outcome.kind = decoded.kind;
  outcome.status = std::u16string(statusTextOf(decoded.kind));
  showStatus(host, outcome.status);
  rt::Document& editor = host.editor();
  if (decoded.kind == TextKind::Ansi) {
    editor.setText(decoded.text);
  } else {
    setUnicodeText(editor, decoded.text);  // as InsertUnicodeText leaves it, without the RTF detour
  }
  host.processEvents();
  editor.select(0, 0);
  outcome.guess = GuessTibetanEncoding(host, decoded.text);
  host.clearModifiedFlag();
  return outcome;
}

OpenOutcome OpenDocument(DocumentHost& host, const std::string& path) {
  host.setOpenedFileName(path);
  switch (routeFor(path)) {
    case OpenRoute::WordProcessor: return openThroughOffice(host, path);
    case OpenRoute::Rtf: return openRtf(host, path);
    case OpenRoute::PlainText: break;
  }
  return LoadTextFile(host, path);
}

OpenedDocument openForConversion(const std::string& path, std::string_view proofMode, bool tibetan) {
  const ProofChoice answer = proofMode == kProofKeepCommands   ? ProofChoice::KeepCommands
                             : proofMode == kProofDropCommands ? ProofChoice::DropCommands
                                                               : ProofChoice::Cancel;
  RecordingHost host(tibetan, answer);
  OpenedDocument opened;
  opened.outcome = OpenDocument(host, path);
  if (opened.outcome.result == OpenOutcome::Result::ProofCancelled) {
    opened.outcome.error = "'" + path + "' is a typesetting proof file; choose a proof mode to import it";
  }
  opened.document = std::move(host.editor());
  return opened;
}

}  // namespace yig::docs
