#include "engine/unit_matcher.h"

namespace yig {

namespace {

std::uint64_t mix(std::uint64_t key) {
  key ^= key >> 31;
  key *= 0x9E3779B97F4A7C15ULL;
  key ^= key >> 29;
  return key;
}

}  // namespace

bool UnitMatcher::pack(const char16_t* chars, std::size_t n, std::uint64_t& packed) {
  if (n == 0 || n > kMaxUnit) return false;
  std::uint64_t k = 0;
  for (std::size_t i = 0; i < n; ++i) {
    char16_t c = chars[i];
    if (c < 0x0F00 || c > 0x0FFF) return false;
    k = (k << 9) | static_cast<std::uint64_t>(c - 0x0F00 + 1);
  }
  packed = k;
  return true;
}

UnitMatcher::Slot& UnitMatcher::slotFor(std::uint64_t key) {
  std::uint64_t i = mix(key) & mask_;
  while (slots_[i].key != 0 && slots_[i].key != key) i = (i + 1) & mask_;
  slots_[i].key = key;
  return slots_[i];
}

const UnitMatcher::Slot* UnitMatcher::findSlot(std::uint64_t key) const {
  std::uint64_t i = mix(key) & mask_;
  while (slots_[i].key != 0) {
    if (slots_[i].key == key) return &slots_[i];
    i = (i + 1) & mask_;
  }
  return nullptr;
}

UnitMatcher::UnitMatcher(const MappingTable& map) : map_(map) {
  // Every key brings itself and up to six prefixes.
  std::size_t capacity = 16;
  while (capacity < map.size() * kMaxUnit * 2) capacity <<= 1;
  slots_.resize(capacity);
  mask_ = capacity - 1;
  map.forEach([&](std::u16string_view key, std::u16string_view) {
    if (key.size() > kMaxUnit) return;  // never gathered, never matched
    std::uint64_t packed = 0;
    if (!pack(key.data(), key.size(), packed)) {
      if (!key.empty()) otherKeys_ = true;
      return;
    }
    const std::u16string& value = map.lookup(key);
    if (!value.empty()) {
      Slot& s = slotFor(packed);
      s.flags |= kHasValue;
      s.value = static_cast<std::uint32_t>(values_.size());
      values_.push_back(&value);
    }
    for (std::size_t len = 1; len < key.size(); ++len) {
      std::uint64_t prefix = 0;
      pack(key.data(), len, prefix);
      slotFor(prefix).flags |= kExtends;
    }
  });
}

UnitMatcher::Hit UnitMatcher::find(const char16_t* chars, std::size_t n) const {
  std::uint64_t packed = 0;
  if (!pack(chars, n, packed)) {
    if (!otherKeys_) return {nullptr, false, kNoIndex};
    const std::u16string& v = map_.lookup(std::u16string_view(chars, n));
    return {v.empty() ? nullptr : &v, true, kNoIndex};
  }
  const Slot* s = findSlot(packed);
  if (s == nullptr) return {nullptr, otherKeys_, kNoIndex};
  bool has = (s->flags & kHasValue) != 0;
  return {has ? values_[s->value] : nullptr, (s->flags & kExtends) != 0 || otherKeys_, has ? s->value : kNoIndex};
}

}  // namespace yig
