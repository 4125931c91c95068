#include "engine/codec/cp936.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

using yig::cp936::canEncode;
using yig::cp936::decode;
using yig::cp936::decodePair;
using yig::cp936::decodeSingle;
using yig::cp936::encode;
using yig::cp936::encodeChar;

std::string bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(static_cast<char>(b));
  return s;
}

// Every double-byte code that decodes encodes back to itself, and every
// character that encodes decodes back: the two tables agree in full.
TEST(Cp936, EveryPairRoundTrips) {
  int mapped = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x00; trail <= 0xFF; ++trail) {
      auto c = decodePair(static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail));
      if (!c) continue;
      ++mapped;
      ASSERT_GE(*c, 0x80) << std::hex << lead << trail;
      auto back = encodeChar(*c);
      ASSERT_TRUE(back) << std::hex << lead << trail;
      ASSERT_EQ(*back, bytes({lead, trail})) << std::hex << lead << trail;
      ASSERT_EQ(decode(*back), std::u16string(1, *c));
    }
  }
  EXPECT_EQ(mapped, 23685);
}

TEST(Cp936, EveryEncodableCharacterRoundTrips) {
  int encodable = 0;
  for (std::uint32_t u = 0; u <= 0xFFFF; ++u) {
    const auto c = static_cast<char16_t>(u);
    auto code = encodeChar(c);
    if (!code) {
      EXPECT_FALSE(canEncode(std::u16string_view(&c, 1))) << std::hex << u;
      continue;
    }
    ++encodable;
    ASSERT_EQ(decode(*code), std::u16string(1, c)) << std::hex << u;
    ASSERT_TRUE(canEncode(std::u16string_view(&c, 1)));
  }
  EXPECT_EQ(encodable, 129 + 23685);
}

// The reference table, when this machine has it, is matched row by row.
TEST(Cp936, MatchesReferenceTable) {
  const std::filesystem::path path = "/work/shared/reference/tables/CP936.tsv";
  std::ifstream in(path);
  if (!in) GTEST_SKIP() << "reference table not present";
  std::string line;
  std::getline(in, line);
  int rows = 0;
  while (std::getline(in, line)) {
    std::istringstream cols(line);
    std::string code, uni;
    std::getline(cols, code, '\t');
    std::getline(cols, uni, '\t');
    const auto value = static_cast<std::uint32_t>(std::stoul(code, nullptr, 16));
    const auto expected = static_cast<char16_t>(std::stoul(uni.substr(2), nullptr, 16));
    if (code.size() == 2) {
      ASSERT_EQ(decodeSingle(static_cast<std::uint8_t>(value)), expected) << code;
    } else {
      ASSERT_EQ(decodePair(static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value & 0xFF)), expected)
          << code;
    }
    ++rows;
  }
  EXPECT_EQ(rows, 23814);
}

TEST(Cp936, KnownCodes) {
  struct Case {
    std::string code;
    char16_t c;
  };
  const Case cases[] = {
      {"A", u'A'},
      {bytes({0x80}), 0x20AC},              // euro sign, a single byte
      {bytes({0xA1, 0xA1}), 0x3000},        // ideographic space
      {bytes({0xB0, 0xA1}), u'啊'},
      {bytes({0xCB, 0xCE}), u'宋'},
      {bytes({0xCC, 0xE5}), u'体'},
      {bytes({0x81, 0x40}), u'丂'},         // first GBK extension code
      {bytes({0xAA, 0xA1}), 0xE000},        // user-defined area AAA1..AFFE
      {bytes({0xAF, 0xFE}), 0xE233},
      {bytes({0xF8, 0xA1}), 0xE234},        // user-defined area F8A1..FEFE
      {bytes({0xFE, 0xFE}), 0xE4C5},
      {bytes({0xA1, 0x40}), 0xE4C6},        // user-defined area A140..A7A0
      {bytes({0xA1, 0x7E}), 0xE4C6 + 62},
      {bytes({0xA1, 0x80}), 0xE4C6 + 63},   // the grid skips trail 7F
      {bytes({0xA7, 0xA0}), 0xE765},
  };
  for (const auto& tc : cases) {
    EXPECT_EQ(decode(tc.code), std::u16string(1, tc.c)) << std::hex << int(tc.c);
    EXPECT_EQ(encodeChar(tc.c), tc.code) << std::hex << int(tc.c);
  }
}

