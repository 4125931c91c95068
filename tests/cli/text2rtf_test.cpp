#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/cli_io.h"
#include "cli/commands.h"
#include "richtext/document.h"

namespace {

namespace fs = std::filesystem;
using yig::cli::Args;
using yig::cli::runText2Rtf;

const std::string kData = std::string(YIG_TEST_DATA_DIR) + "/text/";

class Text2Rtf : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("yig-text2rtf-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string file(const std::string& name) const { return (dir_ / name).string(); }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(file(name), std::ios::binary) << bytes;
  }
  int run(const Args& args) {
    out_.str("");
    err_.str("");
    return runText2Rtf(args, out_, err_);
  }
  yig::rt::Document readBack(const std::string& path) const {
    yig::rt::Document doc;
    const auto bytes = yig::cli::readFile(path);
    EXPECT_TRUE(bytes.ok()) << bytes.error;
    EXPECT_TRUE(doc.setRtf(bytes.bytes).ok);
    return doc;
  }

  fs::path dir_;
  std::ostringstream out_, err_;
};

// The same text in every accepted encoding gives the same RTF.
TEST_F(Text2Rtf, EveryEncodingGivesTheSameDocument) {
  const std::u16string expected =
      yig::cli::decodeText(yig::cli::readFile(kData + "mixed-utf8.txt").bytes).text;
  ASSERT_FALSE(expected.empty());
  std::string first;
  for (const char* name : {"mixed-utf8.txt", "mixed-utf8-bom.txt", "mixed-utf16le.txt", "mixed-utf16be.txt"}) {
    const std::string out = file(std::string(name) + ".rtf");
    ASSERT_EQ(run({kData + name, "-o", out}), 0) << name << ": " << err_.str();
    const std::string rtf = yig::cli::readFile(out).bytes;
    if (first.empty()) first = rtf;
    EXPECT_EQ(rtf, first) << name;
    // The file ends in CR LF; the last paragraph mark closes the last line.
    EXPECT_EQ(readBack(out).plainText(), expected.substr(0, expected.size() - 2)) << name;
  }
}

TEST_F(Text2Rtf, FontsByCharacterRange) {
  write("in.txt", "\xE0\xBD\x80" "a\xE4\xB8\xAD");  // ཀ a 中
  ASSERT_EQ(run({file("in.txt"), "-o", file("out.rtf")}), 0) << err_.str();
  const auto doc = readBack(file("out.rtf"));
  ASSERT_EQ(doc.text(), u"\u0F40a\u4E2D");
  struct Expect {
    std::size_t pos;
    std::u16string font;
    int size;
  };
  for (const auto& e : {Expect{0, u"Microsoft Himalaya", 48}, Expect{1, u"Tahoma", 24}, Expect{2, u"宋体", 24}}) {
    EXPECT_EQ(doc.formatAt(e.pos).font.name, e.font) << e.pos;
    EXPECT_EQ(doc.formatAt(e.pos).sizeHalfPoints, e.size) << e.pos;
    EXPECT_FALSE(doc.formatAt(e.pos).color) << e.pos;
  }
  EXPECT_EQ(doc.formatAt(2).font.charset, 134);
}

TEST_F(Text2Rtf, EveryLineEndMakesAParagraph) {
  for (const char* text : {"a\nb\n", "a\r\nb\r\n", "a\rb\r", "a\nb"}) {
    write("in.txt", text);
    ASSERT_EQ(run({file("in.txt"), "-o", file("out.rtf")}), 0) << err_.str();
    EXPECT_EQ(readBack(file("out.rtf")).plainText(), u"a\r\nb") << text;
  }
}

TEST_F(Text2Rtf, RedColoursEveryCharacter) {
  write("in.txt", "\xE0\xBD\x80 x\n\xE4\xB8\xAD");
  ASSERT_EQ(run({"--red", file("in.txt"), "-o", file("out.rtf")}), 0) << err_.str();
  const auto doc = readBack(file("out.rtf"));
  ASSERT_EQ(doc.plainText(), u"\u0F40 x\r\n\u4E2D");
  for (std::size_t i = 0; i < doc.length(); ++i) {
    if (doc.text()[i] == u'\r') continue;
    ASSERT_TRUE(doc.formatAt(i).color) << i;
    EXPECT_EQ(*doc.formatAt(i).color, (yig::rt::Color{255, 0, 0})) << i;
  }
}

TEST_F(Text2Rtf, StandardOutputAndEmptyInput) {
  write("empty.txt", "");
  ASSERT_EQ(run({file("empty.txt"), "-o", "-"}), 0) << err_.str();
  yig::rt::Document doc;
  ASSERT_TRUE(doc.setRtf(out_.str()).ok) << out_.str();
  EXPECT_EQ(doc.length(), 0u);
}

TEST_F(Text2Rtf, ReplacesAnExistingOutput) {
  write("in.txt", "new");
  write("out.rtf", "old contents that are longer than the new ones");
  ASSERT_EQ(run({file("in.txt"), "-o", file("out.rtf")}), 0) << err_.str();
  EXPECT_EQ(readBack(file("out.rtf")).plainText(), u"new");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 2);
}

TEST_F(Text2Rtf, Errors) {
  write("in.txt", "x");
  fs::copy_file(kData + "chinese-gbk.txt", file("gbk.txt"));
  write("odd.txt", std::string("\xFF\xFE\x41\x00\x42", 5));
  struct Case {
    const char* name;
    Args args;
    int status;
    const char* message;  // part of the error output
  };
  const Case cases[] = {
      {"no arguments", {}, 2, "no input file"},
      {"no output", {file("in.txt")}, 2, "no output file"},
      {"-o without a name", {file("in.txt"), "-o"}, 2, "-o needs a file name"},
      {"unknown option", {file("in.txt"), "-o", file("o.rtf"), "--blue"}, 2, "unknown option '--blue'"},
      {"two inputs", {file("in.txt"), file("in.txt"), "-o", file("o.rtf")}, 2, "more than one input"},
      {"missing input", {file("missing.txt"), "-o", file("o.rtf")}, 2, "missing.txt"},
      {"input is a folder", {dir_.string(), "-o", file("o.rtf")}, 2, "cannot read"},
      {"not UTF-8", {file("gbk.txt"), "-o", file("o.rtf")}, 2, "not UTF-8 text: invalid byte at offset 0"},
      {"half a UTF-16 character", {file("odd.txt"), "-o", file("o.rtf")}, 2, "half a character"},
      {"output folder missing", {file("in.txt"), "-o", file("no/such/o.rtf")}, 1, "cannot write"},
  };
  for (const auto& tc : cases) {
    EXPECT_EQ(run(tc.args), tc.status) << tc.name;
    EXPECT_NE(err_.str().find(tc.message), std::string::npos) << tc.name << ": " << err_.str();
    EXPECT_FALSE(fs::exists(file("o.rtf"))) << tc.name;
  }
}

TEST_F(Text2Rtf, Help) {
  EXPECT_EQ(run({"--help"}), 0);
  EXPECT_NE(out_.str().find("usage: yigsgyur text2rtf"), std::string::npos);
}

}  // namespace
