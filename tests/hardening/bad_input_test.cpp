// Named bad inputs: each gets a clear message or a best-effort result, in
// bounded time and memory, and never a crash, a hang or a half-written file.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/cli_host.h"
#include "cli/cli_io.h"
#include "cli/commands.h"
#include "documents/file_io.h"
#include "documents/open_document.h"
#include "documents/recording_host.h"
#include "engine/codec/cp936.h"
#include "fuzz/rtf_checks.h"
#include "richtext/document.h"

namespace yig {
namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "yig-hardening-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
  }
  fs::path operator/(const std::string& name) const { return path_ / name; }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

void writeBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct CliRun {
  int status;
  std::string out, err;
};

CliRun runCli(const cli::Args& args) {
  std::ostringstream out, err;
  const int status = cli::run(args, out, err);
  return {status, out.str(), err.str()};
}

const std::string kHeader =
    "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}{\\f1\\fnil\\fcharset0 Tahoma;}}"
    "\\viewkind4\\uc1\\pard\\f0 ";

// The reader gives a best-effort document whose own RTF is well formed and reads back the same.
void expectBestEffort(const std::string& rtf) {
  rt::Document doc;
  const rt::ReadResult read = doc.setRtf(rtf);
  ASSERT_TRUE(read.ok) << read.error;
  const std::string written = doc.rtf();
  EXPECT_EQ(hardening::rtfProblem(written, true), "");
  rt::Document again;
  ASSERT_TRUE(again.setRtf(written).ok);
  EXPECT_TRUE(hardening::sameDocument(doc, again));
  for (const rt::Document::Run& run : doc.runs()) {
    EXPECT_GT(run.format->sizeHalfPoints, 0);
    EXPECT_LE(run.format->sizeHalfPoints, 3276);
  }
}

