#include "documents/package_route.h"

#include "documents/file_io.h"
#include "documents/odt_convert.h"

namespace yig::docs {

std::optional<PackageKind> packageRoute(std::string_view in, std::string_view out) {
  if (docx::isDocxName(in) && docx::isDocxName(out)) return PackageKind::Word;
  if (odt::isOdtName(in) && odt::isOdtName(out)) return PackageKind::OpenDocument;
  if (odt::isFodtName(in) && odt::isFodtName(out)) return PackageKind::FlatOpenDocument;
  return std::nullopt;
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
  FileRead file = readWholeFile(in);
  if (!file.ok()) {
    c.error = file.error;
    return c;
  }
  c.source = from;
  if (!from) {
    const std::vector<docx::PartEncodings> parts = packageEncodings(*kind, file.bytes, c.error);
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
      c.bytes = std::move(file.bytes);
      return c;
    }
  }
  switch (*kind) {
    case PackageKind::Word: c.outcome = docx::convertDocx(file.bytes, *c.source, to, options, c.bytes); break;
    case PackageKind::OpenDocument: c.outcome = odt::convertOdt(file.bytes, *c.source, to, options, c.bytes); break;
    case PackageKind::FlatOpenDocument:
      c.outcome = odt::convertFodt(file.bytes, *c.source, to, options, c.bytes);
      break;
  }
  if (!c.outcome.ok()) c.error = "'" + in + "': " + c.outcome.error;
  return c;
}

}  // namespace yig::docs
