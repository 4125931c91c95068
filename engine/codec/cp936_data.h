#pragma once
// The generated lookup tables of code page 936 (engine/codec/cp936_data.cpp,
// written by tools/gen_cp936.py). Only the codec reads them.
#include <cstddef>
#include <cstdint>

namespace yig::cp936::detail {

inline constexpr std::uint8_t kLeadFirst = 0x81;
inline constexpr std::uint8_t kTrailFirst = 0x40;
inline constexpr std::uint8_t kTrailLast = 0xFE;
inline constexpr int kLeadCount = 126;
inline constexpr int kTrailCount = 191;

/// Character of lead/trail, indexed [lead - 0x81][trail - 0x40]; 0 when unmapped.
extern const char16_t kDecode[kLeadCount][kTrailCount];
/// Block of the characters hi:00..hi:FF in kEncodeBlock; block 0 maps nothing.
extern const std::uint8_t kEncodePage[256];
/// Code of each character: 0x80 for the euro sign, lead << 8 | trail for a pair, 0 = none.
extern const std::uint16_t kEncodeBlock[][256];
extern const std::size_t kEncodeBlockCount;

}  // namespace yig::cp936::detail
