#pragma once
// Code page 936 (GBK) as Windows has it: ASCII, 0x80 = U+20AC, the GBK
// double-byte area, and the three user-defined areas mapped to U+E000..U+E765.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace yig::cp936 {

/// Decodes one double-byte code (lead byte first); nothing when unmapped.
std::optional<char16_t> decodePair(std::uint8_t lead, std::uint8_t trail);
/// Decodes one single byte (below 0x80, or 0x80 itself); nothing when it is a lead byte or unmapped.
std::optional<char16_t> decodeSingle(std::uint8_t byte);
/// True when `byte` may start a double-byte code (0x81..0xFE).
constexpr bool isLeadByte(std::uint8_t byte) { return byte >= 0x81 && byte <= 0xFE; }

/// Decodes a byte string; every invalid byte or unmapped pair becomes U+FFFD.
std::u16string decode(std::string_view bytes);

/// Encodes one character: one byte for ASCII and U+20AC, two bytes (lead first)
/// for the double-byte area; nothing when code page 936 has no code for it.
std::optional<std::string> encodeChar(char16_t c);
/// Encodes a string; characters without a code become `replacement` (default "?").
std::string encode(std::u16string_view text, char replacement = '?');
/// True when every character of `text` has a code.
bool canEncode(std::u16string_view text);

}  // namespace yig::cp936
