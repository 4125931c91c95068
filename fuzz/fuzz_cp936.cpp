// Fuzzes the code page 936 codec: decoding never fails and never grows the
// text, and whatever decodes to mapped characters encodes back to the same
// bytes; every character the encoder accepts decodes back to itself.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/codec/cp936.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::u16string text = yig::cp936::decode(bytes);
  check(text.size() <= bytes.size());
  if (text.find(u'\uFFFD') == std::u16string::npos) {
    // Every code decoded to a real character: the encoder gives the bytes back.
    check(yig::cp936::canEncode(text));
    check(yig::cp936::encode(text) == bytes);
  }

  // The same bytes as UTF-16 units: what encodes decodes to itself.
  std::u16string units(size / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  for (char16_t c : units) {
    const auto code = yig::cp936::encodeChar(c);
    if (!code) continue;
    check(code->size() == 1 || code->size() == 2);
    if (code->size() == 1) {
      check(yig::cp936::decodeSingle(static_cast<std::uint8_t>((*code)[0])) == c);
    } else {
      check(yig::cp936::isLeadByte(static_cast<std::uint8_t>((*code)[0])));
      check(yig::cp936::decodePair(static_cast<std::uint8_t>((*code)[0]), static_cast<std::uint8_t>((*code)[1])) == c);
    }
  }
  const std::string encoded = yig::cp936::encode(units);
  check(encoded.size() <= 2 * units.size());
  if (yig::cp936::canEncode(units)) check(yig::cp936::decode(encoded) == units);
  return 0;
}
