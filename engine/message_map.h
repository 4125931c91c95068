#pragma once
// The interface-language table "JM": Tibetan and Chinese labels side by side.
// The forms are designed with Chinese captions; the maps built here give the
// Tibetan label for a Chinese one (the message map, and the switch map towards
// Tibetan) or the Chinese label for a Tibetan one (the switch map back).
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/mapping_table.h"

namespace yig {

/// The about window's fixed Chinese disclaimer; its Tibetan form is the
/// table's value for this key.
inline constexpr std::u16string_view kDisclaimerChinese =
    u"本软件是免费工具，按现状提供，不附带任何明示或暗示的担保。\n"
    u"自动转换难免有误，使用转换结果之前，请仔细核对转换后的文字，尤其是红色标记的字符。\n"
    u"因使用本软件造成的任何损失，开发者概不负责。";
/// The Chinese title of the program's windows (the information box and prompts).
inline constexpr std::u16string_view kProgramTitleChinese = u"藏文编码转换工具";

enum class MessageMapDirection {
  ChineseToTibetan,  ///< key: the Chinese cell, value: the Tibetan cell
  TibetanToChinese,  ///< key: the Tibetan cell, value: the Chinese cell
};

/// Builds a map from the stored table: UTF-16LE, an optional byte-order mark,
/// rows split at CR LF, cells at TAB. Rows without a TAB are skipped, and the
/// first row with a given key wins. A bare LF inside a cell is part of it.
MappingTable BuildMessageMap(std::span<const std::uint8_t> stored, MessageMapDirection direction);

/// The message map (Chinese to Tibetan) from the embedded table; empty when the
/// program carries no table.
MappingTable LoadMessageMap();

/// The map used when an interface language is applied: towards Tibetan it maps
/// Chinese to Tibetan, towards Chinese it maps Tibetan back to Chinese.
MappingTable BuildSwitchMap(bool tibetanInterface);

/// The program's message map, loaded from the embedded table on first use.
const MappingTable& messageMap();

/// The Tibetan label for `text` when the Tibetan interface is active, else
/// `text` unchanged. Text the table does not know is shown as it is rather
/// than as an empty label.
std::u16string TranslateForDisplay(const MappingTable& map, std::u16string_view text, bool tibetanInterface);
/// The same with the program's message map.
std::u16string TranslateForDisplay(std::u16string_view text, bool tibetanInterface);

}  // namespace yig
