#pragma once
// The Tibetan-encoding guess for a plain text: which encoding family its first
// 500 characters are written in, and the font that shows it.
#include <optional>
#include <string_view>

namespace yig::rt {
class Document;
}

namespace yig::docs {

class DocumentHost;

/// One row of the guess: the encoding, the font set for it, and the index of
/// its source-encoding choice.
struct EncodingGuess {
  std::u16string_view code;      ///< EncodingCode: "HKA", "HIMA", "HG", "FZ", "TY", "BZD"
  std::u16string_view fontName;  ///< "Microsoft Himalaya", "A-Tibetan", ...
  int sourceIndex;               ///< 6, 4, 3, 2, 1, 0
  int fontCharset;               ///< 134 for the national-standard fonts, HKA's included; 0 otherwise
  friend bool operator==(const EncodingGuess&, const EncodingGuess&) = default;
};

/// How many leading characters the guess examines.
inline constexpr std::size_t kGuessPrefixLength = 500;

/// The guess for `text`, from its first 500 characters: at each position in
/// turn, a private-use character U+F300..U+F8FE gives HKA, a Tibetan character
/// U+0F00..U+0FCE HIMA; else "娥" anywhere in the prefix gives HG, "＃" FZ; a
/// character whose code page 936 code has a trail byte below 0xA0 gives TY; "︽"
/// or "﹀" gives BZD. Nothing when no character decides.
std::optional<EncodingGuess> guessEncoding(std::u16string_view text);

/// The encoding whose fonts carry the most characters (blanks and line ends
/// not counted) of a rich-text document, the way its author marked it.
/// Nothing when no run is in a font of one of the encodings.
std::optional<EncodingGuess> guessEncodingFromFonts(const rt::Document& doc);

/// The guess applied: on a decision the font box shows the font, the whole
/// editor is set in it, and the source choice is selected. Leaves everything
/// as it was (the caret included) when nothing decides.
std::optional<EncodingGuess> GuessTibetanEncoding(DocumentHost& host, std::u16string_view text);

}  // namespace yig::docs
