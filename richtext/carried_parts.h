#pragma once
// Notes (footnotes, endnotes), headers and footers as the editor carries them:
// a note is an object character whose object holds the whole "{\footnote ...}"
// group; a header or footer is a "{\header ...}" group in the document's
// header (before the first paragraph), inside a paragraph's opening, or,
// inside a paragraph, an object character of its own.
//
// Their content is edited as a document of its own: partContentRtf() gives it
// as RTF written on the main document's font and colour tables (so that font
// and colour numbers mean the same in both), and applyPartEdit() puts the
// edited document back into the group, keeping the group's own words (the
// destination, \ftnalt) and the note's reference mark (\chftn, or the group
// around it) as they were. Fonts and colours the edit used that the main
// document's tables lack are added to them.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "richtext/document.h"

namespace yig::rt {

enum class PartKind : std::uint8_t { None, Note, Header, Footer };

/// What a carried group is, from its destination word ("{\footnote", "{\*\footnote", "{\headerl"...).
PartKind partKindOf(std::string_view group);
/// The group's destination word ("footnote", "header", "headerf", "footerl"...); empty for none.
std::string_view partWord(std::string_view group);

/// Where a note, header or footer stands in a document.
struct PartRef {
  enum class Place : std::uint8_t {
    Object,   ///< an object character's own bytes (a note)
    Opening,  ///< the opening a paragraph mark carries
    Header,   ///< the document's header, before the first paragraph
  };
  /// Object, Opening: the unit whose object carries it, length() for the last
  /// paragraph's opening; Header: 0 between the font and colour tables, 1 after them.
  std::size_t unit = 0;
  Place place = Place::Object;
  std::size_t offset = 0;   ///< the group's bytes within that text
  std::size_t size = 0;
  int unicodeSkip = 1;      ///< the \ucN in effect where the group stands
  PartKind kind = PartKind::None;
  std::string word;         ///< the destination word
  int section = 1;          ///< the section it belongs to, counted from 1
  bool endnote = false;     ///< a note given as \footnote\ftnalt
};

/// The note whose object character is at `unit`, if there is one.
std::optional<PartRef> noteAt(const Document& doc, std::size_t unit);
/// The headers and footers the document carries, in document order.
std::vector<PartRef> headersAndFooters(const Document& doc);
/// The bytes of the group `ref` names (empty when `ref` no longer fits the document).
std::string_view partBytes(const Document& doc, const PartRef& ref);

/// The group's content as a whole RTF document on `doc`'s tables, starting in
/// the look the content has where it stands. Nothing when it cannot be edited
/// (no carried tables, a group whose braces do not close where it ends).
std::optional<std::string> partContentRtf(const Document& doc, const PartRef& ref);
/// Replaces the content of the group `ref` names by `edited` (read from
/// partContentRtf()'s RTF, then edited) and adds the fonts and colours new to
/// `doc`'s tables. False, with `doc` unchanged, when the group cannot be edited.
bool applyPartEdit(Document& doc, const PartRef& ref, const Document& edited);
/// The plain text of a group's content (paragraphs as line breaks), for a tooltip.
std::u16string partText(const Document& doc, const PartRef& ref);

}  // namespace yig::rt
