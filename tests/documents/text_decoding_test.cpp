#include "documents/text_decoding.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace yig::docs {
namespace {

std::string withPairAt(std::size_t offset, std::size_t size) {
  std::string bytes(size, 'a');
  bytes[offset] = '\x80';
  bytes[offset + 1] = '\x86';
  return bytes;
}

TEST(ProofSignature, FoundOnlyWhenThePairStartsAtOffset500OrBefore) {
  EXPECT_EQ(findProofSignature(withPairAt(0, 10)), 0u);
  EXPECT_EQ(findProofSignature(withPairAt(500, 600)), 500u);
  EXPECT_EQ(findProofSignature(withPairAt(501, 600)), std::nullopt);
  EXPECT_EQ(findProofSignature(withPairAt(500, 502)), 500u);  // the pair ends the file
  EXPECT_EQ(findProofSignature(std::string("\x80", 1)), std::nullopt);
  EXPECT_EQ(findProofSignature(""), std::nullopt);
  EXPECT_EQ(findProofSignature("\x86\x80"), std::nullopt);  // order matters
}

TEST(TextKind, ChosenByFirstBytesThenByUtf8Validity) {
  struct Case {
    std::string bytes;
    TextKind kind;
    std::u16string_view status;
  };
  const Case cases[] = {
      {"\xFF\xFE" "A\0", TextKind::Utf16LE, u"Unicode文件"},
      {"\xFE\xFF\0A", TextKind::Utf16BE, u"Unicode big edian文件"},
      {"\xEF\xBB\xBF" "abc", TextKind::Utf8Bom, u"UTF-8文件"},
      {"\xE0\xBD\x80\xE0\xBD\xA2", TextKind::Utf8, u"UTF-8文件"},     // ཀར without a signature
      {"plain ascii", TextKind::Ansi, u"普通txt文件"},                   // no multi-byte sequence
      {"\xD6\xD0\xCE\xC4", TextKind::Ansi, u"普通txt文件"},              // 中文 in GBK is not UTF-8
      {"\xE0\xBD", TextKind::Ansi, u"普通txt文件"},                      // truncated UTF-8
      {"\xFF", TextKind::Ansi, u"普通txt文件"},                          // too short for any signature
      {"\xEF\xBB", TextKind::Ansi, u"普通txt文件"},
      {"\xC0\x80", TextKind::Ansi, u"普通txt文件"},                      // overlong form
      {"\xED\xA0\x80", TextKind::Ansi, u"普通txt文件"},                  // encoded surrogate
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(detectTextKind(c.bytes), c.kind);
    EXPECT_EQ(statusTextOf(detectTextKind(c.bytes)), c.status);
  }
}

TEST(DecodeTextFile, DecodesEachKind) {
  struct Case {
    std::string bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {std::string("\xFF\xFE" "A\0B\0", 6), u"AB"},
      {std::string("\xFE\xFF\0A\0B", 6), u"AB"},
      {std::string("\xFE\xFF\0A\0B\0", 7), u"AB"},      // odd length: the last byte is ignored
      {std::string("\xFF\xFE" "A\0B", 5), u"A"},
      {"\xEF\xBB\xBF\xE0\xBD\x80", u"\u0F40"},          // the signature is not text
      {"\xE0\xBD\x80\xE0\xBD\xA2", u"\u0F40\u0F62"},
      {"\xD6\xD0\xCE\xC4", u"中文"},
      {"\x81\x80", u"\u4E90"},                          // a GBK pair with trail byte 0x80
      {std::string("\xFF\xFE", 2), u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(decodeTextFile(c.bytes).text, c.text);
  }
}

TEST(DecodeTextFile, UnicodeKindsGetCrLfLineEnds) {
  EXPECT_EQ(decodeTextFile("\xE0\xBD\x80\na\rb\r\nc").text, u"\u0F40\r\na\r\nb\r\nc");
  EXPECT_EQ(decodeTextFile(std::string("\xFF\xFE" "A\0\n\0B\0", 8)).text, u"A\r\nB");
}

TEST(DecodeTextFile, BinaryFilesAreRecognised) {
  const std::string nulInAnsi("ab\0cd", 5);
  EXPECT_TRUE(looksBinary(nulInAnsi, decodeTextFile(nulInAnsi)));
  const std::string nulUnitInUtf16("\xFF\xFE" "A\0\0\0", 6);
  EXPECT_TRUE(looksBinary(nulUnitInUtf16, decodeTextFile(nulUnitInUtf16)));
  const std::string utf16("\xFF\xFE" "A\0B\0", 6);  // zero high bytes are fine in UTF-16
  EXPECT_FALSE(looksBinary(utf16, decodeTextFile(utf16)));
}

// One U+FFFD for each maximal subpart of an invalid sequence, the count other
// decoders (and the reader comparing our output with theirs) produce.
TEST(Utf8, InvalidSequencesBecomeOneReplacementPerMaximalSubpart) {
  const std::size_t none = std::string::npos;
  struct Case {
    const char* name;
    std::string in;
    std::u16string out;
    std::size_t firstInvalid;
  };
  const Case cases[] = {
      {"ascii", "abc", u"abc", none},
      {"two, three and four bytes", "\xC3\xA9\xE0\xBD\x80\xF0\x9F\x98\x80", u"\u00E9\u0F40\U0001F600", none},
      {"last code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF", none},
      {"overlong two bytes", "a\xC0\x80", u"a\uFFFD\uFFFD", 1},
      {"overlong three bytes", "\xE0\x80\x80z", u"\uFFFD\uFFFD\uFFFDz", 0},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", 0},
      {"past U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", 0},
      {"stray continuation", "x\x80y", u"x\uFFFDy", 1},
      {"byte FF", "\xFF", u"\uFFFD", 0},
      {"truncated at end", "ab\xE0\xBD", u"ab\uFFFD", 2},
      {"truncated before ASCII", "\xE0\xBD" "A", u"\uFFFDA", 0},
      {"truncated four bytes before a valid one", "\xF0\x9F\x98\xC3\xA9", u"\uFFFD\u00E9", 0},
      {"GBK bytes are not UTF-8", "\xCB\xCE\xCC\xE5", u"\uFFFD\uFFFD\uFFFD\uFFFD", 0},
  };
  for (const auto& tc : cases) {
    std::size_t bad = 12345;
    EXPECT_EQ(decodeUtf8Lenient(tc.in, &bad), tc.out) << tc.name;
    EXPECT_EQ(bad, tc.firstInvalid) << tc.name;
    EXPECT_EQ(decodeUtf8Strict(tc.in).has_value(), tc.firstInvalid == none) << tc.name;
    if (tc.firstInvalid == none) {
      EXPECT_EQ(encodeUtf8(tc.out), tc.in) << tc.name;
    }
  }
}

TEST(Utf8, EncodeReplacesUnpairedSurrogates) {
  EXPECT_EQ(encodeUtf8(std::u16string(1, 0xD800) + u"x"), "\xEF\xBF\xBDx");  // lone high surrogate
  EXPECT_EQ(encodeUtf8(std::u16string(1, 0xDC00)), "\xEF\xBF\xBD");         // lone low surrogate
  EXPECT_EQ(encodeUtf8(u""), "");
}

TEST(LineEnds, EveryLineEndBecomesCrLf) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"", u""},
      {u"a\r\nb", u"a\r\nb"},                          // already CR LF: unchanged, not doubled
      {u"a\nb\n", u"a\r\nb\r\n"},                      // LF alone
      {u"a\rb\r", u"a\r\nb\r\n"},                      // CR alone, also at the end
      {u"\n\r\r\n\r", u"\r\n\r\n\r\n\r\n"},            // LF CR is two ends; CR CR LF is two
      {u"\u0F40\n\u0F42", u"\u0F40\r\n\u0F42"},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(normaliseLineEnds(in), want) << encodeUtf8(in);
}

}  // namespace
}  // namespace yig::docs
