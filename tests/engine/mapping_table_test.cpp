#include "engine/mapping_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "engine_test_support.h"

namespace yig {
namespace {

TEST(MappingTable, ScrambledFormRoundTrips) {
  std::u16string text = u"\u554A\t\u0F40\r\nx\ty\r\n";
  std::vector<std::uint8_t> stored = scrambleTable(text);
  ASSERT_EQ(stored.size(), 2 * (text.size() + 1));
  // The byte-order mark FF FE, XOR 0x6E.
  EXPECT_EQ(stored[0], 0xFF ^ 0x6E);
  EXPECT_EQ(stored[1], 0xFE ^ 0x6E);
  EXPECT_EQ(unscrambleTable(stored), text);
  stored.push_back(0x42);  // an odd trailing byte is ignored
  EXPECT_EQ(unscrambleTable(stored), text);
  EXPECT_EQ(unscrambleTable({}), u"");
}

struct DirectionCase {
  const char* name;
  std::u16string text;
  TableDirection direction;
  std::vector<std::pair<std::u16string, std::u16string>> expected;  // key, value ("" = absent)
  std::size_t size;
};

class MappingTableDirections : public ::testing::TestWithParam<DirectionCase> {};

TEST_P(MappingTableDirections, KeysValuesAndLinesRead) {
  const DirectionCase& c = GetParam();
  MappingTable map = buildMappingTable(c.text, c.direction);
  EXPECT_EQ(map.size(), c.size);
  for (const auto& [key, value] : c.expected) EXPECT_EQ(map.lookup(key), value) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MappingTableDirections,
    ::testing::Values(
        DirectionCase{"three columns, to national", u"A\tB\tC\r\n", TableDirection::UnicodeToNational, {{u"B", u"A"}, {u"A", u""}, {u"C", u""}}, 1},
        DirectionCase{"three columns, to Unicode", u"A\tB\tC\r\n", TableDirection::NationalToUnicode, {{u"A", u"B"}, {u"B", u""}}, 1},
        DirectionCase{"same column 2: first wins", u"A\tX\r\nB\tX\r\n", TableDirection::UnicodeToNational, {{u"X", u"A"}}, 1},
        DirectionCase{"same column 1: first wins", u"A\tX\r\nA\tY\r\n", TableDirection::NationalToUnicode, {{u"A", u"X"}}, 1},
        DirectionCase{"empty and one-column lines add nothing", u"\r\nA\r\nB\tC\r\n", TableDirection::NationalToUnicode, {{u"B", u"C"}, {u"A", u""}}, 1},
        DirectionCase{"last line without CR LF: lost to national", u"A\tX\r\nB\tY", TableDirection::UnicodeToNational, {{u"X", u"A"}, {u"Y", u""}}, 1},
        DirectionCase{"last line without CR LF: read to Unicode", u"A\tX\r\nB\tY", TableDirection::NationalToUnicode, {{u"A", u"X"}, {u"B", u"Y"}}, 2},
        DirectionCase{"no CR LF at all: nothing to national", u"A\tX", TableDirection::UnicodeToNational, {}, 0},
        DirectionCase{"letter case matters", u"a\tX\r\nA\tY\r\n", TableDirection::NationalToUnicode, {{u"a", u"X"}, {u"A", u"Y"}}, 2},
        DirectionCase{"reading Sambhota", u"a\tu\tw\tr\r\n", TableDirection::SambhotaToUnicode, {{u"r a", u"u"}}, 1},
        DirectionCase{"writing Sambhota", u"a\tu\tw\tr\r\n", TableDirection::UnicodeToSambhota, {{u"u", u"w a"}}, 1},
        DirectionCase{"Sambhota line with three columns cannot be read", u"a\tu\tw\r\n", TableDirection::SambhotaToUnicode, {}, 0},
        DirectionCase{"Sambhota line with two columns cannot be written", u"a\tu\r\n", TableDirection::UnicodeToSambhota, {}, 0}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(MappingTable, LoadFindsTablesByCode) {
  test::MemoryTables tables;
  tables.put("XY", u"A\tB\r\n");
  auto map = LoadMappingTable("XY", TableDirection::NationalToUnicode, tables);
  ASSERT_TRUE(map);
  EXPECT_EQ(map->lookup(u"A"), u"B");
  EXPECT_FALSE(LoadMappingTable("NONE", TableDirection::NationalToUnicode, tables));
}

TEST(MappingTable, UserFolderReplacesABuiltInTableAndFallsBack) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("yig-tables-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::create_directories(dir);
  auto bytes = scrambleTable(u"Q\t\u0F40\r\n");
  std::ofstream(dir / "BZD.tbl", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                          static_cast<std::streamsize>(bytes.size()));
  auto source = directoryTables(dir.string());
  auto mine = LoadMappingTable("BZD", TableDirection::NationalToUnicode, *source);
  ASSERT_TRUE(mine);
  EXPECT_EQ(mine->size(), 1u);
  EXPECT_EQ(mine->lookup(u"Q"), u"\u0F40");
  auto builtin = LoadMappingTable("TY", TableDirection::NationalToUnicode, *source);
  ASSERT_TRUE(builtin);
  EXPECT_GT(builtin->size(), 1000u);
  fs::remove_all(dir);
}

TEST(MappingTable, BuiltInMapsAreSharedAcrossThreadsWhileOtherSourcesAreRebuilt) {
  // Built-in tables are built once and handed out to every caller, also from
  // several threads at a time (batch conversions run in parallel).
  std::vector<std::shared_ptr<const MappingTable>> got(4);
  {
    std::vector<std::thread> threads;
    for (auto& slot : got)
      threads.emplace_back([&slot] { slot = SharedMappingTable("HG", TableDirection::UnicodeToNational); });
    for (auto& t : threads) t.join();
  }
  ASSERT_TRUE(got[0]);
  for (const auto& map : got) EXPECT_EQ(map.get(), got[0].get());
  EXPECT_EQ(got[0]->size(), LoadMappingTable("HG", TableDirection::UnicodeToNational)->size());
  EXPECT_NE(SharedMappingTable("HG", TableDirection::NationalToUnicode).get(), got[0].get());
  EXPECT_FALSE(SharedMappingTable("NONE", TableDirection::NationalToUnicode));

  // A table from any other source reflects its current content.
  test::MemoryTables tables;
  tables.put("XY", u"A\tB\r\n");
  auto first = SharedMappingTable("XY", TableDirection::NationalToUnicode, tables);
  tables.put("XY", u"A\tC\r\n");
  auto second = SharedMappingTable("XY", TableDirection::NationalToUnicode, tables);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->lookup(u"A"), u"B");
  EXPECT_EQ(second->lookup(u"A"), u"C");
}

}  // namespace
}  // namespace yig
