#include "documents/proof_file.h"

#include <gtest/gtest.h>

#include "documents/recording_host.h"
#include "test_support.h"

namespace yig::docs {
namespace {

TEST(ProofFilter, ByteRulesInBothModes) {
  struct Case {
    std::string name, in, mode, out;
  };
  const Case cases[] = {
      {"command dropped in 12", "\xB0\xA1\xA1\xBC" "AB\xA1\xBD\xB0\xA2", "12", "\xB0\xA1\xB0\xA2"},
      {"command kept in 11", "\xB0\xA1\xA1\xBC" "AB\xA1\xBD\xB0\xA2", "11", "\xB0\xA1\xA1\xBC" "AB\xA1\xBD\xB0\xA2"},
      {"command kept without a mode", "\xA1\xBC" "AB\xA1\xBD", "", "\xA1\xBC" "AB\xA1\xBD"},
      {"line break", "a\x8D\x8A" "b", "11", "a\r\nb"},
      {"two spaces", "a\xA1\xFE" "b", "12", "a  b"},
      {"vanishing pairs", "a\x80\x86" "b\xAA\xA5" "c\xAA\xA6" "d", "11", "abcd"},
      {"vanishing pairs in 12", "a\x80\x86" "b\xAA\xA5" "c\xAA\xA6" "d", "12", "abcd"},
      {"last byte kept", "a\xA1", "12", "a\xA1"},
      {"last byte of a pair kept", "\x80\x86\x80", "11", "\x80"},
      {"unfinished command keeps only the last byte", "x\xA1\xBC" "abcdef", "12", "xf"},
      {"pairs are not aligned to characters", "\xB0\x80\x86", "11", "\xB0"},
      {"rule 1 beats a pair at the end", "\x80", "11", "\x80"},
      {"empty", "", "12", ""},
      {"closing bracket outside a command is kept", "\xA1\xBD", "12", "\xA1\xBD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(filterProofBytes(c.in, c.mode), c.out);
  }
}

TEST(ProofText, DecodesGbkPairsAndReplacesBrokenOnes) {
  EXPECT_EQ(decodeProofText("\xB0\xA1" "a\xB0\xA2"), u"啊a阿");
  EXPECT_EQ(decodeProofText("a\xB0"), u"a\uFFFD");       // lone lead byte at the end
  EXPECT_EQ(decodeProofText("\xFF\xFF" "b"), u"\uFFFDb");  // unmapped pair
  EXPECT_EQ(proofFileText("\xB0\xA1\x8D\x8A\xB0\xA2", "12"), u"啊\r\n阿");
}

TEST(ProofKind, HuaguangByFontBox) {
  EXPECT_TRUE(isHuaguangFont(u"JBHGZW1"));
  EXPECT_TRUE(isHuaguangFont(u"xJBHGZW"));
  EXPECT_TRUE(isHuaguangFont(u"A-Tibetan"));
  EXPECT_TRUE(isHuaguangFont(u"A-Tibetan2"));
  EXPECT_FALSE(isHuaguangFont(u"BZDBT"));
  EXPECT_FALSE(isHuaguangFont(u""));
}

TEST(ConvertProofFile, FillsEditorGuessesAndReportsTheKind) {
  testing::TempFolder folder;
  RecordingHost host;
  // "娥" (B6 F0) makes the guess HG, so the proof counts as Huaguang.
  host.setOpenedFileName(folder.write("a.txt", "\x80\x86\xB6\xF0\xA1\xBC" "cmd\xA1\xBD" "x"));
  host.setProofMode("12");
  ASSERT_TRUE(ConvertProofFile(host));
  EXPECT_EQ(host.editor().plainText(), u"娥x");
  EXPECT_EQ(host.fontBoxText, u"A-Tibetan");
  EXPECT_EQ(host.statusCaption, kHuaguangResult);
  EXPECT_FALSE(host.modified);
}

TEST(ConvertProofFile, FangzhengWhenTheFontBoxKeepsAnotherFont) {
  testing::TempFolder folder;
  RecordingHost host;
  host.fontBoxText = u"BZDBT";
  host.setOpenedFileName(folder.write("a.txt", "\x80\x86" "abc"));
  host.setProofMode("11");
  ASSERT_TRUE(ConvertProofFile(host));
  EXPECT_EQ(host.statusCaption, kFangzhengResult);
  EXPECT_EQ(host.fontBoxText, u"BZDBT");
}

TEST(ConvertProofFile, VanishedFileEndsWithMessageAndEditorUnchanged) {
  testing::TempFolder folder;
  RecordingHost host;
  host.editor().setText(u"before");
  host.statusCaption = u"old";
  host.setOpenedFileName(folder.file("gone.txt"));
  host.setProofMode("12");
  EXPECT_FALSE(ConvertProofFile(host));
  EXPECT_EQ(host.editor().plainText(), u"before");
  EXPECT_EQ(host.statusCaption, u"old");
  ASSERT_EQ(host.messages.size(), 1u);
}

}  // namespace
}  // namespace yig::docs
