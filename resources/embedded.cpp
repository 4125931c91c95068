#include "resources/embedded.h"

#include <cstddef>

namespace yig::resources::detail {
struct Entry {
  const char* name;
  const unsigned char* data;
  std::size_t size;
};
extern const Entry kEntries[];
extern const std::size_t kEntryCount;
}  // namespace yig::resources::detail

namespace yig::resources {

std::optional<std::span<const std::uint8_t>> find(std::string_view name) {
  for (std::size_t i = 0; i < detail::kEntryCount; ++i) {
    const auto& e = detail::kEntries[i];
    if (name == e.name) {
      return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(e.data), e.size);
    }
  }
  return std::nullopt;
}

std::vector<std::string_view> names() {
  std::vector<std::string_view> out;
  for (std::size_t i = 0; i < detail::kEntryCount; ++i) out.emplace_back(detail::kEntries[i].name);
  return out;
}

}  // namespace yig::resources