TEST(BadRtf, MalformedInputReadsBestEffort) {
  const std::string deep(100000, '{');
  const std::string deepClose(100000, '}');
  std::string colours = "{\\colortbl ;";
  for (int i = 0; i < 10000; ++i) colours += "\\red" + std::to_string(i % 256) + "\\green1\\blue2;";
  colours += "}";
  const struct {
    const char* name;
    std::string rtf;
  } cases[] = {
      {"100,000 nested groups", kHeader + deep + "x" + deepClose + "}"},
      {"100,000 groups never closed", kHeader + deep + "x"},
      {"more closing than opening braces", kHeader + "a}}}}}b}}"},
      {"no closing brace at all", kHeader + "text"},
      {"huge \\u", kHeader + "\\u99999999999999999999?\\u2147483648?\\u4294967297?x}"},
      {"negative \\u", kHeader + "\\u-1?\\u-32768?\\u-70000?\\u-99999999999999?x}"},
      {"huge and negative \\fs", kHeader + "\\fs99999999999 a\\fs-48 b\\fs0 c\\fs2147483647 d\\fs-2147483648 e}"},
      {"huge \\uc skip count", kHeader + "\\uc2147483647\\u3904?abc\\uc-5\\u3905?d}"},
      {"\\' at the end of the file", kHeader + "ab\\'"},
      {"\\' with one digit at the end", kHeader + "ab\\'4"},
      {"\\' with non-hex digits", kHeader + "ab\\'zz\\'4g}"},
      {"backslash at the end", kHeader + "ab\\"},
      {"font numbers beyond 32,767",
       "{\\rtf1{\\fonttbl{\\f40000\\fnil Microsoft Himalaya;}{\\f99999999999 Tahoma;}{\\f-3 X;}}"
       "\\f40000 a\\f99999999999 b\\f-3 c\\f32768 d}"},
      {"font pitch at the integer limit",
       "{\\rtf1{\\fonttbl{\\f0\\fprq2147483647 A;}{\\f1\\fprq99999999999 B;}}\\f0 a\\f1 b}"},
      {"colour table with 10,000 entries", kHeader + colours + "\\cf9999 a\\cf10001 b\\cf-1 c}"},
      {"control word of 10,000 letters", kHeader + "\\" + std::string(10000, 'a') + "1 x}"},
      {"parameter of 10,000 digits", kHeader + "\\fs" + std::string(10000, '9') + " x}"},
      {"binary data with a huge length", kHeader + "\\bin99999999999 xy}"},
      {"nested font tables", "{\\rtf1{\\fonttbl{\\fonttbl{\\f0 A;}}{\\f1{\\f2 B;}}}\\f1 x\\f2 y}"},
      {"NUL bytes and high bytes", kHeader + std::string("a\0b\xff\xfe\x80", 6) + "}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    expectBestEffort(c.rtf);
  }
}

TEST(BadRtf, NotRtfIsRefusedAndChangesNothing) {
  for (const std::string& input : {std::string(), std::string("{\\rt"), std::string("   "), std::string("\xff\xfe{\\rtf1}", 8)}) {
    rt::Document doc;
    doc.setText(u"kept");
    EXPECT_FALSE(doc.setRtf(input).ok);
    EXPECT_EQ(doc.plainText(), u"kept");
  }
}

TEST(BadRtf, ConvertCommandHandlesMalformedDocuments) {
  TempDir dir;
  const std::string deep(100000, '{');
  const struct {
    const char* name;
    std::string rtf;
  } cases[] = {
      {"deeply nested", kHeader + deep + "\\u3904?" + std::string(100000, '}') + "}"},
      {"unbalanced", kHeader + "\\u3904?}}}}{{{"},
      {"escape at the end", kHeader + "\\u3904?\\'"},
      {"huge numbers", kHeader + "\\u99999999999?\\fs-99999999999 \\u3904?\\f99999 x}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    writeBytes(dir / "in.rtf", c.rtf);
    fs::remove(dir / "out.rtf");
    const CliRun r = runCli({"convert", "--from", "HIMA", "--to", "BZD", (dir / "in.rtf").string(), "-o",
                             (dir / "out.rtf").string()});
    EXPECT_LE(r.status, 2) << r.err;
    if (fs::exists(dir / "out.rtf")) {
      const std::string out = readBytes(dir / "out.rtf");
      EXPECT_EQ(hardening::rtfProblem(out, true), "");
    } else {
      EXPECT_EQ(r.status, 2);
      EXPECT_FALSE(r.err.empty());
    }
  }
}

TEST(BadText, InvalidGbkBecomesReplacementCharacters) {
  // A lead byte before a blank, a lone lead byte at the end, 0xFF and an unmapped pair.
  const std::string bytes("\x81\x20 \xff ok \xa1\x40 \xd6\xd0\x81", 14);
  const std::u16string text = cp936::decode(bytes);
  EXPECT_NE(text.find(u'\uFFFD'), std::u16string::npos);
  EXPECT_NE(text.find(u"ok"), std::u16string::npos);
  EXPECT_NE(text.find(u'中'), std::u16string::npos);
  EXPECT_EQ(text.back(), u'\uFFFD');
}

TEST(BadText, OddOrBrokenTextFilesOpenBestEffortOrFailCleanly) {
  TempDir dir;
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"odd-length UTF-16LE", std::string("\xff\xfe\x40\x0f\x41", 5)},
      {"odd-length UTF-16BE", std::string("\xfe\xff\x0f\x40\x0f", 5)},
      {"byte-order mark and one byte", std::string("\xff\xfe\x41", 3)},
      {"invalid GBK", std::string("\x81\x20\xff\xfe\x80\xa1", 6)},
      {"invalid UTF-8 after a byte-order mark", std::string("\xef\xbb\xbf\xc0\xaf\xed\xa0\x80", 8)},
      {"NUL bytes", std::string("a\0b\0c", 5)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    writeBytes(dir / "in.txt", c.bytes);
    docs::RecordingHost host;
    host.editor().setText(u"before");
    const docs::OpenOutcome outcome = docs::LoadTextFile(host, (dir / "in.txt").string());
    if (!outcome.ok()) {
      EXPECT_EQ(host.editor().plainText(), u"before");
      EXPECT_FALSE(outcome.error.empty());
    }
    EXPECT_EQ(hardening::rtfProblem(host.editor().rtf(), true), "");
  }
}

TEST(BadFiles, FileThatVanishedBeforeTheReadIsReported) {
  TempDir dir;
  const fs::path path = dir / "gone.txt";
  writeBytes(path, "text");
  fs::remove(path);  // chosen in the dialog, removed before the read
  docs::RecordingHost host;
  host.editor().setText(u"before");
  const docs::OpenOutcome outcome = docs::OpenDocument(host, path.string());
  EXPECT_FALSE(outcome.ok());
  EXPECT_NE(outcome.error.find("gone.txt"), std::string::npos) << outcome.error;
  EXPECT_EQ(host.editor().plainText(), u"before");

  for (const cli::Args& args : {cli::Args{"convert", "--from", "HIMA", "--to", "BZD", path.string(), "-o", (dir / "o.rtf").string()},
                                cli::Args{"open", path.string(), "-o", (dir / "o.rtf").string()},
                                cli::Args{"sort", path.string(), "-o", (dir / "o.txt").string()},
                                cli::Args{"text2rtf", path.string(), "-o", (dir / "o.rtf").string()}}) {
    SCOPED_TRACE(args[0]);
    const CliRun r = runCli(args);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("gone.txt"), std::string::npos) << r.err;
  }
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(BadFiles, UnwritableTargetLeavesNoFileBehind) {
  TempDir dir;
  writeBytes(dir / "in.txt", "\xef\xbb\xbf\xe0\xbd\x80\xe0\xbd\x82\r\n");
  writeBytes(dir / "not-a-folder", "x");
  std::vector<std::string> targets = {(dir / "not-a-folder" / "out.rtf").string(), (dir / "missing" / "out.rtf").string()};
  if (::geteuid() != 0) {
    fs::create_directory(dir / "read-only");
    fs::permissions(dir / "read-only", fs::perms::owner_read | fs::perms::owner_exec);
    targets.push_back((dir / "read-only" / "out.rtf").string());
  }
  for (const std::string& target : targets) {
    SCOPED_TRACE(target);
    const CliRun r = runCli({"text2rtf", (dir / "in.txt").string(), "-o", target});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("out.rtf"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(docs::writeFileAtomically(target, "data").empty());
    EXPECT_FALSE(cli::writeFileAtomic(target, "data").empty());
  }
}

// Real read-only and full file systems: a child process in its own mount
// namespace mounts a read-only tmpfs and a 64 KiB tmpfs over two folders and
// saves into them. This works for root too, for whom permission bits do not
// stop a write. Where namespaces are not allowed the test is skipped.
TEST(BadFiles, ReadOnlyAndFullFileSystemsRefuseTheSaveCleanly) {
  TempDir dir;
  writeBytes(dir / "in.txt", "\xef\xbb\xbf\xe0\xbd\x80\xe0\xbd\x82\r\n");
  fs::create_directory(dir / "read-only");
  fs::create_directory(dir / "full");
  const std::string big(256 << 10, 'x');

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("yig-ro", (dir / "read-only").c_str(), "tmpfs", MS_RDONLY, nullptr) != 0 ||
        ::mount("yig-full", (dir / "full").c_str(), "tmpfs", 0, "size=64k") != 0) {
      ::_exit(77);
    }
    int failures = 0;
    const auto expect = [&failures](bool ok, const char* what) {
      if (!ok) {
        std::fprintf(stderr, "failed: %s\n", what);
        ++failures;
      }
    };
    // Read-only: nothing is written, and every route says which file failed.
    const std::string ro = (dir / "read-only" / "out.rtf").string();
    const CliRun r = runCli({"text2rtf", (dir / "in.txt").string(), "-o", ro});
    expect(r.status != 0 && r.err.find("out.rtf") != std::string::npos, "text2rtf into a read-only folder");
    expect(!docs::writeFileAtomically(ro, "data").empty(), "documents save into a read-only folder");
    expect(!cli::writeFileAtomic(ro, "data").empty(), "command-line save into a read-only folder");
    expect(!fs::exists(ro), "no file in the read-only folder");
    // Full: the old file stays whole and no temporary file is left.
    const fs::path full = dir / "full" / "out.rtf";
    writeBytes(full, "old content");
    expect(!docs::writeFileAtomically(full.string(), big).empty(), "documents save onto a full disk");
    expect(!cli::writeFileAtomic(full.string(), big).empty(), "command-line save onto a full disk");
    expect(readBytes(full) == "old content", "old file kept whole");
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir / "full")) ++files;
    expect(files == 1, "no temporary file left on the full disk");
    ::_exit(failures == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child process died";
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "mount namespaces are not available here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "see the failures printed above";
}

