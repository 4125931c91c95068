#include "engine/mapping_table.h"

#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <utility>

#include "resources/embedded.h"

namespace yig {

namespace {

constexpr std::uint8_t kScrambleKey = 0x6E;

const std::u16string& emptyText() {
  static const std::u16string empty;
  return empty;
}

class BuiltinTables final : public TableSource {
 public:
  std::optional<std::vector<std::uint8_t>> read(std::string_view code) const override {
    auto bytes = resources::find(code);
    if (!bytes) return std::nullopt;
    return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
  }
};

class DirectoryTables final : public TableSource {
 public:
  explicit DirectoryTables(std::string dir) : dir_(std::move(dir)) {}
  std::optional<std::vector<std::uint8_t>> read(std::string_view code) const override {
    std::string path = dir_;
    if (!path.empty() && path.back() != '/') path += '/';
    path += code;
    path += ".tbl";
    std::ifstream in(path, std::ios::binary);
    if (!in) return builtinTables().read(code);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::string dir_;
};

// Up to `n` TAB-separated columns of `line`; returns how many the line has
// (counting only up to n).
std::size_t splitColumns(std::u16string_view line, std::u16string_view* cols, std::size_t n) {
  std::size_t count = 0;
  while (count < n) {
    std::size_t tab = line.find(u'\t');
    cols[count++] = line.substr(0, tab);
    if (tab == std::u16string_view::npos) break;
    line.remove_prefix(tab + 1);
  }
  return count;
}

void addLine(MappingTable& map, std::u16string_view line, TableDirection direction) {
  std::u16string_view cols[4];
  switch (direction) {
    case TableDirection::UnicodeToNational:
      if (splitColumns(line, cols, 2) < 2) return;
      map.add(std::u16string(cols[1]), std::u16string(cols[0]));
      return;
    case TableDirection::NationalToUnicode:
      if (splitColumns(line, cols, 2) < 2) return;
      map.add(std::u16string(cols[0]), std::u16string(cols[1]));
      return;
    case TableDirection::SambhotaToUnicode: {
      if (splitColumns(line, cols, 4) < 4) return;
      std::u16string key(cols[3]);
      key += u' ';
      key += cols[0];
      map.add(std::move(key), std::u16string(cols[1]));
      return;
    }
    case TableDirection::UnicodeToSambhota: {
      if (splitColumns(line, cols, 3) < 3) return;
      std::u16string value(cols[2]);
      value += u' ';
      value += cols[0];
      map.add(std::u16string(cols[1]), std::move(value));
      return;
    }
  }
}

}  // namespace

bool MappingTable::add(std::u16string key, std::u16string value) {
  return map_.try_emplace(std::move(key), std::move(value)).second;
}

const std::u16string& MappingTable::lookup(std::u16string_view key) const {
  auto it = map_.find(key);
  return it == map_.end() ? emptyText() : it->second;
}

const TableSource& builtinTables() {
  static const BuiltinTables tables;
  return tables;
}

std::unique_ptr<TableSource> directoryTables(std::string dir) {
  return std::make_unique<DirectoryTables>(std::move(dir));
}

std::u16string unscrambleTable(std::span<const std::uint8_t> stored) {
  std::size_t units = stored.size() / 2;
  std::u16string text;
  if (units <= 1) return text;
  text.resize(units - 1);
  for (std::size_t i = 1; i < units; ++i) {
    unsigned lo = stored[2 * i] ^ kScrambleKey;
    unsigned hi = stored[2 * i + 1] ^ kScrambleKey;
    text[i - 1] = static_cast<char16_t>(lo | (hi << 8));
  }
  return text;
}

std::vector<std::uint8_t> scrambleTable(std::u16string_view text) {
  std::vector<std::uint8_t> out;
  out.reserve(2 * (text.size() + 1));
  auto put = [&](char16_t c) {
    out.push_back(static_cast<std::uint8_t>((c & 0xFF) ^ kScrambleKey));
    out.push_back(static_cast<std::uint8_t>((c >> 8) ^ kScrambleKey));
  };
  put(u'\xFEFF');
  for (char16_t c : text) put(c);
  return out;
}

MappingTable buildMappingTable(std::u16string_view text, TableDirection direction) {
  MappingTable map;
  // Unicode-to-national reads only the lines that a CR LF ends: whatever
  // follows the last CR LF is not read.
  std::u16string_view rest = text;
  if (direction == TableDirection::UnicodeToNational) {
    std::size_t last = text.rfind(u"\r\n");
    rest = last == std::u16string_view::npos ? std::u16string_view{} : text.substr(0, last + 2);
  }
  while (!rest.empty()) {
    std::size_t eol = rest.find(u"\r\n");
    std::u16string_view line = rest.substr(0, eol);
    addLine(map, line, direction);
    if (eol == std::u16string_view::npos) break;
    rest.remove_prefix(eol + 2);
  }
  return map;
}

std::optional<MappingTable> LoadMappingTable(std::string_view code, TableDirection direction,
                                             const TableSource& source) {
  auto stored = source.read(code);
  if (!stored) return std::nullopt;
  std::u16string text = unscrambleTable(*stored);
  stored.reset();
  return buildMappingTable(text, direction);
}

std::shared_ptr<const MappingTable> SharedMappingTable(std::string_view code, TableDirection direction,
                                                       const TableSource& source) {
  if (&source != &builtinTables()) {
    auto map = LoadMappingTable(code, direction, source);
    if (!map) return nullptr;
    return std::make_shared<const MappingTable>(std::move(*map));
  }
  using Key = std::pair<std::string, TableDirection>;
  static std::mutex mutex;
  static std::map<Key, std::shared_ptr<const MappingTable>> built;
  std::lock_guard lock(mutex);
  Key key{std::string(code), direction};
  if (auto it = built.find(key); it != built.end()) return it->second;
  auto map = LoadMappingTable(code, direction, source);
  if (!map) return nullptr;  // not remembered: a missing table costs nothing to look for again
  auto shared = std::make_shared<const MappingTable>(std::move(*map));
  built.emplace(std::move(key), shared);
  return shared;
}

}  // namespace yig
