#include "documents/save_document.h"

#include "documents/document_host.h"
#include "documents/file_io.h"
#include "documents/office_bridge.h"
#include "documents/rtf_route.h"
#include "documents/text_decoding.h"
#include "engine/codec/cp936.h"
#include "engine/message_map.h"

namespace yig::docs {
namespace {

std::string_view fileNameOf(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

bool endsWithUpper(std::string_view path, std::string_view ending) {
  const std::string name = upper(fileNameOf(path));
  return name.size() >= ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0;
}

}  // namespace

SaveFormat formatForPath(std::string_view path, bool ansi) {
  if (endsWithUpper(path, ".DOC") || endsWithUpper(path, ".DOCX")) return SaveFormat::Word;
  if (endsWithUpper(path, ".RTF")) return SaveFormat::Rtf;
  if (endsWithUpper(path, ".HTM") || endsWithUpper(path, ".HTML") || endsWithUpper(path, ".MHT")) {
    return SaveFormat::WebPage;
  }
  if (endsWithUpper(path, ".XML")) return SaveFormat::Xml;
  return ansi ? SaveFormat::AnsiText : SaveFormat::UnicodeText;
}

int filterForEnding(std::string_view path, int textFilter) {
  struct Ending {
    std::string_view ending;
    int filter;
  };
  static constexpr Ending kEndings[] = {{".DOC", 1}, {".DOCX", 1}, {".RTF", 2}, {".HTM", 3}, {".HTML", 3},
                                        {".MHT", 3}, {".XML", 4},  {".TXT", 5}};
  for (const Ending& e : kEndings) {
    if (!endsWithUpper(path, e.ending)) continue;
    return e.filter == 5 && textFilter == 6 ? 6 : e.filter;
  }
  return 0;
}

TypedSaveName resolveTypedSaveName(std::string_view path, int filterIndex) {
  if (filterIndex < 1 || filterIndex > 6) filterIndex = 2;
  if (const int byEnding = filterForEnding(path, filterIndex)) return {std::string(path), byEnding};
  static constexpr std::string_view kFilterEndings[] = {"", ".docx", ".rtf", ".htm", ".xml", ".txt", ""};
  return {std::string(path) + std::string(kFilterEndings[filterIndex]), filterIndex};
}

bool isWritableName(std::string_view path) {
  if (path.empty() || path.find('\0') != std::string_view::npos) return false;
  if (fileNameOf(path).empty()) return false;
  return decodeUtf8Strict(path).has_value();
}

std::string rtfSaveName(std::string_view path) {
  const std::size_t nameStart = path.size() - fileNameOf(path).size();
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string_view::npos || dot < nameStart) return std::string(path) + ".rtf";
  return std::string(path.substr(0, dot)) + ".rtf";
}

std::string unicodeTextBytes(const rt::Document& document) {
  const std::u16string text = document.plainText();
  std::string bytes;
  bytes.reserve(2 + text.size() * 2);
  bytes += "\xFF\xFE";
  for (const char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

std::string ansiTextBytes(const rt::Document& document) { return cp936::encode(document.plainText()); }

SaveOutcome saveDocumentAs(const rt::Document& document, const std::string& path, SaveFormat format) {
  SaveOutcome outcome;
  outcome.writtenPath = path;
  if (!isWritableName(path)) {
    outcome.error = "'" + path + "' is not a file name that can be written";
    return outcome;
  }
  switch (format) {
    case SaveFormat::Word:
    case SaveFormat::WebPage:
    case SaveFormat::Xml:
      // Through LibreOffice, the way any RTF is saved in these formats.
      return saveRtfAs(document.rtf(), path, format);
    case SaveFormat::Rtf:
      outcome.writtenPath = rtfSaveName(path);
      outcome.error = writeFileAtomically(outcome.writtenPath, document.rtf());
      return outcome;
    case SaveFormat::UnicodeText:
      outcome.error = writeFileAtomically(path, unicodeTextBytes(document));
      return outcome;
    case SaveFormat::AnsiText: break;
  }
  outcome.error = writeFileAtomically(path, ansiTextBytes(document));
  return outcome;
}

SaveOutcome SaveDocument(DocumentHost& host, const std::string& path, int filterIndex) {
  const bool tibetan = host.tibetanInterface();
  if (!isWritableName(path)) {
    host.showMessage(TranslateForDisplay(kChosenNameUnwritable, tibetan));
    SaveOutcome outcome;
    outcome.writtenPath = path;
    outcome.error = "'" + path + "' is not a file name that can be written";
    return outcome;
  }
  const SaveFormat format = filterIndex >= 1 && filterIndex <= 5 ? static_cast<SaveFormat>(filterIndex) : SaveFormat::AnsiText;
  host.processEvents();
  SaveOutcome outcome = saveDocumentAs(host.editor(), path, format);
  if (!outcome.ok()) showSaveFailure(host, outcome);
  return outcome;
}

void showSaveFailure(DocumentHost& host, const SaveOutcome& outcome) {
  std::u16string text = TranslateForDisplay(kSaveFailed, host.tibetanInterface());
  text += u"\n" + decodeUtf8Lenient(outcome.error);
  if (outcome.officeMissing) text += u"\n" + decodeUtf8Lenient(std::string(kOfficeInstallHint));
  host.showMessage(text);
}

}  // namespace yig::docs
