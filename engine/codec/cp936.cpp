#include "engine/codec/cp936.h"

#include "engine/codec/cp936_data.h"

namespace yig::cp936 {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool isTrailByte(std::uint8_t b) { return b >= detail::kTrailFirst && b <= detail::kTrailLast && b != 0x7F; }

char16_t lookupPair(std::uint8_t lead, std::uint8_t trail) {
  return detail::kDecode[lead - detail::kLeadFirst][trail - detail::kTrailFirst];
}

std::uint16_t lookupCode(char16_t c) {
  return detail::kEncodeBlock[detail::kEncodePage[c >> 8]][c & 0xFF];
}

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::optional<char16_t> decodePair(std::uint8_t lead, std::uint8_t trail) {
  if (!isLeadByte(lead) || !isTrailByte(trail)) return std::nullopt;
  char16_t c = lookupPair(lead, trail);
  if (c == 0) return std::nullopt;
  return c;
}

std::optional<char16_t> decodeSingle(std::uint8_t byte) {
  if (byte < 0x80) return static_cast<char16_t>(byte);
  if (byte == 0x80) return char16_t{0x20AC};
  return std::nullopt;
}

std::u16string decode(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const auto b = static_cast<std::uint8_t>(bytes[i]);
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    if (b == 0x80) {
      out.push_back(0x20AC);
      ++i;
      continue;
    }
    if (!isLeadByte(b) || i + 1 == n) {  // 0xFF, or a lead byte with nothing after it
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    const auto t = static_cast<std::uint8_t>(bytes[i + 1]);
    if (!isTrailByte(t)) {
      // The lead byte alone is bad; the next byte starts afresh, so a CR, a
      // brace or another lead byte after a stray lead byte is not swallowed.
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    if (char16_t c = lookupPair(b, t); c != 0) {
      out.push_back(c);
      i += 2;
    } else if (t < 0x80) {
      // Unmapped pair whose second byte is ASCII: keep that byte.
      out.push_back(kReplacement);
      ++i;
    } else {
      out.push_back(kReplacement);
      i += 2;
    }
  }
  return out;
}

std::optional<std::string> encodeChar(char16_t c) {
  if (c < 0x80) return std::string(1, static_cast<char>(c));
  const std::uint16_t code = lookupCode(c);
  if (code == 0) return std::nullopt;
  if (code < 0x100) return std::string(1, static_cast<char>(code));
  return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

std::string encode(std::u16string_view text, char replacement) {
  std::string out;
  out.reserve(text.size() * 2);
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t c = text[i];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    const std::uint16_t code = lookupCode(c);
    if (code == 0) {
      // A surrogate pair is one character and gets one replacement.
      if (isHighSurrogate(c) && i + 1 < n && isLowSurrogate(text[i + 1])) ++i;
      out.push_back(replacement);
    } else if (code < 0x100) {
      out.push_back(static_cast<char>(code));
    } else {
      out.push_back(static_cast<char>(code >> 8));
      out.push_back(static_cast<char>(code & 0xFF));
    }
  }
  return out;
}

bool canEncode(std::u16string_view text) {
  for (char16_t c : text) {
    if (c >= 0x80 && lookupCode(c) == 0) return false;
  }
  return true;
}

}  // namespace yig::cp936