TEST(Cp936, SingleBytes) {
  for (int b = 0; b < 0x80; ++b) EXPECT_EQ(decodeSingle(static_cast<std::uint8_t>(b)), char16_t(b));
  EXPECT_EQ(decodeSingle(0x80), char16_t{0x20AC});
  EXPECT_FALSE(decodeSingle(0x81));
  EXPECT_FALSE(decodeSingle(0xFE));
  EXPECT_FALSE(decodeSingle(0xFF));
  EXPECT_TRUE(yig::cp936::isLeadByte(0x81));
  EXPECT_TRUE(yig::cp936::isLeadByte(0xFE));
  EXPECT_FALSE(yig::cp936::isLeadByte(0x80));
  EXPECT_FALSE(yig::cp936::isLeadByte(0xFF));
}

TEST(Cp936, PairsOutsideTheGrid) {
  EXPECT_FALSE(decodePair(0xB0, 0x7F));
  EXPECT_FALSE(decodePair(0xB0, 0x3F));
  EXPECT_FALSE(decodePair(0xB0, 0xFF));
  EXPECT_FALSE(decodePair(0x80, 0xA1));
  EXPECT_FALSE(decodePair(0xFF, 0xA1));
  EXPECT_FALSE(decodePair(0x41, 0x41));
  EXPECT_FALSE(decodePair(0xA2, 0xAB));  // inside the grid but unassigned
}

TEST(Cp936, InvalidInputDecodesToReplacement) {
  const std::u16string r(1, 0xFFFD);
  struct Case {
    const char* name;
    std::string in;
    std::u16string out;
  };
  const Case cases[] = {
      {"empty", "", u""},
      {"ascii", "Hello, {world}\r\n", u"Hello, {world}\r\n"},
      {"byte FF", bytes({'a', 0xFF, 'b'}), u"a" + r + u"b"},
      {"lone lead at end", bytes({'a', 0xB0}), u"a" + r},
      {"lead then CR LF", bytes({0xB0, '\r', '\n'}), r + u"\r\n"},
      {"lead then brace", bytes({0xB0, '}'}), u"\u769A"},  // B07D is a real code
      {"lead then trail 7F", bytes({0xB0, 0x7F}), r + u"\x7F"},
      {"lead then FF", bytes({0xB0, 0xFF}), r + r},
      {"lead then lead pair", bytes({0xB0, 0xB0, 0xA1}), u"\u978D" + r},
      {"unassigned pair, high trail", bytes({0xA2, 0xAB, 'x'}), r + u"x"},
      {"unassigned pair, ASCII trail", bytes({0xA9, 0x58}), r + u"X"},
      {"two lone leads", bytes({0x81, 0x81}), u"\u4E96"},
      {"euro then lead at end", bytes({0x80, 0xFE}), u"\x20AC" + r},
  };
  for (const auto& tc : cases) EXPECT_EQ(decode(tc.in), tc.out) << tc.name;
}

// Every two-byte input: decoding gives one or two characters, and whatever
// decodes without a replacement character encodes back to the same bytes.
TEST(Cp936, EveryTwoByteInputDecodesAndReencodes) {
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const std::string in = bytes({a, b});
      const std::u16string out = decode(in);
      ASSERT_TRUE(out.size() == 1 || out.size() == 2) << std::hex << a << ' ' << b;
      if (out.find(u'\uFFFD') == std::u16string::npos) {
        ASSERT_EQ(encode(out), in) << std::hex << a << ' ' << b;
      }
    }
  }
}

TEST(Cp936, EncodeReplacesCharactersWithoutCode) {
  EXPECT_EQ(encode(u"a\u0F40b"), "a?b");               // Tibetan has no code here
  EXPECT_EQ(encode(u"\u0F40", '*'), "*");
  EXPECT_EQ(encode(u"\U0001F600x"), "?x");             // a surrogate pair is one character
  EXPECT_EQ(encode(std::u16string(1, 0xD800) + u"x"), "?x");  // lone surrogate
  EXPECT_EQ(encode(std::u16string(1, 0xDC00)), "?");
  EXPECT_EQ(encode(u"\uE766"), "?");                   // past the user-defined areas
  EXPECT_EQ(encode(u"\uFFFD"), "?");
  EXPECT_EQ(encode(u"宋体\u20AC"), bytes({0xCB, 0xCE, 0xCC, 0xE5, 0x80}));
  EXPECT_EQ(encode(std::u16string(1, u'\0') + u"z"), std::string("\0z", 2));
  EXPECT_FALSE(encodeChar(0x0F40));
  EXPECT_FALSE(canEncode(u"宋\u0F40"));
  EXPECT_TRUE(canEncode(u""));
  EXPECT_TRUE(canEncode(u"宋体 ABC \uE000"));
}

TEST(Cp936, DecodeOfEncodeIsIdentityOnMixedText) {
  const std::u16string text = u"RTF {\\f1 宋体}\r\n\u20AC\uE000\uE4C5\uE765 丂 ！";
  EXPECT_EQ(decode(encode(text)), text);
}

}  // namespace
