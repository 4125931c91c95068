#pragma once
// Fast longest-match look-ups over a MappingTable for Unicode-to-national conversion.
//
// UnitMatcher answers "what is the value of this Unicode sequence, and is it the
// beginning of a longer key?" in one probe, so the longest-match scan stops as
// soon as no longer key can match. Sequences of Tibetan-block characters
// (U+0F00..U+0FFF, at most seven) are packed into one 64-bit number, nine bits
// per character, and kept in an open-addressing table; other keys are looked up
// in the MappingTable itself.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/mapping_table.h"

namespace yig {

class UnitMatcher {
 public:
  static constexpr std::size_t kMaxUnit = 7;

  explicit UnitMatcher(const MappingTable& map);

  static constexpr std::uint32_t kNoIndex = 0xFFFFFFFF;
  struct Hit {
    const std::u16string* value;  ///< nullptr when the key has no (non-empty) value
    bool extends;                 ///< some longer key starts with this one
    std::uint32_t index;          ///< the value's number (0..valueCount()-1), or kNoIndex
  };
  /// Looks up the sequence chars[0..n), n from 1 to kMaxUnit.
  Hit find(const char16_t* chars, std::size_t n) const;
  /// The same for a sequence of Tibetan-block characters (U+0F00..U+0FFF)
  /// packed with `extend`; keys outside the block cannot match it and are not
  /// looked at.
  Hit findPacked(std::uint64_t packed) const {
    const Slot* s = findSlot(packed);
    if (s == nullptr) return {nullptr, false, kNoIndex};
    const bool has = (s->flags & kHasValue) != 0;
    return {has ? values_[s->value] : nullptr, (s->flags & kExtends) != 0, has ? s->value : kNoIndex};
  }
  /// `packed` followed by the Tibetan-block character `c`.
  static constexpr std::uint64_t extend(std::uint64_t packed, char16_t c) {
    return (packed << 9) | static_cast<std::uint64_t>(c - 0x0F00 + 1);
  }
  /// The values of the Tibetan-block keys, numbered as Hit::index gives them.
  std::size_t valueCount() const { return values_.size(); }
  const std::u16string& valueAt(std::size_t i) const { return *values_[i]; }

 private:
  static constexpr std::uint8_t kHasValue = 1, kExtends = 2;
  struct Slot {
    std::uint64_t key = 0;  // 0 = empty
    std::uint32_t value = 0;
    std::uint8_t flags = 0;
  };
  static bool pack(const char16_t* chars, std::size_t n, std::uint64_t& packed);
  Slot& slotFor(std::uint64_t key);
  const Slot* findSlot(std::uint64_t key) const;

  const MappingTable& map_;
  std::vector<Slot> slots_;
  std::uint64_t mask_ = 0;
  std::vector<const std::u16string*> values_;
  bool otherKeys_ = false;  // keys outside the Tibetan block (looked up in map_)
};

}  // namespace yig
