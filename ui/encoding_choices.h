#pragma once
// The conversion panel's encoding choices, the rules that pre-select a source
// encoding, and the font-size names. Plain data and functions, no widgets.
#include <QString>
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace yig::ui {

struct EncodingChoice {
  int sourceIndex;                  ///< 0..6; the target choice is sourceIndex + 10
  std::u16string_view code;         ///< EncodingCode
  std::u16string_view label;        ///< caption in the Chinese interface
  std::u16string_view sourceFonts;  ///< SourceFontList, exactly as the engine splits it
};

/// The seven rows, by source index, as the encoding registry gives them.
const std::array<EncodingChoice, 7>& encodingChoices();

/// True for the indexes of existing choices (0..6 and 10..16).
constexpr bool isChoiceIndex(int index) { return (index >= 0 && index <= 6) || (index >= 10 && index <= 16); }
/// The row of a source or target index.
const EncodingChoice& choiceRow(int index);

/// The source index of the encoding the registry recognises in the font at
/// the caret, or nothing.
std::optional<int> sourceFromFontName(const QString& fontName);

/// What the paste detection found in the first characters of pasted text.
struct PasteGuess {
  int sourceIndex;
  QString font;  ///< the font then applied to the whole document
};
/// Rules 3 to 8 of the paste detection, on the first `limit` characters.
std::optional<PasteGuess> guessFromPastedText(const QString& text, int limit = 500);

/// The traditional Chinese size names with their points, in list order.
struct SizeName {
  const char16_t* name;
  double points;
};
const std::array<SizeName, 16>& chineseSizeNames();
/// The numeric sizes listed after the names.
const std::array<const char16_t*, 18>& numericSizes();
/// The points a size-box text sets: a size name or a number; nothing otherwise.
std::optional<double> sizeTextToPoints(const QString& text);
/// "10.5", "24": the size box's text for a size.
QString pointsToSizeText(double points);

/// Grows (direction 1) or shrinks (direction 0) every "\fs" size of an RTF
/// document by a fifth. `betweenPieces` runs before each piece.
std::string scaleRtfFontSizes(std::string_view rtf, int direction, void (*betweenPieces)(void*) = nullptr,
                              void* context = nullptr);

}  // namespace yig::ui