// A full disk, simulated with a file-size limit: the write fails, the message
// says so, and the file that was there stays whole.
TEST(BadFiles, FullDiskKeepsTheOldFileWhole) {
  TempDir dir;
  const fs::path target = dir / "out.rtf";
  writeBytes(target, "old content");
  const std::string big(1 << 20, 'x');

  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &previous);
  rlimit old {};
  ::getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 4096;
  ::setrlimit(RLIMIT_FSIZE, &small);
  const std::string docsError = docs::writeFileAtomically(target.string(), big);
  const std::string cliError = cli::writeFileAtomic(target.string(), big);
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_FALSE(docsError.empty());
  EXPECT_FALSE(cliError.empty());
  EXPECT_EQ(readBytes(target), "old content");
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1u) << "a temporary file was left behind";
}

// A file too big to hold is refused before it is read (convert streams RTF
// instead, and refuses this file for its content). The real 1 GB file is
// sparse, so the test costs no disk and no time; a lowered limit checks the
// same path with a small file.
TEST(BadFiles, OversizedInputIsRefusedBeforeReading) {
  TempDir dir;
  const fs::path huge = dir / "huge.rtf";
  {
    std::ofstream f(huge, std::ios::binary);
    f << "{\\rtf1 ";
  }
  fs::resize_file(huge, std::uintmax_t{1} << 30);
  for (const cli::Args& args : {cli::Args{"convert", "--from", "HIMA", "--to", "BZD", huge.string(), "-o", (dir / "o.rtf").string()},
                                cli::Args{"open", huge.string(), "-o", (dir / "o.rtf").string()},
                                cli::Args{"sort", huge.string(), "-o", (dir / "o.txt").string()},
                                cli::Args{"text2rtf", huge.string(), "-o", (dir / "o.rtf").string()}}) {
    SCOPED_TRACE(args[0]);
    const CliRun r = runCli(args);
    EXPECT_EQ(r.status, 2);
    // convert streams RTF and has no size limit: it refuses this one for what
    // it holds (no font table), as soon as the text begins.
    if (args[0] != "convert") {
      EXPECT_NE(r.err.find("too large"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(r.err.empty());
    EXPECT_FALSE(fs::exists(dir / "o.rtf"));
    EXPECT_FALSE(fs::exists(dir / "o.txt"));
  }
  docs::RecordingHost host;
  host.editor().setText(u"before");
  EXPECT_FALSE(docs::OpenDocument(host, huge.string()).ok());
  EXPECT_EQ(host.editor().plainText(), u"before");

  ::setenv("YIGSGYUR_MAX_INPUT_BYTES", "1000", 1);
  writeBytes(dir / "small.txt", std::string(2000, 'a'));
  const docs::FileRead read = docs::readWholeFile((dir / "small.txt").string());
  const cli::FileBytes cliRead = cli::readFile((dir / "small.txt").string());
  writeBytes(dir / "tiny.txt", std::string(999, 'a'));
  const docs::FileRead tiny = docs::readWholeFile((dir / "tiny.txt").string());
  ::unsetenv("YIGSGYUR_MAX_INPUT_BYTES");
  EXPECT_NE(read.error.find("too large"), std::string::npos) << read.error;
  EXPECT_NE(cliRead.error.find("too large"), std::string::npos) << cliRead.error;
  EXPECT_TRUE(tiny.ok());
}

}  // namespace
}  // namespace yig
