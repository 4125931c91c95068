#include "documents/kept_package.h"

#include <functional>

#include "documents/file_io.h"
#include "documents/office_bridge.h"
#include "documents/odt_convert.h"

namespace yig::docs {

namespace {

void mix(std::uint64_t& h, std::uint64_t value) { h ^= value + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2); }

// The package LibreOffice makes of a binary Word document, and back.
OfficeResult packageOfDoc(std::string_view doc) { return convertBytesWithOffice(doc, "doc", kOfficeDocxFilter, "docx"); }
OfficeResult docOfPackage(std::string_view docx) { return convertBytesWithOffice(docx, "docx", kOfficeDocFilter, "doc"); }

}  // namespace

std::uint64_t documentFingerprint(const rt::Document& document) {
  std::uint64_t h = std::hash<std::u16string_view>{}(document.text());
  const rt::CharFormatHash formatHash;
  for (const rt::Document::Run& run : document.runs()) {
    mix(h, run.start);
    mix(h, run.end);
    mix(h, formatHash(*run.format));
  }
  mix(h, formatHash(document.defaultFormat()));
  // The header is shared by copies and replaced, never changed, by edits.
  mix(h, std::hash<const void*>{}(document.carriedHeader().get()));
  mix(h, std::hash<std::string>{}(document.finalParagraphLead()));
  return h;
}

std::optional<KeptPackage> keepPackage(const std::string& path, const rt::Document& document, std::string made) {
  KeptPackage package;
  if (isDocName(path)) {
    package.binary = true;
  } else if (odt::isOdtName(path)) {
    package.kind = PackageKind::OpenDocument;
  } else if (odt::isFodtName(path)) {
    package.kind = PackageKind::FlatOpenDocument;
  } else if (!docx::isDocxName(path)) {
    return std::nullopt;
  }
  FileRead file = readWholeFile(path);
  if (!file.ok() || file.bytes.empty()) return std::nullopt;
  package.source = path;
  package.bytes = std::move(file.bytes);
  package.fingerprint = documentFingerprint(document);
  if (package.binary) package.made = std::move(made);
  return package;
}

bool savesAs(const KeptPackage& package, std::string_view path) {
  return packageRoute(package.source, path) == package.kind;
}

docx::Outcome convertKeptPackage(KeptPackage& package, Encoding from, Encoding to, const conv::Options& options) {
  docx::Outcome outcome;
  if (package.binary && package.made.empty()) {
    OfficeResult docx = packageOfDoc(package.bytes);
    if (!docx.ok()) {
      outcome.error = docx.error;
      return outcome;
    }
    package.made = std::move(docx.bytes);  // kept for a later try when this conversion fails
  }
  std::string out;
  outcome = convertPackage(package.kind, package.binary ? package.made : package.bytes, from, to, options, out);
  if (!outcome.ok()) return outcome;
  package.bytes = std::move(out);
  package.binary = false;
  package.made.clear();
  return outcome;
}

SaveOutcome saveKeptPackage(const KeptPackage& package, const std::string& path) {
  SaveOutcome outcome;
  outcome.writtenPath = path;
  if (!isWritableName(path)) {
    outcome.error = "'" + path + "' is not a file name that can be written";
    return outcome;
  }
  if (!savesAs(package, path)) {
    outcome.error = "'" + path + "' is not a name the document's package can be saved as";
    return outcome;
  }
  if (package.binary == isDocName(path)) {
    outcome.error = writeFileAtomically(path, package.bytes);
    return outcome;
  }
  if (package.binary && !package.made.empty()) {
    outcome.error = writeFileAtomically(path, package.made);
    return outcome;
  }
  OfficeResult made = package.binary ? packageOfDoc(package.bytes) : docOfPackage(package.bytes);
  if (!made.ok()) {
    outcome.error = made.error;
    outcome.officeMissing = made.missing;
    return outcome;
  }
  outcome.error = writeFileAtomically(path, made.bytes);
  return outcome;
}

SaveOutcome SaveKeptPackage(DocumentHost& host, const KeptPackage& package, const std::string& path) {
  SaveOutcome outcome = saveKeptPackage(package, path);
  if (!outcome.ok()) showSaveFailure(host, outcome);
  return outcome;
}

}  // namespace yig::docs
