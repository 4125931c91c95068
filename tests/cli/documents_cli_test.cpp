// yigsgyur open, detect, proof and save.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "cli/commands.h"
#include "tests/skip_on_windows.h"

namespace yig::cli {
namespace {

class DocumentCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    dir_ = std::filesystem::temp_directory_path() /
           ("yig-doc-cli-" + std::to_string(::getpid()) + "-" + std::to_string(seed() % 100000000));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::string write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
    return path(name);
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  int run(const Args& args) {
    out_.str("");
    err_.str("");
    return yig::cli::run(args, out_, err_);
  }

  std::filesystem::path dir_;
  std::ostringstream out_, err_;
};

TEST_F(DocumentCommands, DetectNamesKindEncodingAndFont) {
  struct Case {
    std::string name, bytes, expected;
  };
  const Case cases[] = {
      {"le.txt", std::string("\xFF\xFE\x40\x0F", 4), "kind: Unicode文件\nencoding: HIMA\nfont: Microsoft Himalaya\n"},
      {"be.txt", std::string("\xFE\xFF\xF3\x00", 4), "kind: Unicode big edian文件\nencoding: HKA\nfont: 方正藏文新白体_Unicode\n"},
      {"u8.txt", "\xEF\xBB\xBF" "abc", "kind: UTF-8文件\nencoding: not decided\n"},
      {"gbk.txt", "\xA3\xA3" "x", "kind: 普通txt文件\nencoding: FZ\nfont: 方正藏文新白体\n"},
      {"ty.txt", "\x81\x80", "kind: 普通txt文件\nencoding: TY\nfont: CHINATIBET\n"},
      {"a.rtf", "{\\rtf1{\\fonttbl{\\f0 Microsoft Himalaya;}}\\f0 \\u3904?\\par }",
       "kind: RTF格式文件\nencoding: HIMA\nfont: Microsoft Himalaya\n"},
      // RTF goes by its fonts first (this text alone would say BZD).
      {"sam.rtf", "{\\rtf1{\\fonttbl{\\f0\\fcharset2 Dedris-a;}}\\f0 \\u-451?ka\\par }",
       "kind: RTF格式文件\nencoding: SAM\nfont: Ededris-a\n"},
      {"proof.txt", "\x80\x86" "abc\xA6\xE6", "kind: 该文件自动识别为华光（方正）小样文件\nproof: 方正小样文件已经转换为txt纯文本\nencoding: BZD\nfont: BZDBT\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run({"detect", write(c.name, c.bytes)}), 0) << err_.str();
    EXPECT_EQ(out_.str(), c.expected);
  }
}

// A Word package also lists the encodings of each text part, read from its runs' fonts.
TEST_F(DocumentCommands, DetectListsTheEncodingsOfAWordPackagesParts) {
  // OpenDocument text is read without LibreOffice.
  ASSERT_EQ(run({"detect", std::string(YIG_TEST_DATA_DIR) + "/documents/lo-ty.odt"}), 0) << err_.str();
  EXPECT_NE(out_.str().find("encoding: TY\nfont: CHINATIBET\n"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("part content.xml: "), std::string::npos) << out_.str();
  EXPECT_EQ(run({"detect", write("bad.odt", "PK not a package")}), 2);
  // So is a Word package whose fonts tell its encoding: this runs where LibreOffice is missing too.
  out_.str({});
  ASSERT_EQ(run({"detect", std::string(YIG_TEST_DATA_DIR) + "/documents/lo-bzd.docx", "--lang", "bo"}), 0) << err_.str();
  EXPECT_EQ(out_.str().rfind("kind: DOC\u0F61\u0F72\u0F42\u0F0B\u0F46\u0F0D\nencoding: BZD\nfont: BZDBT\n"
                             "part word/document.xml: BZD\n", 0), 0u) << out_.str();
}

TEST_F(DocumentCommands, OpenWritesRtfThatReadsBack) {
  ASSERT_EQ(run({"open", write("t.txt", "\xE0\xBD\x80\n\xE0\xBD\x81"), "-o", path("t.rtf")}), 0) << err_.str();
  EXPECT_EQ(out_.str(), "UTF-8文件\nencoding: HIMA\nfont: Microsoft Himalaya\n");
  const std::string rtf = read("t.rtf");
  EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
  EXPECT_NE(rtf.find("Microsoft Himalaya"), std::string::npos);
  EXPECT_NE(rtf.find("\\u3904?"), std::string::npos);
  EXPECT_NE(rtf.find("\\u3905?"), std::string::npos);
}

TEST_F(DocumentCommands, ProofKeepsOrDropsCommands) {
  const std::string proof = write("p.fbd", "\x80\x86\xB0\xA1\xA1\xBC" "AB\xA1\xBD\xB0\xA2\x8D\x8A" "x");
  ASSERT_EQ(run({"proof", proof, "-o", path("drop.txt")}), 0) << err_.str();
  EXPECT_EQ(read("drop.txt"), "啊阿\r\nx");
  EXPECT_EQ(out_.str(), "方正小样文件已经转换为txt纯文本\nencoding: not decided\n");
  ASSERT_EQ(run({"proof", proof, "--keep-commands", "--ansi", "-o", path("keep.txt")}), 0) << err_.str();
  EXPECT_EQ(read("keep.txt"), "\xB0\xA1\xA1\xBC" "AB\xA1\xBD\xB0\xA2\r\nx");
}

TEST_F(DocumentCommands, SaveWritesEachTextFormat) {
  const std::string in = write("in.txt", "A\xE4\xB8\xAD\xE0\xBD\x80");  // A中ཀ in UTF-8
  ASSERT_EQ(run({"save", in, "-o", path("u.txt")}), 0) << err_.str();
  EXPECT_EQ(read("u.txt"), std::string("\xFF\xFE" "A\0\x2D\x4E\x40\x0F", 8));
  ASSERT_EQ(run({"save", in, "-o", path("a.txt"), "--ansi"}), 0) << err_.str();
  EXPECT_EQ(read("a.txt"), "A\xD6\xD0?");
  ASSERT_EQ(run({"save", in, "-o", path("r.rtf")}), 0) << err_.str();
  EXPECT_EQ(out_.str(), path("r.rtf") + "\n");
  EXPECT_NE(read("r.rtf").find("\\u3904?"), std::string::npos);
}

TEST_F(DocumentCommands, ErrorsExitWithStatus2AndSayWhy) {
  const std::string missing = path("missing.txt");
  const std::string good = write("g.txt", "abc");
  struct Case {
    Args args;
    std::string says;
  };
  const Case cases[] = {
      {{"open", missing, "-o", path("o.rtf")}, "missing.txt"},
      {{"open", good}, "missing -o"},
      {{"open", good, "-o"}, "needs a file name"},
      {{"detect"}, "missing input file"},
      {{"detect", missing}, "missing.txt"},
      {{"detect", write("e.txt", "")}, "e.txt"},
      {{"detect", good, "--bogus"}, "unknown option"},
      {{"proof", missing, "-o", path("o.txt")}, "missing.txt"},
      {{"save", missing, "-o", path("o.txt")}, "missing.txt"},
      {{"save", good, "-o", path("no/such/folder/o.txt")}, "o.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.says);
    EXPECT_EQ(run(c.args), 2);
    EXPECT_NE(err_.str().find(c.says), std::string::npos) << err_.str();
  }
  EXPECT_FALSE(std::filesystem::exists(path("o.rtf")));
}

}  // namespace
}  // namespace yig::cli
