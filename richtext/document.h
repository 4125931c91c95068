#pragma once
// The rich-text document: the editor's content and the engine's work area.
//
// Text is held as UTF-16 code units. A paragraph break is one unit, u'\r', in
// every position and length below (as a rich-edit control counts it); plainText()
// writes it as CR LF. Each character carries a character format; formats are
// shared through a small pool, so a run of like characters costs one index each.
//
// RTF goes in and out as bytes (std::string): the writer produces 7-bit RTF
// (Unicode as \uN?, characters of code page 936 fonts as \'xx byte escapes).
//
// A line break inside a paragraph (\line) is the unit u'\v'; plainText() and
// selectedText() write it as CR LF too. A tab is u'\t'.
//
// What the editor does not show is carried, so that a document read and
// written again keeps it:
// - the document's header (font and colour tables with their numbering, style
//   sheet, list tables, information, page setup) as it came (CarriedHeader);
// - character properties the model does not name (language, associated fonts
//   \af/\rtlch/\loch..., character style, super- and subscript, highlight...)
//   in CharFormat::extra;
// - pictures, footnotes, fields, headers and footers, bookmarks and every other
//   group of the body as an object character (U+FFFC) holding the group's bytes;
// - paragraph, section and table-row properties (\pard\qc\li720, \sectd...,
//   \trowd\cellx...) that open a paragraph with the mark that ends it (an
//   object of kind Break on the u'\r' unit; the last paragraph's in
//   finalParagraphLead()); such words inside a paragraph as an object character;
// - the mark that ended a cell, row or section: a cell is the unit u'\t' and a
//   row or section end the unit u'\r', each with an object naming its word.
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace yig::rt {

namespace detail {
class RtfReader;
class RtfWriter;
}  // namespace detail

struct Color {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Color&, const Color&) = default;
};

/// A font as the RTF font table names it.
struct Font {
  std::u16string name;           ///< "Microsoft Himalaya", u"宋体", "BZDBT"
  int charset = 0;               ///< \fcharsetN: 0 ANSI (1252), 134 GB2312/GBK (code page 936), 2 symbol, ...
  std::string family = "fnil";   ///< the family control word without its backslash: fnil, froman, fswiss, fmodern, ...
  int pitch = -1;                ///< \fprqN, -1 when not given
  friend bool operator==(const Font&, const Font&) = default;
};

/// Something of the document the editor carries without showing it as text.
struct EmbeddedObject {
  enum class Kind : std::uint8_t {
    Marks,     ///< control words without text (paragraph, section, row properties)
    Break,     ///< the word that ended a paragraph, cell, row or section ("\par", "\cell", "\row", "\sect")
    Group,     ///< a group the editor does not show (bookmark, header, footer, unknown)
    Picture,   ///< \pict, \shppict, \object
    Footnote,  ///< \footnote (also endnotes)
    Field,     ///< \field: shown as its result text
    ListText,  ///< \listtext, \pntext: a list item's number or bullet as text
  };
  Kind kind = Kind::Group;
  std::string rtf;        ///< the bytes as they stood in the document
  std::u16string shown;   ///< the text it shows (field result, footnote text), for display
  int unicodeSkip = 1;    ///< the \ucN in effect where it stood
  /// Break: the words that opened the paragraph it ends (\pard\qc\li720, \trowd...).
  std::string lead;
};

/// Formatting of one character.
struct CharFormat {
  Font font;
  int sizeHalfPoints = 24;            ///< \fsN
  std::optional<Color> color;         ///< nothing = automatic colour (\cf0)
  bool bold = false, italic = false, underline = false, strike = false;
  /// Character control words the model does not name, as written ("\lang1033\super").
  std::string extra;
  /// The object this character stands for (U+FFFC, or a cell or row mark); compared by identity.
  std::shared_ptr<const EmbeddedObject> object;
  friend bool operator==(const CharFormat&, const CharFormat&) = default;
};

/// The header of a document read from RTF, written back as it came: fonts and
/// colours keep their numbers, so that carried groups still name the right ones.
struct CarriedHeader {
  struct FontEntry {
    int number = 0;
    Font font;
    bool inTable = true;  ///< written by fontTable; false: added later, written from `font`
  };
  std::string beforeFonts;    ///< from after "\rtf1" to the font table
  std::string fontTable;      ///< the font table's content, without "{\fonttbl" and "}"
  std::vector<FontEntry> fonts;
  std::string betweenTables;  ///< from after the font table to the colour table (or to the body)
  bool hasColorTable = false;
  std::string colorTable;     ///< the colour table's content, without "{\colortbl" and "}"
  std::vector<std::optional<Color>> colors;  ///< entry 0 (automatic) first
  std::size_t colorsInTable = 0;             ///< entries of `colors` that colorTable holds
  std::string afterColors;    ///< from after the colour table to the body
};

/// Hash of a character format, for the format pool.
struct CharFormatHash {
  std::size_t operator()(const CharFormat& f) const noexcept;
};
/// Selection attributes: each field is empty when the selection mixes values.
struct SelectionFormat {
  std::optional<std::u16string> fontName;
  std::optional<int> fontCharset;
  std::optional<int> sizeHalfPoints;
  std::optional<std::optional<Color>> color;  ///< outer empty = mixed; inner empty = automatic
  std::optional<bool> bold, italic, underline, strike;
};

