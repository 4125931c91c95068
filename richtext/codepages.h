#pragma once
// Code pages behind RTF byte escapes (\'xx): which code page a \fcharsetN or an
// \ansicpgN names, and a byte decoder that pairs lead and trail bytes of the
// double-byte pages.
#include <cstdint>

namespace yig::rt {

namespace detail {
// Upper halves (bytes 0x80..0xFF) of the single-byte Windows code pages,
// generated into codepages_data.cpp.
extern const char16_t kCp874High[128];
extern const char16_t kCp1250High[128];
extern const char16_t kCp1251High[128];
extern const char16_t kCp1252High[128];
extern const char16_t kCp1253High[128];
extern const char16_t kCp1254High[128];
extern const char16_t kCp1255High[128];
extern const char16_t kCp1256High[128];
extern const char16_t kCp1257High[128];
extern const char16_t kCp1258High[128];
// Code page 932 pairs: [lead - 0x81][trail - 0x40], 0 = undefined.
extern const char16_t kCp932Pairs[124][189];
}  // namespace detail

/// Code pages with special handling (the others are table-driven single-byte pages).
inline constexpr int kCodePageSymbol = 42;  ///< symbol fonts: a byte stands for the code of the same value
inline constexpr int kCodePageGbk = 936;

/// The code page that `\fcharsetN` stands for; 0 when the charset defers to the
/// document's \ansicpg (DEFAULT_CHARSET and unknown values).
int codePageForCharset(int charset);

/// Normalises a code page number to one the decoder handles: unknown single-byte
/// pages become 1252; double-byte pages stay as they are.
int supportedCodePage(int codePage);

/// True for the double-byte pages (932, 936, 949, 950, 1361). Pairs of 936 and
/// 932 are decoded; pairs of the others become U+FFFD.
bool isDoubleByteCodePage(int codePage);

/// Turns bytes into UTF-16 units one at a time, holding a lead byte of a
/// double-byte code page until its trail byte arrives.
class ByteDecoder {
 public:
  /// Feeds one byte. Returns how many units were written to `out` (0, 1 or 2):
  /// 0 while a lead byte waits for its trail byte.
  int feed(std::uint8_t byte, int codePage, char16_t out[2]);
  /// A lead byte is waiting for its trail byte.
  bool pending() const { return lead_ != 0; }
  /// Gives up a waiting lead byte: true (and U+FFFD in `out`) when one was waiting.
  bool flush(char16_t& out);

 private:
  std::uint8_t lead_ = 0;
  int leadPage_ = 0;
};

}  // namespace yig::rt
