// yigsgyur convert, run in-process on files in a temporary folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "cli/cli_host.h"
#include "cli/commands.h"
#include "documents/docx_convert.h"
#include "engine/mapping_table.h"
#include "tests/skip_on_windows.h"

namespace yig::cli {
namespace {

namespace fs = std::filesystem;

class ConvertCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("yig-convert-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  void write(const std::string& name, std::string_view bytes) const {
    std::ofstream(dir_ / name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::string read(const std::string& name) const {
    std::ifstream f(dir_ / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  }
  int run(Args args) {
    out_.str({});
    err_.str({});
    return runConvert(args, out_, err_);
  }

  fs::path dir_;
  std::ostringstream out_, err_;
};

// "བོད་ཡིག།" as UTF-8.
const std::string kTibetan = "\xE0\xBD\x96\xE0\xBD\xBC\xE0\xBD\x91\xE0\xBC\x8B\xE0\xBD\xA1\xE0\xBD\xB2\xE0\xBD\x82\xE0\xBC\x8D";

TEST_F(ConvertCli, UsageErrorsExitTwoWithOneClearLine) {
  write("in.txt", kTibetan);
  struct Case {
    Args args;
    std::string says;
  };
  const Case cases[] = {
      {{"--to", "BZD", path("in.txt"), "-o", path("o.rtf")}, "missing --from"},
      {{"--from", "HIMA", path("in.txt"), "-o", path("o.rtf")}, "missing --to"},
      {{"--from", "HIMA", "--to", "BZD", "-o", path("o.rtf")}, "missing input"},
      {{"--from", "HIMA", "--to", "BZD", path("in.txt")}, "missing -o"},
      {{"--from", "XYZ", "--to", "BZD", path("in.txt"), "-o", path("o.rtf")}, "unknown encoding code 'XYZ'"},
      {{"--from", "HIMA", "--to", "BZD", "--lang", "en", path("in.txt"), "-o", path("o.rtf")}, "--lang takes zh or bo"},
      {{"--from", "HIMA", "--to", "BZD", "--bogus", path("in.txt"), "-o", path("o.rtf")}, "unknown option '--bogus'"},
      {{"--from", "bzd", "--to", "BZD", path("in.txt"), "-o", path("o.rtf")}, "原文件与目标文件编码相同！"},
      {{"--from", "HIMA", "--to", "BZD", path("in.txt"), "-o", path("o.txt")}, "needs the target HIMA"},
      {{"--from", "HIMA", "--to", "BZD", path("missing.txt"), "-o", path("o.rtf")}, "missing.txt"},
      {{"--from", "HIMA", "--to", "BZD", "--tables", path("nowhere"), path("in.txt"), "-o", path("o.rtf")}, "does not exist"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(c.args), 2) << c.says;
    EXPECT_NE(err_.str().find(c.says), std::string::npos) << err_.str();
    EXPECT_FALSE(fs::exists(path("o.rtf")));
  }
}

TEST_F(ConvertCli, TextToBzdAndBackToText) {
  write("in.txt", kTibetan + "\n");
  ASSERT_EQ(run({"--from", "HIMA", "--to", "BZD", path("in.txt"), "-o", path("bzd.rtf")}), 0) << err_.str();
  EXPECT_NE(out_.str().find("转换完成，正常！"), std::string::npos);
  EXPECT_NE(out_.str().find("耗时"), std::string::npos);
  std::string rtf = read("bzd.rtf");
  EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
  EXPECT_NE(rtf.find("BZDBT"), std::string::npos);

  ASSERT_EQ(run({"--from", "BZD", "--to", "hima", path("bzd.rtf"), "-o", path("back.txt")}), 0) << err_.str();
  EXPECT_EQ(read("back.txt"), kTibetan);
  // No temporary file is left beside the output.
  for (const auto& e : fs::directory_iterator(dir_)) EXPECT_EQ(e.path().string().find(".tmp-"), std::string::npos);
}

TEST_F(ConvertCli, Utf16InputIsRead) {
  std::u16string text = fromUtf8(kTibetan);
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  write("in16.txt", bytes);
  ASSERT_EQ(run({"--from", "HIMA", "--to", "TY", path("in16.txt"), "-o", path("ty.rtf")}), 0) << err_.str();
  ASSERT_EQ(run({"--from", "TY", "--to", "HIMA", path("ty.rtf"), "-o", path("back.txt")}), 0) << err_.str();
  EXPECT_EQ(read("back.txt"), kTibetan);
}

TEST_F(ConvertCli, RedMarksExitOneAndAreCounted) {
  write("in.txt", kTibetan + "\xE0\xBC\xBC");  // BZD has no U+0F3C
  EXPECT_EQ(run({"--from", "HIMA", "--to", "BZD", path("in.txt"), "-o", path("o.rtf")}), 1);
  EXPECT_NE(out_.str().find("请检查红色标记字符"), std::string::npos);
  EXPECT_NE(out_.str().find(": 1\n"), std::string::npos) << out_.str();
  EXPECT_TRUE(fs::exists(path("o.rtf")));
}

TEST_F(ConvertCli, NothingInTheSourceEncodingIsAnInputError) {
  write("in.txt", "latin only\n");
  EXPECT_EQ(run({"--from", "BZD", "--to", "HIMA", path("in.txt"), "-o", path("o.rtf")}), 2);
  EXPECT_NE(out_.str().find("原文本中无班智达藏文！"), std::string::npos);
  EXPECT_FALSE(fs::exists(path("o.rtf")));
  EXPECT_EQ(run({"--from", "BZD", "--to", "HIMA", "--lang", "bo", path("in.txt"), "-o", path("o.rtf")}), 2);
  EXPECT_EQ(out_.str().find("原文本中无班智达藏文！"), std::string::npos);  // said in Tibetan
  EXPECT_FALSE(out_.str().empty());
}

TEST_F(ConvertCli, InputThatIsNotADocument) {
  write("bad.txt", std::string("\x01\x00\x02\x00\x00binary", 10));
  EXPECT_EQ(run({"--from", "HIMA", "--to", "BZD", path("bad.txt"), "-o", path("o.rtf")}), 2);
  EXPECT_FALSE(err_.str().empty());
  EXPECT_FALSE(fs::exists(path("o.rtf")));
}

TEST_F(ConvertCli, WritesTheFormatItsEndingNames) {
  write("in.txt", "\xE0\xBD\x80\xE0\xBD\xA0\xE0\xBC\x8B\r\n");  // Tibetan text in UTF-8
  ASSERT_EQ(run({"--from", "HIMA", "--to", "BZD", path("in.txt"), "-o", path("o.RTF")}), 0) << err_.str();
  EXPECT_TRUE(fs::exists(path("o.RTF")));
  // A text output of a legacy encoding would lose its fonts: refused.
  EXPECT_EQ(run({"--from", "HIMA", "--to", "BZD", path("in.txt"), "-o", path("o.txt")}), 2);
}

// LibreOffice writes BZDBT back with \fcharset0; the characters must still be
// read as BZD characters on the way back (before, those from U+8000 up stayed
// as Chinese characters).
TEST_F(ConvertCli, WordDocumentRoundTripKeepsTheTibetanText) {
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "LibreOffice (soffice) is not installed";
  const std::string tibetan = "\xE0\xBC\x84\xE0\xBC\x85\xE0\xBC\x8D \xE0\xBC\x8D\xE0\xBD\x98\xE0\xBD\x91"
                              "\xE0\xBD\xBC\xE0\xBC\x8B\xE0\xBD\xA6\xE0\xBE\xA1\xE0\xBD\xBA\xE0\xBC\x8B"
                              "\xE0\xBD\x81\xE0\xBC\x8B\xE0\xBD\x96\xE0\xBC\x8B\xE0\xBD\x96\xE0\xBD\x9E"
                              "\xE0\xBD\xB4\xE0\xBD\x82\xE0\xBD\xA6\xE0\xBC\x8B\xE0\xBD\xA6\xE0\xBD\xBC\xE0\xBC\x8D";
  write("in.txt", tibetan);
  ASSERT_EQ(run({"--from", "HIMA", "--to", "BZD", path("in.txt"), "-o", path("mid.docx")}), 0) << err_.str();
  ASSERT_EQ(run({"--from", "BZD", "--to", "HIMA", path("mid.docx"), "-o", path("back.txt")}), 0) << err_.str();
  EXPECT_EQ(read("back.txt"), tibetan);
}

// A Word document made by LibreOffice, converted into a Word document: its
// table, footnote and pictures come back with the Tibetan converted.
TEST_F(ConvertCli, WordDocumentKeepsItsStructure) {
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "LibreOffice (soffice) is not installed";
  const std::string in = std::string(YIG_TEST_DATA_DIR) + "/documents/lo-bzd.docx";
  ASSERT_EQ(run({"--from", "BZD", "--to", "HIMA", in, "-o", path("out.docx")}), 0) << err_.str();
  const std::string cmd = "cd '" + dir_.string() + "' && timeout 120 soffice -env:UserInstallation=file://" +
                          dir_.string() + "/profile --headless --convert-to fodt out.docx >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const std::string fodt = read("out.fodt");
  EXPECT_NE(fodt.find("<table:table "), std::string::npos);
  EXPECT_NE(fodt.find("<text:note "), std::string::npos);
  EXPECT_NE(fodt.find("<draw:image"), std::string::npos);
  EXPECT_NE(fodt.find("\xE0\xBD\x96\xE0\xBD\x80\xE0\xBE\xB2"), std::string::npos);  // བཀྲ
}

// Word to Word (and OpenDocument to OpenDocument) is converted in the package itself, without LibreOffice; a
// broken package or one without the source encoding writes nothing.
TEST_F(ConvertCli, WordToWordInThePackage) {
  const std::string data = std::string(YIG_TEST_DATA_DIR) + "/documents/";
  for (const std::string ending : {".docx", ".odt"}) {
    ASSERT_EQ(run({"--from", "HIMA", "--to", "BZD", data + "lo-hima" + ending, "-o", path("out" + ending)}), 0)
        << err_.str();
    EXPECT_EQ(read("out" + ending).substr(0, 2), "PK");
  }
  write("bad.docx", "PK\x03\x04 cut off");
  const std::pair<std::string, std::string> refused[] = {{"bad.docx", "not a valid zip package"},
                                                         {data + "lo-bzd.docx", "\xE5\x8E\x9F"}};  // 原...
  for (const auto& [in, says] : refused) {
    EXPECT_EQ(run({"--from", "HIMA", "--to", "TY", in[0] == '/' ? in : path(in), "-o", path("no.docx")}), 2);
    EXPECT_NE(err_.str().find(says), std::string::npos) << err_.str();
    EXPECT_FALSE(fs::exists(path("no.docx")));
  }
}

// A binary Word document is converted in the package LibreOffice makes of it,
// and written as .doc again only when the output name asks for it.
TEST_F(ConvertCli, BinaryWordDocumentThroughItsPackage) {
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "LibreOffice (soffice) is not installed";
  const std::string in = std::string(YIG_TEST_DATA_DIR) + "/documents/lo-bzd.doc";
  ASSERT_EQ(run({"--from", "BZD", "--to", "HIMA", in, "-o", path("out.docx")}), 0) << err_.str();
  std::string error;
  for (const auto& part : yig::docs::docx::docxEncodings(read("out.docx"), error)) {
    EXPECT_TRUE(part.encodings.empty() || part.encodings == std::vector{yig::Encoding::HIMA}) << part.part;
  }
  EXPECT_EQ(error, "");
  ASSERT_EQ(run({"--from", "BZD", "--to", "HIMA", in, "-o", path("out.doc")}), 0) << err_.str();
  EXPECT_EQ(read("out.doc").substr(0, 4), "\xD0\xCF\x11\xE0");
  out_.str({});
  ASSERT_EQ(yig::cli::run({"detect", path("out.doc")}, out_, err_), 0) << err_.str();
  EXPECT_NE(out_.str().find("encoding: HIMA"), std::string::npos) << out_.str();
  // In a batch a .doc becomes a .docx, its encoding guessed from its fonts.
  ASSERT_EQ(run({"--from", "auto", "--to", "HIMA", in, "-o", path("batch/")}), 0) << err_.str();
  EXPECT_EQ(read("batch/lo-bzd.docx").substr(0, 2), "PK");
}

TEST_F(ConvertCli, UserTablesReplaceTheBuiltInOne) {
  fs::create_directories(dir_ / "tables");
  auto stored = scrambleTable(u"\u554A\t\u0F56\r\n");  // every unit but BA stays red
  std::ofstream(dir_ / "tables" / "BZD.tbl", std::ios::binary)
      .write(reinterpret_cast<const char*>(stored.data()), static_cast<std::streamsize>(stored.size()));
  write("in.txt", "\xE0\xBD\x96");  // U+0F56
  ASSERT_EQ(run({"--from", "HIMA", "--to", "BZD", "--tables", path("tables"), path("in.txt"), "-o", path("o.rtf")}), 0)
      << err_.str();
  EXPECT_NE(read("o.rtf").find("\\'b0\\'a1"), std::string::npos);  // 啊 in code page 936
}

TEST(CliHostText, StandardSourceFontLists) {
  EXPECT_EQ(standardSourceFontList(u"BZD"), u" BZD;");
  EXPECT_EQ(standardSourceFontList(u"FZ"), u"\\'b7\\'bd\\'d5\\'fd\\'b2\\'d8\\'ce\\'c4\\");
  EXPECT_EQ(standardSourceFontList(u"HIMA"), u"Himalaya;Monlam;Tibetan ; Uni;????;");
  EXPECT_TRUE(standardSourceFontList(u"bzd").empty());
  bool ok = true;
  EXPECT_EQ(fromUtf8("a\xE0\xBD\x80", &ok), u"a\u0F40");
  EXPECT_TRUE(ok);
  fromUtf8("\xED\xA0\x80", &ok);  // an encoded surrogate is not UTF-8
  EXPECT_FALSE(ok);
  EXPECT_EQ(toUtf8(u"\u0F40\U0001F600"), "\xE0\xBD\x80\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace yig::cli
