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
using yig::cli::runSort;

class SortCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("yig-sort-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string file(const std::string& name) const { return (dir_ / name).string(); }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(file(name), std::ios::binary) << bytes;
  }
  std::string read(const std::string& name) const {
    const auto bytes = yig::cli::readFile(file(name));
    EXPECT_TRUE(bytes.ok()) << bytes.error;
    return bytes.bytes;
  }
  int run(const Args& args) {
    out_.str("");
    err_.str("");
    return runSort(args, out_, err_);
  }

  fs::path dir_;
  std::ostringstream out_, err_;
};

std::string utf16le(std::u16string_view text) {
  std::string out = "\xFF\xFE";
  for (char16_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

TEST_F(SortCli, WritesTheEditorLayoutInTheInputsEncodingAndLineEnds) {
  struct Case {
    const char* what;
    std::string input;
    std::string expected;
  };
  const Case cases[] = {
      {"UTF-8, LF", "ཁ\nཀྐྐྐ\nཀ\n\nག\n", "ཀ\nཁ\nག\n\n\nཀྐྐྐ\n"},
      {"UTF-8, CR LF, no final break", "ཁ\r\nཀ", "ཀ\r\nཁ\r\n\r\n\r\n"},
      {"UTF-8 with BOM", "\xEF\xBB\xBFཁ\nཀ\n", "\xEF\xBB\xBFཀ\nཁ\n\n\n"},
      {"UTF-16LE", utf16le(u"ཁ\r\nཀ\r\n"), utf16le(u"ཀ\r\nཁ\r\n\r\n\r\n")},
  };
  for (const Case& c : cases) {
    write("in.txt", c.input);
    ASSERT_EQ(run({file("in.txt"), "-o", file("out.txt")}), 0) << c.what << ": " << err_.str();
    EXPECT_EQ(read("out.txt"), c.expected) << c.what;
  }
  write("in.txt", "ཁ\nཀྐྐྐ\nཀ\n\nག\n");
  ASSERT_EQ(run({file("in.txt"), "-o", file("out.txt")}), 0);
  EXPECT_NE(out_.str().find("排序完成！"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("sorted 3 lines, 1 unrankable"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("1 empty line dropped"), std::string::npos) << out_.str();
}

TEST_F(SortCli, RtfShowsTheUnrankableLinesInRed) {
  write("in.txt", "ཁ\nཀྐྐྐ\nཀ\n");
  ASSERT_EQ(run({file("in.txt"), "-o", file("out.rtf"), "--rtf"}), 0) << err_.str();
  yig::rt::Document doc;
  ASSERT_TRUE(doc.setRtf(read("out.rtf")).ok);
  EXPECT_EQ(doc.plainText().substr(0, 10), u"ཀ\r\nཁ\r\n\r\n\r\n");
  const std::size_t red = doc.text().find(u"ཀྐྐྐ");
  ASSERT_NE(red, std::u16string_view::npos);
  ASSERT_TRUE(doc.formatAt(red).color.has_value());
  EXPECT_EQ(*doc.formatAt(red).color, (yig::rt::Color{255, 0, 0}));
  EXPECT_FALSE(doc.formatAt(0).color.has_value() && *doc.formatAt(0).color == (yig::rt::Color{255, 0, 0}));
}

TEST_F(SortCli, StandardOutputKeepsMessagesApart) {
  write("in.txt", "ཁ\nཀ\n");
  ASSERT_EQ(run({file("in.txt"), "-o", "-"}), 0);
  EXPECT_EQ(out_.str(), "ཀ\nཁ\n\n\n");
  EXPECT_NE(err_.str().find("排序完成！"), std::string::npos);
}

TEST_F(SortCli, Failures) {
  write("latin.txt", "abc\ndef\n");
  write("bad.txt", "ཀ\xFF\n");
  struct Case {
    const char* what;
    Args args;
    const char* message;
  };
  const Case cases[] = {
      {"no arguments", {}, "no input file"},
      {"no output", {file("latin.txt")}, "no output file"},
      {"-o without a name", {file("latin.txt"), "-o"}, "needs a file name"},
      {"unknown option", {file("latin.txt"), "-o", file("x"), "--fast"}, "unknown option"},
      {"two inputs", {file("latin.txt"), file("bad.txt"), "-o", file("x")}, "more than one input"},
      {"missing file", {file("missing.txt"), "-o", file("x")}, "missing.txt"},
      {"invalid UTF-8", {file("bad.txt"), "-o", file("x")}, "bad.txt"},
      {"not Tibetan", {file("latin.txt"), "-o", file("x")}, "非Himalaya藏文，不能排序！"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run(c.args), 2) << c.what;
    EXPECT_NE((err_.str() + out_.str()).find(c.message), std::string::npos) << c.what << ": " << err_.str();
    EXPECT_FALSE(fs::exists(file("x"))) << c.what << ": nothing is written";
  }
}

TEST_F(SortCli, EmptyInputGivesAnEmptyOutput) {
  write("empty.txt", "");
  EXPECT_EQ(run({file("empty.txt"), "-o", file("out.txt")}), 0);
  EXPECT_EQ(read("out.txt"), "");
}

}  // namespace
