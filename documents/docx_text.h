#pragma once
// Conversion of plain text drawn in a source font, for documents whose text is
// Unicode already (Word and OpenDocument XML). The rules are those of the RTF
// conversion: Unicode Tibetan is matched unit by unit, longest first (up to
// seven characters); a national unit written from a vowel sign or subjoined
// letter is marked red; a Unicode character no table knows stays, red; a
// national character without a value stays as it is; Sambhota glyphs are read
// per font and byte. Conversions between two non-Unicode encodings go
// through Unicode.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/convert_core.h"
#include "engine/encodings.h"

namespace yig::docs::docx {

/// One character of a run, and whether its font is one of the source encoding.
struct SourceChar {
  char16_t ch = 0;
  bool source = false;
  std::int8_t samFont = -1;  ///< Sambhota source: the index of the font drawing it
  std::uint32_t origin = 0;  ///< where it comes from (a number of the caller's)
};

/// A stretch of output text with the font it is set in.
struct Piece {
  std::u16string text;
  std::optional<Encoding> font;  ///< the target font of this encoding; nothing: the run's own font
  std::int8_t samFont = -1;      ///< with font SAM: which font of the family
  bool red = false;
  std::uint32_t origin = 0;  ///< the origin of the (first) character it was written from
};

/// Whether `c` can be text of encoding `e` (Tibetan for Unicode; a glyph byte,
/// or one in the symbol area, for Sambhota; any non-ASCII character else).
inline bool isSourceChar(char16_t c, Encoding e) {
  if (e == Encoding::HIMA) return c >= 0x0F00 && c <= 0x0FFF;
  if (e == Encoding::SAM) return (c >= 0xF020 && c <= 0xF0FF) || (c >= 0x20 && c < 0x7F);
  return c >= 0x80;
}
/// A character of the CJK ranges (drawn by the East Asian font).
bool isCjk(char16_t c);

class TextConverter {
 public:
  /// A converter from `from` to `to`; nothing, with `error` set, when they
  /// are the same or a table is missing.
  static std::unique_ptr<TextConverter> create(Encoding from, Encoding to, const conv::Options& options,
                                               std::string& error);
  TextConverter(Encoding from, Encoding to, const conv::Options& options);
  ~TextConverter();
  TextConverter(const TextConverter&) = delete;
  TextConverter& operator=(const TextConverter&) = delete;

  /// Empty when the tables were found; else the message to show.
  const std::u16string& error() const { return error_; }

  /// Converts `chars`, appending to `out`; characters that are not `source`
  /// are kept in the run's own font. A unit may span characters of several
  /// origins; its output takes the origin of its first character, and pieces
  /// of different origins are never merged. `offset` is recorded with red samples.
  void convert(const std::vector<SourceChar>& chars, std::vector<Piece>& out, std::uint64_t offset = 0);

  const conv::Stats& stats() const { return stats_; }
  /// The counts as they were at `before`, with `redCharacters` more red: for
  /// text converted and then kept as it was instead.
  void keepAsIs(const conv::Stats& before, std::size_t redCharacters) {
    stats_.converted = before.converted;
    stats_.red = before.red + redCharacters;
  }

  /// The name of the font `p` is set in (only for pieces with a font).
  std::u16string fontName(const Piece& p) const;

 private:
  struct Direction;
  static std::shared_ptr<const Direction> stage(Encoding from, Encoding to, const conv::Options& options);
  static std::shared_ptr<const Direction> makeStage(Encoding from, Encoding to, const TableSource& source);
  void toUnicode(const Direction& d, const std::vector<SourceChar>& chars, std::vector<Piece>& out, std::uint64_t offset);
  void fromUnicode(const Direction& d, const std::vector<SourceChar>& chars, std::optional<Encoding> keepFont,
                   std::vector<Piece>& out, std::uint64_t offset);
  void red(std::u16string_view text, std::uint64_t offset);

  std::vector<std::shared_ptr<const Direction>> stages_;
  std::u16string family_;
  std::u16string error_;
  conv::Stats stats_;
};

/// A list label converted. A label has a single formatting, so it is written
/// converted only when one target font draws all of it; one that would need
/// several (Sambhota glyphs of two fonts), or holds a character that cannot
/// be converted, is kept as it was and is red (and counted so).
struct Label {
  std::vector<std::u16string> text;  ///< the converted text, per origin of the characters given
  std::optional<Piece> font;         ///< the target font (font and samFont) when it is converted
  bool red = false;
  std::size_t sources = 0;  ///< characters drawn in a font of the source encoding
};
/// Converts the characters of a label (the places of its numbers among
/// them, not source, so that they end a unit as the numbers do).
Label convertLabel(TextConverter& converter, const std::vector<SourceChar>& chars, std::uint64_t offset);

}  // namespace yig::docs::docx