/// A request to change selection attributes: only the fields given are applied.
struct FormatChange {
  std::optional<Font> font;
  std::optional<int> sizeHalfPoints;
  std::optional<std::optional<Color>> color;
  std::optional<bool> bold, italic, underline, strike;
};

/// Outcome of reading RTF.
struct ReadResult {
  bool ok = true;              ///< false: the input was not RTF at all (nothing was changed)
  std::string error;           ///< why, when !ok; a note on what was repaired otherwise
};

class Document {
 public:
  Document();

  // --- whole content -------------------------------------------------------
  /// Replaces the whole content by the document the RTF describes. Malformed RTF
  /// gives a best-effort document; input that is not RTF gives ok == false and
  /// leaves the document unchanged. RTF is text that begins, after blanks and
  /// line breaks, with "{\rtf", possibly inside more groups ("{{\rtf1...}}").
  ///
  /// The last paragraph mark ends the last paragraph and adds no empty one when
  /// only closing braces, line breaks and ignorable groups follow it
  /// ("x\par }" and "x\par\r\n}" both read as "x"). Text without a font of its
  /// own takes the default format's font.
  ReadResult setRtf(std::string_view rtf);
  /// The whole document as RTF, in the canonical form the engine expects:
  /// header, optional colour table, "\viewkind4\uc1\pard", the runs, and the
  /// final paragraph mark as "\par }" + CR LF. A document that ends with an
  /// empty paragraph writes "\par" CR LF "\pard" before it, so that cutting
  /// the RTF before its last "\par }" keeps that paragraph.
  std::string rtf() const;
  /// Replaces the content by plain text in the default format (CR LF, LF or CR end a paragraph).
  void setText(std::u16string_view text);
  /// The plain text, paragraphs separated by CR LF.
  std::u16string plainText() const;
  /// Number of code units (paragraph breaks count one).
  std::size_t length() const;
  void clear();

  // --- selection -----------------------------------------------------------
  std::size_t selStart() const { return selStart_; }
  std::size_t selLength() const { return selLength_; }
  /// Clamps to the document.
  void select(std::size_t start, std::size_t length);
  /// The selected text, paragraph breaks as CR LF.
  std::u16string selectedText() const;
  /// The selection as a whole RTF document.
  std::string selectionRtf() const;
  /// Replaces the selection by the content of an RTF document; the caret ends
  /// after the inserted text. A final paragraph mark right before the closing
  /// brace does not add a paragraph break.
  ReadResult replaceSelectionRtf(std::string_view rtf);
  /// Replaces the selection by plain text in the format at the caret.
  void replaceSelectionText(std::u16string_view text);

  SelectionFormat selectionFormat() const;
  void applyFormat(const FormatChange& change);

  /// The format new text gets in an empty document.
  const CharFormat& defaultFormat() const { return default_; }
  void setDefaultFormat(const CharFormat& format) { default_ = format; }

  // --- raw access for the GUI bridge and for tests ------------------------
  std::u16string_view text() const { return text_; }
  /// Format of the character at `pos` (the default format past the end).
  const CharFormat& formatAt(std::size_t pos) const;
  /// Distinct runs: [start, end) with one format each. The format pointers stay
  /// valid until the document is cleared or its content replaced as a whole.
  struct Run {
    std::size_t start, end;
    const CharFormat* format;
  };
  std::vector<Run> runs() const;
  /// Appends text in the given format (used by readers and the GUI bridge).
  void append(std::u16string_view text, const CharFormat& format);

  /// The header carried from the RTF last read; null for a document made here.
  const std::shared_ptr<const CarriedHeader>& carriedHeader() const { return header_; }
  /// The words that opened the last paragraph (which has no mark to carry them).
  const std::string& finalParagraphLead() const { return finalLead_; }
  void setFinalParagraphLead(std::string lead) { finalLead_ = std::move(lead); }
  void setCarriedHeader(std::shared_ptr<const CarriedHeader> header) { header_ = std::move(header); }
  /// Gives the unit at `pos` another object (its format otherwise unchanged); nothing past the end.
  void setObjectAt(std::size_t pos, std::shared_ptr<const EmbeddedObject> object);

 private:
  friend class detail::RtfReader;
  friend class detail::RtfWriter;

  std::uint32_t internFormat(const CharFormat& f);
  /// The format text typed at the caret gets.
  CharFormat caretFormat() const;
  void replaceRange(std::size_t start, std::size_t length, std::u16string_view text,
                    const std::vector<std::uint32_t>& formats);
  void resetPool();
  void mergeHeader(const std::shared_ptr<const CarriedHeader>& incoming, ReadResult& result);

  std::u16string text_;
  std::vector<std::uint32_t> formatIndex_;  // one per code unit of text_
  std::deque<CharFormat> formats_;  // deque: pointers handed out by runs() survive growth
  std::unordered_map<CharFormat, std::uint32_t, CharFormatHash> formatLookup_;
  CharFormat default_;
  std::shared_ptr<const CarriedHeader> header_;
  std::string finalLead_;
  std::size_t selStart_ = 0, selLength_ = 0;
  // Format chosen with applyFormat() on an empty selection: applies to text
  // typed at the caret until the selection or the content changes.
  std::optional<CharFormat> pendingCaretFormat_;
};

}  // namespace yig::rt
