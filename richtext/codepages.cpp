#include "richtext/codepages.h"

#include "engine/codec/cp936.h"

namespace yig::rt {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

const char16_t* singleByteHigh(int codePage) {
  switch (codePage) {
    case 874: return detail::kCp874High;
    case 1250: return detail::kCp1250High;
    case 1251: return detail::kCp1251High;
    case 1252: return detail::kCp1252High;
    case 1253: return detail::kCp1253High;
    case 1254: return detail::kCp1254High;
    case 1255: return detail::kCp1255High;
    case 1256: return detail::kCp1256High;
    case 1257: return detail::kCp1257High;
    case 1258: return detail::kCp1258High;
    default: return nullptr;
  }
}

bool isLeadByteOf(int codePage, std::uint8_t b) {
  switch (codePage) {
    case 932: return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 1361: return (b >= 0x84 && b <= 0xD3) || (b >= 0xD8 && b <= 0xF9);
    default: return b >= 0x81 && b <= 0xFE;
  }
}

// One byte that does not start a double-byte code.
char16_t decodeSingleByte(int codePage, std::uint8_t b) {
  if (b < 0x80) return b;
  if (codePage == kCodePageSymbol) return b;
  if (codePage == kCodePageGbk) {
    if (auto c = cp936::decodeSingle(b)) return *c;
    return kReplacement;
  }
  if (codePage == 932 && b >= 0xA1 && b <= 0xDF) return static_cast<char16_t>(0xFF61 + (b - 0xA1));  // half-width katakana
  if (const char16_t* high = singleByteHigh(codePage)) return high[b - 0x80];
  return kReplacement;
}

}  // namespace

int codePageForCharset(int charset) {
  switch (charset) {
    case 0: return 1252;
    case 2: return kCodePageSymbol;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    default: return 0;  // 1 (default), 77 (Mac), 255 (OEM) and unknown values
  }
}

bool isDoubleByteCodePage(int codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 1361;
}

int supportedCodePage(int codePage) {
  if (codePage == kCodePageSymbol || isDoubleByteCodePage(codePage) || singleByteHigh(codePage)) return codePage;
  return 1252;
}

int ByteDecoder::feed(std::uint8_t byte, int codePage, char16_t out[2]) {
  if (lead_ != 0) {
    const std::uint8_t lead = lead_;
    const int page = leadPage_;
    lead_ = 0;
    if (page == kCodePageGbk) {
      if (auto c = cp936::decodePair(lead, byte)) {
        out[0] = *c;
        return 1;
      }
    } else if (page == 932 && lead >= 0x81 && lead <= 0xFC && byte >= 0x40 && byte <= 0xFC) {
      if (const char16_t c = detail::kCp932Pairs[lead - 0x81][byte - 0x40]; c != 0) {
        out[0] = c;
        return 1;
      }
    }
    // An unknown pair. A trail byte below 0x80 is kept as the character it
    // is, so a stray lead byte does not swallow the text after it.
    out[0] = kReplacement;
    if (byte < 0x80) {
      out[1] = byte;
      return 2;
    }
    return 1;
  }
  if (byte >= 0x80 && isDoubleByteCodePage(codePage) && isLeadByteOf(codePage, byte) &&
      !(codePage == 932 && byte >= 0xA1 && byte <= 0xDF)) {
    lead_ = byte;
    leadPage_ = codePage;
    return 0;
  }
  out[0] = decodeSingleByte(codePage, byte);
  return 1;
}

bool ByteDecoder::flush(char16_t& out) {
  if (lead_ == 0) return false;
  lead_ = 0;
  out = kReplacement;
  return true;
}

}  // namespace yig::rt
