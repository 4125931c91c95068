#pragma once
// Dictionary order of single Tibetan syllables, computed from their letters.
//
// The collation table ranks the syllables it lists; every other well-formed
// syllable gets its place from the key below, which follows the same rules
// as the generator of the table (tools/gen_px.py), so that the table and the
// computed keys never disagree:
//
//   root letter (alphabet order, each retroflex letter right after the letter
//   it mirrors), then the head (prefix and superscript together), the
//   subscripts, the vowel of the root stack, and last the letters after the
//   root stack one by one (a vowel on a following letter after every
//   consonant). Secondary marks, variant letters and the characters
//   themselves break the remaining ties.
//
// A combining grapheme joiner (U+034F) after the first letter files the
// syllable under that letter (ད͏མས under ད); a word joiner (U+2060) or a
// zero-width joiner (U+200D) after the second letter files it under the
// second (མང⁠ས under ང).
#include <string>
#include <string_view>

namespace yig::sorting {

/// The joiners that steer the reading of a syllable.
inline constexpr char16_t kGraphemeJoiner = u'\u034F';
inline constexpr char16_t kZeroWidthJoiner = u'\u200D';
inline constexpr char16_t kWordJoiner = u'\u2060';
inline bool isJoiner(char16_t c) { return c == kGraphemeJoiner || c == kZeroWidthJoiner || c == kWordJoiner; }

/// Canonical form of Tibetan text for comparison: precomposed letters and
/// vowels decomposed (U+0F43 -> U+0F42 U+0FB7, U+0F73 -> U+0F71 U+0F72, also
/// ཷ and ཹ), ༀ read as ཨོཾ, and runs of combining signs in canonical order.
/// Returns false and leaves `out` untouched when `text` is already in that form.
bool normalizeTibetan(std::u16string_view text, std::u16string& out);

/// The syllable's key: keys compare as strings in dictionary order. Empty when
/// the text is not one well-formed syllable: it must be a sequence of stacks,
/// each a letter, its subjoined letters, then vowel signs and other signs
/// (optionally after ༸ and before a closing ༌); a sign before any letter, a
/// subjoined letter after a vowel sign, an unassigned letter or one subjoined
/// letter three times running make it ill-formed.
std::u16string syllableKey(std::u16string_view syllable);

}  // namespace yig::sorting
