#pragma once
// The seven Tibetan encodings the program converts between, in one place: their
// codes and names, how a font name is recognised as belonging to one, the font
// a conversion writes for each, and the table each uses. The engine, the
// conversion panel, the command-line tool, batch runs, the encoding guess and
// the documents library all read this registry.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace yig {

/// In the conversion panel's order: the source choices carry these indexes.
enum class Encoding : std::uint8_t { BZD = 0, TY = 1, FZ = 2, HG = 3, HIMA = 4, SAM = 5, HKA = 6 };

inline constexpr std::size_t kEncodingCount = 7;

struct EncodingInfo {
  Encoding id;
  std::u16string_view code;          ///< "BZD", "HIMA", ...
  std::u16string_view chineseName;   ///< the conversion panel's caption
  std::u16string_view tibetanName;   ///< the same in Tibetan
  /// The source font list the conversion panel shows for it: ";"-separated
  /// name parts as they stand in an RTF font table (GBK names as byte escapes).
  std::u16string_view sourceFontList;
  std::u16string_view targetFontName;  ///< the font converted text is set in (SAM: the family's first font)
  int targetCharset;                   ///< \fcharset of that font: 134 (GBK), 0 or 2 (symbol)
  std::string_view table;              ///< the mapping table's resource name; empty for HIMA
  std::u16string_view missingMessage;  ///< shown when a document holds none of its text
  bool national;                       ///< one of the national-standard (GBK) font encodings
};

/// All seven, in the panel's order (index = static_cast<int>(Encoding)).
const std::array<EncodingInfo, kEncodingCount>& encodings();

inline const EncodingInfo& info(Encoding e) { return encodings()[static_cast<std::size_t>(e)]; }

/// The encoding of a code, in any letter case ("bzd", "Hima").
std::optional<Encoding> encodingFromCode(std::u16string_view code);
std::optional<Encoding> encodingFromCode(std::string_view code);

/// The encoding a font draws, by its name as a font table gives it (decoded
/// to Unicode): any letter case, blanks around it, a " (Body CS)"-style
/// suffix. Nothing for fonts of no Tibetan encoding.
std::optional<Encoding> encodingOfFontName(std::u16string_view name);

/// True when `name` (as above) is a font of a national-standard encoding, whose
/// font-table entry carries \fcharset134.
bool isNationalFontName(std::u16string_view name);

/// The Sambhota fonts: thirty per family, Dedris and Ededris.
inline constexpr std::size_t kSambhotaFontsPerFamily = 30;
inline constexpr std::array<std::string_view, kSambhotaFontsPerFamily> kSambhotaSuffixes = {
    "a", "a1", "a2", "a3", "b", "b1", "b2", "b3", "c", "c1", "c2", "c3", "d",    "d1",  "d2",
    "d3", "e", "e1", "e2", "e3", "f", "f1", "f2", "f3", "g", "g1", "g2", "g3", "syma", "vowa"};

/// The index (0..29) of a Sambhota font name's suffix within its family
/// ("Dedris-a1", "ededris-vowa"); nothing for other names.
std::optional<std::size_t> sambhotaFontIndex(std::u16string_view name);

/// "Dedris" only for exactly that text, else "Ededris" (the panel's family box).
std::string_view sambhotaFamilyName(std::u16string_view familyChoice);

}  // namespace yig
