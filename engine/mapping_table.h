#pragma once
// Conversion tables: loading the stored (scrambled UTF-16) form and building the
// key/value map one conversion direction needs.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace yig {

/// A text-to-text map: exact key comparison, the first insertion of a key wins,
/// a missing key gives the empty text.
class MappingTable {
 public:
  /// Adds the pair unless the key is present; returns whether it was added.
  bool add(std::u16string key, std::u16string value);
  /// The value for `key`, or the empty text.
  const std::u16string& lookup(std::u16string_view key) const;
  std::size_t size() const { return map_.size(); }
  void clear() { map_.clear(); }
  /// Calls `f(key, value)` for every entry, in no particular order.
  template <class F>
  void forEach(F&& f) const {
    for (const auto& [k, v] : map_) f(std::u16string_view(k), std::u16string_view(v));
  }

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::u16string_view s) const { return std::hash<std::u16string_view>{}(s); }
  };
  std::unordered_map<std::u16string, std::u16string, Hash, std::equal_to<>> map_;
};

/// The four directions a table is read in.
enum class TableDirection {
  UnicodeToNational,   ///< key column 2, value column 1; text after the last CR LF is not read
  NationalToUnicode,   ///< key column 1, value column 2; every line
  SambhotaToUnicode,   ///< key column 4 + " " + column 1, value column 2
  UnicodeToSambhota,   ///< key column 2, value column 3 + " " + column 1
};

/// Where stored tables come from: by default the tables built into the program;
/// a user's folder of <CODE>.tbl files may take their place.
class TableSource {
 public:
  virtual ~TableSource() = default;
  /// The stored bytes of table `code`, or nothing when there is none.
  virtual std::optional<std::vector<std::uint8_t>> read(std::string_view code) const = 0;
};
/// Tables built into the program.
const TableSource& builtinTables();
/// Tables read from `dir`/<CODE>.tbl, falling back to the built-in ones.
std::unique_ptr<TableSource> directoryTables(std::string dir);

/// Unscrambles stored table bytes (every byte XOR 0x6E, UTF-16LE) and drops the
/// first unit (the byte-order mark). An odd trailing byte is ignored.
std::u16string unscrambleTable(std::span<const std::uint8_t> stored);
/// The stored form of a table text (the inverse of unscrambleTable; the text
/// must not include the byte-order mark, it is added).
std::vector<std::uint8_t> scrambleTable(std::u16string_view text);

/// Builds the map for `direction` from an unscrambled table text.
MappingTable buildMappingTable(std::u16string_view text, TableDirection direction);

/// Loads table `code` and builds its map; nothing when the table cannot be found.
std::optional<MappingTable> LoadMappingTable(std::string_view code, TableDirection direction,
                                             const TableSource& source = builtinTables());

/// Like LoadMappingTable, but a map built from the tables built into the program
/// is kept and shared by every later request for the same table and direction
/// (those tables never change while the program runs). Maps from any other
/// source are built afresh, so edits to a user's table folder are seen at once.
/// Safe to call from several threads. Null when the table cannot be found.
std::shared_ptr<const MappingTable> SharedMappingTable(std::string_view code, TableDirection direction,
                                                       const TableSource& source = builtinTables());

}  // namespace yig
