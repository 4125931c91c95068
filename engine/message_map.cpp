#include "engine/message_map.h"

#include "resources/embedded.h"

namespace yig {

MappingTable BuildMessageMap(std::span<const std::uint8_t> stored, MessageMapDirection direction) {
  std::u16string text;
  text.reserve(stored.size() / 2);
  for (std::size_t i = 0; i + 1 < stored.size(); i += 2) {
    text.push_back(static_cast<char16_t>(stored[i] | (stored[i + 1] << 8)));
  }
  std::u16string_view rest = text;
  if (!rest.empty() && rest.front() == u'\uFEFF') rest.remove_prefix(1);

  MappingTable map;
  while (true) {
    const std::size_t eol = rest.find(u"\r\n");
    const std::u16string_view row = rest.substr(0, eol);
    if (const std::size_t tab = row.find(u'\t'); tab != std::u16string_view::npos) {
      const std::u16string_view tibetan = row.substr(0, tab);
      std::u16string_view chinese = row.substr(tab + 1);
      chinese = chinese.substr(0, chinese.find(u'\t'));  // a third cell is not part of the label
      if (direction == MessageMapDirection::ChineseToTibetan) {
        map.add(std::u16string(chinese), std::u16string(tibetan));
      } else {
        map.add(std::u16string(tibetan), std::u16string(chinese));
      }
    }
    if (eol == std::u16string_view::npos) break;
    rest.remove_prefix(eol + 2);
  }
  return map;
}

namespace {

MappingTable loadEmbedded(MessageMapDirection direction) {
  auto bytes = resources::find("JM");
  if (!bytes) return {};
  return BuildMessageMap(*bytes, direction);
}

}  // namespace

MappingTable LoadMessageMap() { return loadEmbedded(MessageMapDirection::ChineseToTibetan); }

MappingTable BuildSwitchMap(bool tibetanInterface) {
  return loadEmbedded(tibetanInterface ? MessageMapDirection::ChineseToTibetan
                                       : MessageMapDirection::TibetanToChinese);
}

const MappingTable& messageMap() {
  static const MappingTable map = LoadMessageMap();
  return map;
}

std::u16string TranslateForDisplay(const MappingTable& map, std::u16string_view text, bool tibetanInterface) {
  if (!tibetanInterface) return std::u16string(text);
  const std::u16string& tibetan = map.lookup(text);
  return tibetan.empty() ? std::u16string(text) : tibetan;
}

std::u16string TranslateForDisplay(std::u16string_view text, bool tibetanInterface) {
  return TranslateForDisplay(messageMap(), text, tibetanInterface);
}

}  // namespace yig
