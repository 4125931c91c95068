// Fuzzes table loading: arbitrary stored bytes (scrambled UTF-16) are read in
// all four directions, through LoadMappingTable and buildMappingTable alike.
// Both give the same map, and
// scrambling an unscrambled text gives back the stored bytes.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "engine/mapping_table.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

class BytesSource final : public yig::TableSource {
 public:
  explicit BytesSource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  std::optional<std::vector<std::uint8_t>> read(std::string_view code) const override {
    if (code != "FUZZ") return std::nullopt;
    return bytes_;
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 18)) return 0;
  std::vector<std::uint8_t> stored(data, data + size);
  const std::u16string text = yig::unscrambleTable(stored);
  check(text.size() == (size >= 2 ? size / 2 - 1 : 0));
  if (size >= 2 && (size & 1) == 0) {
    // The first unit is the byte-order mark the scrambled form adds.
    std::vector<std::uint8_t> again = yig::scrambleTable(text);
    check(again.size() == size);
    check(std::equal(again.begin() + 2, again.end(), stored.begin() + 2));
  }
  const BytesSource source(std::move(stored));
  for (auto direction : {yig::TableDirection::UnicodeToNational, yig::TableDirection::NationalToUnicode,
                         yig::TableDirection::SambhotaToUnicode, yig::TableDirection::UnicodeToSambhota}) {
    const yig::MappingTable built = yig::buildMappingTable(text, direction);
    const std::optional<yig::MappingTable> loaded = yig::LoadMappingTable("FUZZ", direction, source);
    check(loaded.has_value());
    check(loaded->size() == built.size());
    built.forEach([&](std::u16string_view key, std::u16string_view value) {
      check(loaded->lookup(key) == value);
      check(built.lookup(key) == value);
    });
  }
  check(!yig::LoadMappingTable("NONE", yig::TableDirection::NationalToUnicode, source).has_value());
  return 0;
}
