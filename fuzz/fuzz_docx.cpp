// Fuzzes the Word and OpenDocument routes: the input is taken as a whole
// package, as the XML of a body part or of the list levels inside a valid
// package, and as a flat OpenDocument text; the encoding scans read each. A
// refusal must come with a message and no output; a conversion must give a
// package that opens again with the same entries, and a flat text that was
// rewritten stays well-formed.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "documents/docx_convert.h"
#include "documents/docx_xml.h"
#include "documents/docx_zip.h"
#include "documents/odt_convert.h"

namespace {

// A stored zip of `entries` (name, bytes), written by hand: local headers and
// data, then the central directory.
std::string storedZip(const std::vector<std::pair<std::string, std::string>>& entries) {
  auto le = [](std::string& s, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  std::string z, central;
  for (const auto& [name, body] : entries) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : body) {
      crc ^= c;
      for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc ^= 0xFFFFFFFFu;
    const auto offset = static_cast<std::uint32_t>(z.size());
    const auto length = static_cast<std::uint32_t>(body.size());
    z += "PK\x03\x04";
    le(z, 20, 2), le(z, 0, 2), le(z, 0, 2), le(z, 0, 4), le(z, crc, 4), le(z, length, 4), le(z, length, 4);
    le(z, static_cast<std::uint32_t>(name.size()), 2), le(z, 0, 2);
    z += name + body;
    central += "PK\x01\x02";
    le(central, 20, 2), le(central, 20, 2), le(central, 0, 2), le(central, 0, 2), le(central, 0, 4), le(central, crc, 4);
    le(central, length, 4), le(central, length, 4), le(central, static_cast<std::uint32_t>(name.size()), 2);
    le(central, 0, 2), le(central, 0, 2), le(central, 0, 2), le(central, 0, 2), le(central, 0, 4), le(central, offset, 4);
    central += name;
  }
  const auto at = static_cast<std::uint32_t>(z.size());
  const auto count = static_cast<std::uint32_t>(entries.size());
  z += central + "PK\x05\x06";
  le(z, 0, 4), le(z, count, 2), le(z, count, 2), le(z, static_cast<std::uint32_t>(central.size()), 4), le(z, at, 4),
      le(z, 0, 2);
  return z;
}

// A small package with `xml` in place of entry `index`: 0 the body, 1 the list levels.
std::string packageWith(std::size_t index, const std::string& xml) {
  static const std::string base = storedZip(
      {{"word/document.xml",
        "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body><w:p>"
        "<w:pPr><w:numPr><w:numId w:val=\"1\"/></w:numPr></w:pPr><w:r><w:t>a</w:t></w:r></w:p></w:body></w:document>"},
       {"word/numbering.xml", "<w:numbering xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"/>"}});
  std::string error, out;
  auto pkg = yig::docs::zip::Package::open(base, error);
  if (!pkg || !pkg->write({{index, xml}}, out, error)) std::abort();
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
  check(packageWith(0, input), from, to);
  const std::string labels = packageWith(1, input);
  check(labels, from, to);
  std::string error, out;
  yig::docs::docx::docxEncodings(input, error);
  yig::docs::docx::docxEncodings(labels, error);
  yig::docs::odt::odtEncodings(input, error);
  yig::docs::odt::fodtEncodings(input, error);
  if (!yig::docs::odt::convertOdt(input, from, to, yig::conv::Options{}, out).ok() && !out.empty()) std::abort();
  const auto flat = yig::docs::odt::convertFodt(input, from, to, yig::conv::Options{}, out);
  if (!flat.ok() && !out.empty()) std::abort();
  if (flat.ok() && !flat.changedParts.empty()) {
    // What was rewritten (spans, list levels, new styles) is well-formed still.
    yig::docs::xml::Tokenizer tokens(out);
    if (!yig::docs::xml::forEachToken(tokens, 100000, error, [](const yig::docs::xml::Token&) {})) std::abort();
  }
  return 0;
}
