#pragma once
// Small text helpers over RTF kept as a string: the body marker of a document,
// ";"-separated font lists, and writing a "\u" escape.
#include <cstddef>
#include <string>
#include <string_view>

namespace yig::rtfpieces {

/// The body marker of a document: "\viewkind" when the text holds it, else "\uc1".
std::string_view bodyMarker(std::string_view rtf);

/// Splits `list` at ";" and calls `f(item)` for every non-empty item, in order.
template <class F>
void forEachListItem(std::string_view list, F&& f) {
  while (!list.empty()) {
    std::size_t semi = list.find(';');
    std::string_view item = list.substr(0, semi);
    if (!item.empty()) f(item);
    if (semi == std::string_view::npos) break;
    list.remove_prefix(semi + 1);
  }
}

/// True when some non-empty item of the ";"-separated `list` occurs in `text`.
bool containsAnyListItem(std::string_view text, std::string_view list);

/// Reads a digit.
constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

/// Appends "\u" (or `letter`) + the code as a signed 16-bit decimal number + "?".
void appendUnicodeEscape(std::string& out, char16_t c, char letter = 'u');

}  // namespace yig::rtfpieces
