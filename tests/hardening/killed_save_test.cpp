// kill -9 at random moments of saves and batch runs: an output is there
// whole or not at all (an old one whole), no temporary file is left beside
// it, and the inputs are never touched.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "cli/commands.h"

namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every file under `root`, hidden ones included, with its bytes.
std::map<std::string, std::string> filesUnder(const fs::path& root) {
  std::map<std::string, std::string> files;
  if (!fs::exists(root)) return files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_directory()) files[fs::relative(e.path(), root).string()] = readAll(e.path());
  }
  return files;
}

// Runs the tool in a child process; returns its id.
pid_t start(const yig::cli::Args& args) {
  const pid_t child = ::fork();
  if (child == 0) {
    std::ostringstream out, err;
    ::_exit(yig::cli::run(args, out, err));
  }
  return child;
}

// A HIMA RTF document of about `bytes` bytes.
std::string himaDocument(std::size_t bytes) {
  std::string rtf = "{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}}\\viewkind4\\uc1\\pard\\f0 ";
  while (rtf.size() < bytes) rtf += "\\u3926?\\u3964?\\u3921?\\u3851?\\u3904?\\u3954?\\par\r\n";
  return rtf + "}";
}

TEST(KilledMidway, SavesAndBatchesLeaveNoPartialOutputAndNoStrayFile) {
  const fs::path dir = fs::temp_directory_path() / ("yig-killed-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "in" / "sub");
  std::map<std::string, std::string> inputs = {{"big.rtf", himaDocument(3 << 20)},
                                               {"sub/a.rtf", himaDocument(400 << 10)},
                                               {"sub/b.rtf", himaDocument(200 << 10)}};
  for (const auto& [name, bytes] : inputs) std::ofstream(dir / "in" / name, std::ios::binary) << bytes;

  const yig::cli::Args single = {"convert", "--from", "HIMA", "--to", "BZD", (dir / "in/big.rtf").string(), "-o",
                                 (dir / "out/big.rtf").string()};
  const yig::cli::Args batch = {"convert", "--from", "HIMA", "--to", "BZD", "-r", "-j", "2",
                                (dir / "in").string(), "-o", (dir / "out").string()};
  // What complete runs write, and how long they take (to pick moments within).
  std::map<std::string, std::string> complete[2];
  std::chrono::milliseconds took[2];
  for (int k = 0; k < 2; ++k) {
    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out");
    const auto begin = std::chrono::steady_clock::now();
    int status = 0;
    ::waitpid(start(k == 0 ? single : batch), &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    took[k] = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin);
    complete[k] = filesUnder(dir / "out");
    ASSERT_FALSE(complete[k].empty());
  }

  std::mt19937 random(std::random_device{}());
  for (int round = 0; round < 20; ++round) {
    const int k = round % 2;
    SCOPED_TRACE((k == 0 ? "single save, round " : "batch, round ") + std::to_string(round));
    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out");
    // Every other single save replaces an older output.
    const bool replacing = k == 0 && round % 4 == 0;
    if (replacing) std::ofstream(dir / "out/big.rtf", std::ios::binary) << "old output";
    const pid_t child = start(k == 0 ? single : batch);
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % (took[k].count() + 1)));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    bool leftover = false;
    for (const auto& [name, bytes] : filesUnder(dir / "out")) {
      // Replacing a file passes through a temporary name for a moment; a kill
      // right then leaves it, and the next save into the folder removes it.
      if (replacing && name.starts_with(".~yig" + std::to_string(child) + "-")) {
        leftover = true;
        continue;
      }
      const auto expected = complete[k].find(name);
      ASSERT_NE(expected, complete[k].end()) << "stray file " << name;
      const bool old = replacing && bytes == "old output";
      EXPECT_TRUE(old || bytes == expected->second) << "partial output " << name;
    }
    for (const auto& [name, bytes] : inputs) EXPECT_TRUE(readAll(dir / "in" / name) == bytes) << name;
    if (leftover) {
      int status = 0;
      ::waitpid(start(single), &status, 0);
      EXPECT_EQ(filesUnder(dir / "out"), complete[0]) << "the next save removes the temporary file";
    }
  }
  fs::remove_all(dir);
}

}  // namespace
