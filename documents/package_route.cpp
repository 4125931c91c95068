#include "documents/package_route.h"

#include "documents/file_io.h"
#include "documents/office_bridge.h"
#include "documents/odt_convert.h"

namespace yig::docs {

namespace {

// The last `n` characters of a name, in lower case.
std::string tail(std::string_view path, std::size_t n) {
  std::string t(path.substr(path.size() > n ? path.size() - n : 0));
  for (char& c : t) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return t;
}

}  // namespace

bool isDocName(std::string_view path) { return tail(path, 4) == ".doc"; }

std::optional<PackageKind> packageRoute(std::string_view in, std::string_view out) {
  // LibreOffice makes a .docx of a .doc: it is written as such, or as a .doc again.
  if (isDocName(in)) {
    if (isDocName(out) || tail(out, 5) == ".docx") return PackageKind::Word;
    return std::nullopt;
  }
  if (docx::isDocxName(in) && (docx::isDocxName(out) || isDocName(out))) return PackageKind::Word;
  if (odt::isOdtName(in) && odt::isOdtName(out)) return PackageKind::OpenDocument;
  if (odt::isFodtName(in) && odt::isFodtName(out)) return PackageKind::FlatOpenDocument;
  return std::nullopt;
}

docx::Outcome convertPackage(PackageKind kind, std::string_view bytes, Encoding from, Encoding to,
                             const conv::Options& options, std::string& out) {
  switch (kind) {
    case PackageKind::Word: return docx::convertDocx(bytes, from, to, options, out);
    case PackageKind::OpenDocument: return odt::convertOdt(bytes, from, to, options, out);
    case PackageKind::FlatOpenDocument: return odt::convertFodt(bytes, from, to, options, out);
  }
  return {};
}

std::vector<docx::PartEncodings> packageEncodings(PackageKind kind, std::string_view bytes, std::string& error) {
  switch (kind) {
    case PackageKind::Word: return docx::docxEncodings(bytes, error);
    case PackageKind::OpenDocument: return odt::odtEncodings(bytes, error);
    case PackageKind::FlatOpenDocument: return odt::fodtEncodings(bytes, error);
  }
  return {};
}

std::optional<Encoding> mostUsedEncoding(const std::vector<docx::PartEncodings>& parts) {
  std::array<std::size_t, kEncodingCount> total{};
  for (const docx::PartEncodings& p : parts) {
    for (std::size_t e = 0; e < kEncodingCount; ++e) total[e] += p.characters[e];
  }
  std::size_t best = 0;
  for (std::size_t e = 1; e < kEncodingCount; ++e) {
    if (total[e] > total[best]) best = e;
  }
  if (total[best] == 0) return std::nullopt;
  return static_cast<Encoding>(best);
}

PackageConversion convertPackageFile(const std::string& in, const std::string& out, std::optional<Encoding> from,
                                     Encoding to, const conv::Options& options) {
  PackageConversion c;
  const std::optional<PackageKind> kind = packageRoute(in, out);
  if (!kind) {
    c.error = "'" + in + "' and '" + out + "' are not both Word or both OpenDocument documents";
    return c;
  }
  auto office = [&c](OfficeResult&& result, std::string& bytes, const std::string& context) {
    if (!result.ok()) c.error = context + result.error;
    c.officeMissing = result.missing;
    bytes = std::move(result.bytes);
    return c.ok();
  };
  std::string package;
  if (isDocName(in)) {
    if (!office(convertWithOffice(in, kOfficeDocxFilter, "docx"), package, "'" + in + "': ")) return c;
  } else {
    FileRead file = readWholeFile(in);
    if (!file.ok()) {
      c.error = file.error;
      return c;
    }
    package = std::move(file.bytes);
  }
  // The bytes of `out`: a package, or a .doc made of it.
  auto finish = [&] {
    if (isDocName(out)) office(convertBytesWithOffice(c.bytes, "docx", kOfficeDocFilter, "doc"), c.bytes, "no .doc made: ");
  };
  c.source = from;
  if (!from) {
    const std::vector<docx::PartEncodings> parts = packageEncodings(*kind, package, c.error);
    if (!c.error.empty()) {
      c.error = "'" + in + "': " + c.error;
      return c;
    }
    c.source = mostUsedEncoding(parts);
    if (!c.source) {
      c.error = "no Tibetan encoding recognised in the fonts of its text; give --from CODE";
      return c;
    }
    if (*c.source == to) {
      c.alreadyTarget = true;
      if (isDocName(in) && isDocName(out)) {
        // A .doc already in the target encoding is copied as it stands.
        FileRead file = readWholeFile(in);
        c.error = file.error;
        c.bytes = std::move(file.bytes);
        return c;
      }
      c.bytes = std::move(package);
      finish();
      return c;
    }
  }
  c.outcome = convertPackage(*kind, package, *c.source, to, options, c.bytes);
  if (!c.outcome.ok()) {
    c.error = "'" + in + "': " + c.outcome.error;
    return c;
  }
  if (!c.outcome.changedParts.empty()) finish();
  return c;
}

}  // namespace yig::docs
