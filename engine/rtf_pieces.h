#pragma once
// Shared pieces of the conversion operations, which treat RTF as a string:
// cutting the closing brace, splitting header and body, extending the font and
// colour tables, finding the Unicode Tibetan fonts, cutting the body at every
// "\f", reading and writing "\u" escapes, and the progress percentage.
//
// Positions are byte offsets (0-based). Nothing here allocates per character;
// the scanners work on std::string_view.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace yig::rtfpieces {

/// Why a document cannot be converted (the request then leaves it unchanged).
enum class Refusal {
  None,
  NoClosingBrace,  ///< the text holds no "}" at all
  NoBodyMarker,    ///< neither "\viewkind" nor "\uc1"
  NoFontTable,     ///< the header holds no "\fonttbl"
};

/// A document (already without its final "}") cut into header and body; both
/// are views into the document text.
struct SplitDocument {
  std::string_view header;  ///< text before the first body marker
  std::string_view body;    ///< from the first body marker to the end
};

/// Cuts `zz` just before its last "}"; false (and `zz` unchanged) when it has none.
bool cutFinalBrace(std::string& zz);

/// The body marker of a document: "\viewkind" when the text holds it, else "\uc1".
std::string_view bodyMarker(std::string_view rtf);

/// Splits a document (already without its final "}") at the first body marker.
/// Refuses text without a marker or whose header names no "\fonttbl".
Refusal splitDocument(std::string_view rtf, SplitDocument& out);

/// Inserts `entry` directly after the first "\fonttbl" of `header`, so that it
/// becomes the first entry of the font table. False when there is no "\fonttbl".
bool insertFontEntry(std::string& header, std::string_view entry);

/// Adds pure red (255, 0, 0) to the colour table of `header` and returns its
/// index as decimal text. Without "{\colortbl ;" a table holding only red is
/// appended to the header (index "1"); otherwise red becomes the table's last
/// entry and the index is the number of ";" inside the table group.
std::string addRedColour(std::string& header);

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

/// Calls `f(entry)` for every font-table entry of `header`: the header split at
/// every "{\f", each entry after the first given with its "\f" in front
/// ("\f0\fnil Microsoft Himalaya;}...").
template <class F>
void forEachFontEntry(std::string_view header, F&& f) {
  std::size_t pos = header.find("{\\f");
  while (pos != std::string_view::npos) {
    std::size_t next = header.find("{\\f", pos + 3);
    std::size_t end = next == std::string_view::npos ? header.size() : next;
    f(header.substr(pos + 1, end - pos - 1));
    pos = next;
  }
}

/// The Unicode Tibetan font tags of a header: one item " \fN;" per font-table
/// entry that contains one of `patterns` (";"-separated, case-sensitive), for
/// one- and two-digit font numbers only. The first item names the fallback
/// font for unconvertible characters.
std::string unicodeTibetanFontTags(std::string_view header, std::string_view patterns);
/// The same with the HIMA encoding's source font list as the patterns.
std::string unicodeTibetanFontTags(std::string_view header);

/// The first font's control word of a tag list (" \f0; \f12;" gives "\f0").
std::string_view firstFontTag(std::string_view tags);

/// Splits `body` at every "\f". Piece 0 is the text before the first "\f"; every
/// later piece starts with "\f" (kept, so pieces join back with nothing between).
std::vector<std::string_view> splitAtFontWords(std::string_view body);

/// Progress after piece `index` of `count` pieces: index ÷ (count − 2) × 100,
/// rounded, always within 0..100 (also for one or two pieces).
int progressPercent(std::size_t index, std::size_t count);

/// Reads a digit.
constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

/// A "\u" (or "\U") escape read at some position.
struct UnicodeEscape {
  char16_t ch;          ///< the character (negative numbers wrap: -3328 is U+F300)
  std::size_t length;   ///< bytes the escape takes, "\u" and "?" included
};

/// The fixed-width escape at `k`: "\u" or "\U", four characters, "?" — seven
/// bytes. The four characters must form a decimal number (a leading "-" allowed).
std::optional<UnicodeEscape> fourDigitEscape(std::string_view s, std::size_t k);

/// The escape at `k` with four or five characters between "\u" (or "\U") and "?":
/// "\u3904?" and "\u-3328?" (digits, a leading minus allowed).
std::optional<UnicodeEscape> shortUnicodeEscape(std::string_view s, std::size_t k);

/// The byte pair at `k`: "\'xx\'yy" (lead byte first); nothing when the eight
/// bytes are not two byte escapes with hexadecimal digits.
std::optional<unsigned> bytePairEscape(std::string_view s, std::size_t k);

/// Appends "\u" (or `letter`) + the code as a signed 16-bit decimal number + "?".
void appendUnicodeEscape(std::string& out, char16_t c, char letter = 'u');

/// Appends a "\cf<red>" mark.
inline void appendRedStart(std::string& out, std::string_view redIndex) {
  out += "\\cf";
  out += redIndex;
}

/// Ends a red mark with "\cf0". When the text at `next` goes on with a blank or
/// a digit, a delimiting blank follows, so that the blank stays text and the
/// digit does not become part of the colour number.
inline void appendRedEnd(std::string& out, std::string_view text, std::size_t next) {
  out += "\\cf0";
  if (next < text.size() && (text[next] == ' ' || (text[next] >= '0' && text[next] <= '9'))) out += ' ';
}

/// Counts the occurrences of `needle` in `text` (non-overlapping).
std::size_t countOccurrences(std::string_view text, std::string_view needle);

/// True when `text` holds "\cf" followed by `redIndex` as a whole number
/// (\cf2 does not count for red index 2 inside \cf23).
bool containsRedMark(std::string_view text, std::string_view redIndex);

}  // namespace yig::rtfpieces
