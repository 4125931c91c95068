// Fuzzes the Word and OpenDocument routes: the input is taken as a whole
// package, as the XML of a body part inside a valid package, and as a flat
// OpenDocument text. A refusal must come
// with a message and no output; a conversion must give a package that opens
// again with the same entries.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "documents/docx_convert.h"
#include "documents/docx_zip.h"
#include "documents/odt_convert.h"

namespace {

// A package holding `xml` as its body, made by replacing the body of a small one.
std::string packageWithBody(const std::string& xml) {
  static const std::string base = [] {
    std::string error, out;
    const std::string body =
        "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"/>";
    // Stored zip of one entry, written by hand: local header, data, central directory.
    auto le = [](std::string& s, std::uint32_t v, int n) {
      for (int i = 0; i < n; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    const std::string name = "word/document.xml";
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : body) {
      crc ^= c;
      for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc ^= 0xFFFFFFFFu;
    std::string z = "PK\x03\x04";
    le(z, 20, 2), le(z, 0, 2), le(z, 0, 2), le(z, 0, 4), le(z, crc, 4);
    le(z, static_cast<std::uint32_t>(body.size()), 4), le(z, static_cast<std::uint32_t>(body.size()), 4);
    le(z, static_cast<std::uint32_t>(name.size()), 2), le(z, 0, 2);
    z += name + body;
    const std::uint32_t central = static_cast<std::uint32_t>(z.size());
    z += "PK\x01\x02";
    le(z, 20, 2), le(z, 20, 2), le(z, 0, 2), le(z, 0, 2), le(z, 0, 4), le(z, crc, 4);
    le(z, static_cast<std::uint32_t>(body.size()), 4), le(z, static_cast<std::uint32_t>(body.size()), 4);
    le(z, static_cast<std::uint32_t>(name.size()), 2), le(z, 0, 2), le(z, 0, 2), le(z, 0, 2), le(z, 0, 2), le(z, 0, 4),
        le(z, 0, 4);
    z += name;
    const std::uint32_t size = static_cast<std::uint32_t>(z.size()) - central;
    z += "PK\x05\x06";
    le(z, 0, 4), le(z, 1, 2), le(z, 1, 2), le(z, size, 4), le(z, central, 4), le(z, 0, 2);
    return z;
  }();
  std::string error, out;
  auto pkg = yig::docs::zip::Package::open(base, error);
  if (!pkg || !pkg->write({{0, xml}}, out, error)) std::abort();
  return out;
}

void check(const std::string& package, yig::Encoding from, yig::Encoding to) {
  std::string out;
  const auto outcome = yig::docs::docx::convertDocx(package, from, to, yig::conv::Options{}, out);
  if (!outcome.ok()) {
    if (!out.empty() || outcome.error.empty()) std::abort();
    return;
  }
  std::string error;
  auto again = yig::docs::zip::Package::open(out, error);
  auto before = yig::docs::zip::Package::open(package, error);
  if (!again || !before || again->size() != before->size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1 << 20)) return 0;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const yig::Encoding from = size % 2 ? yig::Encoding::HIMA : yig::Encoding::BZD;
  const yig::Encoding to = size % 3 ? yig::Encoding::SAM : yig::Encoding::TY;
  check(input, from, to);
  check(packageWithBody(input), from, to);
  std::string error, out;
  yig::docs::docx::docxEncodings(input, error);
  if (!yig::docs::odt::convertOdt(input, from, to, yig::conv::Options{}, out).ok() && !out.empty()) std::abort();
  if (!yig::docs::odt::convertFodt(input, from, to, yig::conv::Options{}, out).ok() && !out.empty()) std::abort();
  return 0;
}
