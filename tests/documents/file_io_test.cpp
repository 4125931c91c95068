#include "documents/file_io.h"

#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "test_support.h"

namespace yig::docs {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::TempFolder;

TEST(PrintableName, ControlCharactersAndBrokenUtf8AreEscaped) {
  const struct {
    std::string name, shown;
  } cases[] = {
      {"plain name.rtf", "plain name.rtf"},
      {"\xE0\xBD\x96\xE0\xBD\xBC\xE0\xBD\x91.rtf", "\xE0\xBD\x96\xE0\xBD\xBC\xE0\xBD\x91.rtf"},  // Tibetan stays
      {"a\nb\tc\rd", "a\\x0Ab\\x09c\\x0Dd"},
      {"\x1B[2Jclear", "\\x1B[2Jclear"},
      {"del\x7F", "del\\x7F"},
      {"csi\xC2\x9B" "31m", "csi\\xC2\\x9B31m"},  // the eight-bit escape, as UTF-8
      {"bad\xFF\xFE", "bad\\xFF\\xFE"},
      {"cut\xE0\xBD", "cut\\xE0\\xBD"},
      {"overlong\xC0\xAF", "overlong\\xC0\\xAF"},
      {"surrogate\xED\xA0\x80", "surrogate\\xED\\xA0\\x80"},
  };
  for (const auto& c : cases) EXPECT_EQ(printableName(c.name), c.shown) << c.shown;
  EXPECT_EQ(quotedName("a\x1B"), "'a\\x1B'");
}

TEST(ReadWholeFile, OnlyRegularFilesAreReadAndNothingBlocks) {
  TempFolder folder;
#ifdef _WIN32
  const std::string devices[] = {"NUL"};
#else
  const std::string fifo = folder.file("pipe.rtf");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string devices[] = {fifo, "/dev/zero", "/dev/null"};
#endif
  for (const std::string& path : devices) {
    const FileRead read = readWholeFile(path);  // a FIFO without a writer would block a plain open
    EXPECT_FALSE(read.ok()) << path;
    EXPECT_NE(read.error.find("not a regular file"), std::string::npos) << read.error;
  }
  EXPECT_NE(readWholeFile(folder.path().string()).error.find("folder"), std::string::npos);
  EXPECT_EQ(readWholeFile(folder.write("a.txt", "abc")).bytes, "abc");
}

TEST(SameFile, ByDeviceAndInodeThroughLinks) {
  TempFolder folder;
  const std::string a = folder.write("a.rtf", "a"), b = folder.write("b.rtf", "a");
  fs::create_hard_link(a, folder.file("hard.rtf"));
  EXPECT_TRUE(isSameFile(a, a));
#ifndef _WIN32  // symbolic links on Windows need a privilege
  fs::create_symlink(a, folder.file("soft.rtf"));
  EXPECT_TRUE(isSameFile(a, folder.file("soft.rtf")));
#endif
  EXPECT_TRUE(isSameFile(folder.file("hard.rtf"), a));
  EXPECT_TRUE(isSameFile(a, folder.path().string() + "/./a.rtf"));
  EXPECT_FALSE(isSameFile(a, b));  // equal bytes, another file
  EXPECT_FALSE(isSameFile(a, folder.file("missing.rtf")));
}

TEST(WriteFileAtomically, LongNamesModesAndNoTemporaryLeft) {
  TempFolder folder;
  // The longest name the file system takes can be written: the temporary
  // file's name does not grow with the target's.
  const std::string longest = folder.file(std::string(251, 'x') + ".rtf");
  ASSERT_EQ(writeFileAtomically(longest, "long"), "");
  EXPECT_EQ(readBytes(longest), "long");

#ifndef _WIN32  // Windows has no permission bits to keep or limit
  const std::string limited = folder.file("limited.rtf");
  ASSERT_EQ(writeFileAtomically(limited, "a", 0600), "");
  struct stat info {};
  ASSERT_EQ(::stat(limited.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0077, 0u);
  ::chmod(limited.c_str(), 0640);
  ASSERT_EQ(writeFileAtomically(limited, "b", 0604), "");  // kept, then limited
  ASSERT_EQ(::stat(limited.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(readBytes(limited), "b");

  // A pipe or device is not a file to replace.
  ASSERT_EQ(::mkfifo(folder.file("pipe").c_str(), 0600), 0);
  EXPECT_NE(writeFileAtomically(folder.file("pipe"), "x").find("not a regular file"), std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 3);
#endif
}

TEST(RemoveLeftovers, OnlyThoseOfEndedProcesses) {
#ifdef _WIN32
  GTEST_SKIP() << "an ended process id is made with fork (POSIX only)";
#else
  TempFolder folder;
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);  // its id now names an ended process
  const std::string ended = std::to_string(child), running = std::to_string(::getppid());
  for (const std::string& name :
       {".~yig" + ended + "-abc", ".~yig" + running + "-abc", std::string(".~yigx-abc"), "other" + ended + "-abc"}) {
    folder.write(name, "partial");
  }
  fs::create_directory(folder.file("job-" + ended + "-x"));
  folder.write("job-" + ended + "-x/inside", "x");
  fs::create_directory(folder.file("job-" + running + "-x"));

  removeStaleTemporaries(folder.path().string());
  removeLeftovers(folder.path().string(), "job-", true);
  EXPECT_FALSE(fs::exists(folder.file(".~yig" + ended + "-abc")));
  EXPECT_FALSE(fs::exists(folder.file("job-" + ended + "-x")));
  for (const std::string& kept : {".~yig" + running + "-abc", std::string(".~yigx-abc"), "other" + ended + "-abc",
                                  "job-" + running + "-x"}) {
    EXPECT_TRUE(fs::exists(folder.file(kept))) << kept;
  }
#endif
}

}  // namespace
}  // namespace yig::docs
