#include "cli/cli_io.h"
#include "cli/commands.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

namespace {

namespace fs = std::filesystem;
using namespace yig::cli;

class TempDir {
 public:
  TempDir() {
    path_ = fs::temp_directory_path() /
            ("yig-cli-io-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  std::size_t count() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(path_), {})); }

 private:
  fs::path path_;
};

TEST(CliIo, DecodeTextByByteOrderMark) {
  struct Case {
    const char* name;
    std::string in;
    TextEncoding encoding;
    std::u16string text;
    bool ok;
  };
  const Case cases[] = {
      {"UTF-8", "\xE0\xBD\x80", TextEncoding::Utf8, u"\u0F40", true},
      {"UTF-8 with mark", "\xEF\xBB\xBF\xE0\xBD\x80", TextEncoding::Utf8Bom, u"\u0F40", true},
      {"UTF-16LE", std::string("\xFF\xFE\x40\x0F", 4), TextEncoding::Utf16LE, u"\u0F40", true},
      {"UTF-16BE", std::string("\xFE\xFF\x0F\x40", 4), TextEncoding::Utf16BE, u"\u0F40", true},
      {"UTF-16LE odd length", std::string("\xFF\xFE\x40\x0F\x41", 5), TextEncoding::Utf16LE, u"\u0F40", false},
      {"only a mark", "\xFF\xFE", TextEncoding::Utf16LE, u"", true},
      {"empty", "", TextEncoding::Utf8, u"", true},
      {"invalid UTF-8", "ok\xB0\xA1", TextEncoding::Utf8, u"ok\uFFFD\uFFFD", false},
  };
  for (const auto& tc : cases) {
    const DecodedText d = decodeText(tc.in);
    EXPECT_EQ(d.encoding, tc.encoding) << tc.name;
    EXPECT_EQ(d.text, tc.text) << tc.name;
    EXPECT_EQ(d.ok(), tc.ok) << tc.name << ": " << d.error;
  }
  EXPECT_NE(decodeText("ok\xB0\xA1").error.find("offset 2"), std::string::npos);
}

TEST(CliIo, ReadFile) {
  TempDir dir;
  const std::string bytes("a\0b\xFF\r\n", 6);
  std::ofstream(dir.file("x.bin"), std::ios::binary) << bytes;
  const FileBytes ok = readFile(dir.file("x.bin"));
  EXPECT_TRUE(ok.ok()) << ok.error;
  EXPECT_EQ(ok.bytes, bytes);

  const FileBytes missing = readFile(dir.file("missing.txt"));
  EXPECT_FALSE(missing.ok());
  EXPECT_NE(missing.error.find("missing.txt"), std::string::npos) << missing.error;

  const FileBytes folder = readFile(dir.file(""));
  EXPECT_FALSE(folder.ok());
}

TEST(CliIo, WriteFileAtomicCreatesAndReplaces) {
  TempDir dir;
  const std::string path = dir.file("out.rtf");
  ASSERT_EQ(writeFileAtomic(path, "first"), "");
  EXPECT_EQ(readFile(path).bytes, "first");
  ::chmod(path.c_str(), 0640);
  ASSERT_EQ(writeFileAtomic(path, std::string(100000, 'x')), "");
  EXPECT_EQ(readFile(path).bytes, std::string(100000, 'x'));
#ifndef _WIN32  // Windows keeps no permission bits
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // the replaced file's mode is kept
#endif
  EXPECT_EQ(dir.count(), 1u);            // no temporary file left behind
}

TEST(CliIo, WriteFileAtomicFailuresLeaveNothingBehind) {
  TempDir dir;
  EXPECT_NE(writeFileAtomic(dir.file("no/such/folder/out.rtf"), "x"), "");
  fs::create_directory(dir.file("folder"));
  const std::string err = writeFileAtomic(dir.file("folder"), "x");
  EXPECT_NE(err, "");
  EXPECT_NE(err.find("folder"), std::string::npos) << err;
  EXPECT_TRUE(fs::is_directory(dir.file("folder")));
  EXPECT_EQ(dir.count(), 1u);
}

}  // namespace

TEST(CliIo, TerminalSeesNoControlSequencesButProgressClears) {
  const struct {
    std::string written, shown;
  } cases[] = {
      {"cannot read 'a\x1B[2Jb': gone\n", "cannot read 'a\\x1B[2Jb': gone\n"},
      {"\r 40%\x1B[K", "\r 40%\x1B[K"},  // the progress line's own sequence
      {"bell\a del\x7F tab\tok\n", "bell\\x07 del\\x7F tab\tok\n"},
      {"\x1B\x1B[K\x1B[", "\\x1B\x1B[K\\x1B["},
      {"\x1B\xE0\xBD\x80", "\\x1B\xE0\xBD\x80"},  // the text after an ESC is kept whole
  };
  for (const auto& c : cases) {
    std::ostringstream terminal;
    {
      ControlEscapingBuffer buffer(terminal.rdbuf());
      std::ostream err(&buffer);
      for (const char ch : c.written) err << ch;  // one character at a time, as a stream may hand them on
    }
    EXPECT_EQ(terminal.str(), c.shown) << c.shown;
  }
}

// "-" reads standard input and writes standard output; what is said about
// the conversion then goes to the message stream, not into the document.
TEST(CliIo, DashIsStandardInputAndOutput) {
  TempDir dir;
  const std::string rtf =
      "{\\rtf1\\ansi{\\fonttbl{\\f0 Microsoft Himalaya;}}\\viewkind4\\uc1\\pard\\f0 \\u3904?\\par}";
  std::ofstream(dir.file("in.rtf"), std::ios::binary) << rtf;
  const struct {
    yig::cli::Args args;
    std::string inOut;  // in the output
  } cases[] = {
      {{"convert", "--from", "HIMA", "--to", "BZD", "-", "-o", "-"}, "BZDBT"},
      {{"open", "-", "-o", "-"}, "{\\rtf1"},
      {{"text2rtf", "-", "-o", "-"}, "\\u"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    const int saved = ::dup(STDIN_FILENO);
    const int file = ::open(dir.file("in.rtf").c_str(), O_RDONLY);
    ASSERT_GE(file, 0);
    ::dup2(file, STDIN_FILENO);
    ::close(file);
    std::ostringstream out, err;
    const int status = yig::cli::run(c.args, out, err);
    ::dup2(saved, STDIN_FILENO);
    ::close(saved);
    EXPECT_EQ(status, 0) << err.str();
    EXPECT_NE(out.str().find(c.inOut), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("encoding:"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find(": 0\n"), std::string::npos) << out.str();  // the red-mark count
  }
  EXPECT_EQ(dir.count(), 1u);
}
