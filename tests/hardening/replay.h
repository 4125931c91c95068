#pragma once
// Replays stored inputs through a fuzz target's entry point under the normal
// build: every file of tests/data/hardening/<target>/ (inputs that once broke
// something) and of fuzz/corpus/<target>/ (the seeds). A target aborts on a
// broken invariant, and the sanitizers of the test build stop on memory errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace yig::hardening {

using FuzzEntry = int (*)(const std::uint8_t*, std::size_t);

inline std::vector<std::filesystem::path> storedInputs(const std::string& target) {
  std::vector<std::filesystem::path> files;
  for (const std::filesystem::path& dir : {std::filesystem::path(YIG_TEST_DATA_DIR) / "hardening" / target,
                                          std::filesystem::path(YIG_SOURCE_DIR) / "fuzz" / "corpus" / target}) {
    if (!std::filesystem::is_directory(dir)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

inline void replay(const std::string& target, FuzzEntry entry) {
  const auto files = storedInputs(target);
  EXPECT_FALSE(files.empty()) << "no stored inputs for " << target;
  for (const auto& file : files) {
    SCOPED_TRACE(file.string());
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
  }
}

}  // namespace yig::hardening

// Defines a test that replays the stored inputs of fuzz/<target>.cpp, which the
// including file has compiled in with its entry point renamed to `entry`.
#define YIG_REPLAY_TEST(target, entry) \
  TEST(ReplayStoredInputs, target) { yig::hardening::replay(#target, entry); }
