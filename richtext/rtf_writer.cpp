// RTF writer: the canonical form a Windows rich-edit control writes, which the
// conversion engine takes apart as a string.
//
//   {\rtf1\ansi\ansicpg936\deff0\deflang1033\deflangfe2052{\fonttbl{\f0\fnil\fcharset0 Name;}...}CRLF
//   {\colortbl ;\red255\green0\blue0;}CRLF          (only when a colour is used)
//   \viewkind4\uc1\pard\f0\fs48 text\par CRLF ... text\par }CRLF
//   (a document ending with an empty paragraph: ...\par CRLF\pard\par }CRLF)
//
// Rules the engine depends on: fonts are numbered from 0 in order of first use
// and switched with "\f" + digits; every font entry has one blank before its
// name; the colour table is the last group before \viewkind4; the body holds
// no other control word starting with "f" than \fN and \fsN; Unicode is
// "\uN?" with N as a signed 16-bit number; characters of code page 936 fonts
// that code page 936 can encode are written as their GBK byte escapes.
//
// A document read with a header worth carrying (a style sheet, page setup,
// pictures, footnotes, tables...) is written with that header instead: its font
// and colour tables keep their numbering, fonts and colours new to it are added
// at their ends, and the body's carried objects are written as they came.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/codec/cp936.h"
#include "richtext/rtf_io.h"
#include "richtext/rtf_lexer.h"

namespace yig::rt::detail {
namespace {

constexpr int kGbkCharset = 134;
constexpr char kHex[] = "0123456789abcdef";

// GBK code of every UTF-16 unit: 0 = none, below 0x100 = one byte, else lead << 8 | trail.
const std::vector<std::uint16_t>& gbkCodes() {
  static const std::vector<std::uint16_t> table = [] {
    std::vector<std::uint16_t> t(0x10000, 0);
    for (std::uint32_t c = 0x80; c < 0x10000; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      const auto bytes = cp936::encodeChar(static_cast<char16_t>(c));
      if (!bytes) continue;
      if (bytes->size() == 1) {
        t[c] = static_cast<std::uint8_t>((*bytes)[0]);
      } else if (bytes->size() == 2) {
        t[c] = static_cast<std::uint16_t>(static_cast<std::uint8_t>((*bytes)[0]) << 8 |
                                          static_cast<std::uint8_t>((*bytes)[1]));
      }
    }
    return t;
  }();
  return table;
}

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Whether carried words only stand for characters of their own (a note's
// number, the page number, the date) and leave the character state as it was.
// After other words (\plain, \pard...) the next run states its format again.
// A footnote's number must stay right before its note: LibreOffice takes
// formatting words between them for a mark of the note's own.
bool onlySuppliedCharacters(std::string_view marks) {
  rtf::Lexer lexer(marks);
  for (rtf::Token t = lexer.next(); t.kind != rtf::TokenKind::End; t = lexer.next()) {
    if (t.kind == rtf::TokenKind::Text && t.bytes.find_first_not_of(" \r\n") == std::string_view::npos) continue;
    if (t.kind != rtf::TokenKind::ControlWord || t.hasParam || !rtf::isSuppliedCharacterWord(t.name)) {
      return false;
    }
  }
  return true;
}

void appendByteEscape(std::string& out, unsigned byte) {
  const char escape[4] = {'\\', '\'', kHex[(byte >> 4) & 0xF], kHex[byte & 0xF]};
  out.append(escape, 4);
}

void appendUnicodeEscape(std::string& out, char16_t c) {
  char buffer[12] = {'\\', 'u'};
  const int value = c < 0x8000 ? int{c} : int{c} - 0x10000;
  char* end = std::to_chars(buffer + 2, buffer + sizeof buffer - 1, value).ptr;
  *end++ = '?';
  out.append(buffer, static_cast<std::size_t>(end - buffer));
}

void appendNumber(std::string& out, long value) {
  char buffer[24];
  char* end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  out.append(buffer, static_cast<std::size_t>(end - buffer));
}

// Writes a character, in a font of the given charset, as 7-bit RTF text.
void appendFontNameChar(std::string& out, char16_t c, int charset) {
  if (c == '\\' || c == '{' || c == '}') {
    out.push_back('\\');
    out.push_back(static_cast<char>(c));
  } else if (c == ';') {
    appendByteEscape(out, ';');  // a bare ';' would end the name
  } else if (c >= 0x20 && c < 0x7F) {
    out.push_back(static_cast<char>(c));
  } else if (charset == kGbkCharset && c >= 0x80 && gbkCodes()[c] != 0) {
    const std::uint16_t code = gbkCodes()[c];
    if (code > 0xFF) appendByteEscape(out, code >> 8);
    appendByteEscape(out, code & 0xFF);
  } else {
    appendUnicodeEscape(out, c);
  }
}

// True when the control words `words` hold \<name> (with or without a number).
bool hasWord(std::string_view words, std::string_view name) {
  for (std::size_t at = words.find(name); at != std::string_view::npos; at = words.find(name, at + 1)) {
    const std::size_t end = at + name.size();
    if (at > 0 && words[at - 1] == '\\' && (end == words.size() || !isAsciiLetter(words[end]))) return true;
  }
  return false;
}

// The family control word as read, when it is one (letters only); else \fnil.
std::string_view familyWord(const std::string& family) {
  if (family.empty() || family.size() > 32) return "fnil";
  for (char c : family) {
    if (!isAsciiLetter(c)) return "fnil";
  }
  return family;
}

}  // namespace

std::string RtfWriter::write(const Document& doc, std::size_t start, std::size_t end, std::size_t* bodyAt) {
  const std::u16string& text = doc.text_;
  const std::vector<std::uint32_t>& index = doc.formatIndex_;
  const auto& pool = doc.formats_;

  // The format the body starts with: that of the first character that is not a
  // paragraph mark (paragraph marks carry no visible format), else the first.
  const CharFormat* initial = nullptr;
  for (std::size_t i = start; i < end && !initial; ++i) {
    if (text[i] != u'\r') initial = &pool[index[i]];
  }
  if (!initial) initial = start < end ? &pool[index[start]] : &doc.formatAt(start);

  // Number fonts and colours in order of first use.
  struct FontHash {
    std::size_t operator()(const Font* f) const noexcept {
      return std::hash<std::u16string>{}(f->name) ^ (static_cast<std::size_t>(f->charset) << 1) ^
             std::hash<std::string>{}(f->family) ^ ((static_cast<std::size_t>(f->pitch) + 1) << 9);
    }
  };
  struct FontEqual {
    bool operator()(const Font* a, const Font* b) const noexcept { return *a == *b; }
  };
  const CarriedHeader* header = doc.header_.get();
  std::vector<const Font*> fonts;  // fonts written from their description
  std::vector<int> addedFontNumbers;  // their numbers
  std::unordered_map<const Font*, int, FontHash, FontEqual> fontNumbers;
  std::vector<Color> colors;       // colours written from their values, numbered from firstColor
  std::unordered_map<std::uint32_t, int> colorNumbers;
  std::int64_t nextFont = 0;
  int firstColor = 1;
  if (header) {
    // The carried tables keep their numbers; the lowest number of a font given twice wins.
    for (const CarriedHeader::FontEntry& entry : header->fonts) {
      fontNumbers.try_emplace(&entry.font, entry.number);
      nextFont = std::max(nextFont, std::int64_t{entry.number} + 1);
    }
    for (std::size_t n = 1; n < header->colors.size(); ++n) {
      if (!header->colors[n]) continue;
      const Color& c = *header->colors[n];
      colorNumbers.try_emplace(std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b, static_cast<int>(n));
    }
    firstColor = static_cast<int>(std::max<std::size_t>(header->colors.size(), 1));
  }
  constexpr int kUnset = -2;
  std::vector<int> fontOf(pool.size(), kUnset), colorOf(pool.size(), kUnset);
  // Fonts new to a carried table are numbered after its highest number or,
  // where that is the highest number there is, with the lowest it leaves free.
  std::vector<int> carriedNumbers;
  int freeFont = 0;
  auto newFontNumber = [&] {
    if (nextFont <= std::numeric_limits<int>::max()) return static_cast<int>(nextFont++);
    if (carriedNumbers.empty()) {
      for (const CarriedHeader::FontEntry& entry : header->fonts) carriedNumbers.push_back(entry.number);
      std::sort(carriedNumbers.begin(), carriedNumbers.end());
    }
    while (std::binary_search(carriedNumbers.begin(), carriedNumbers.end(), freeFont)) ++freeFont;
    return freeFont++;
  };
  auto fontNumber = [&](const Font& font) {
    const auto [it, added] = fontNumbers.try_emplace(&font, 0);
    if (added) {
      it->second = newFontNumber();
      fonts.push_back(&font);
      addedFontNumbers.push_back(it->second);
    }
    return it->second;
  };
  auto colorNumber = [&](const std::optional<Color>& color) {
    if (!color) return 0;
    const std::uint32_t key = std::uint32_t{color->r} << 16 | std::uint32_t{color->g} << 8 | color->b;
    const auto [it, added] = colorNumbers.try_emplace(key, firstColor + static_cast<int>(colors.size()));
    if (added) colors.push_back(*color);
    return it->second;
  };
  const int initialFont = fontNumber(initial->font);
  const int initialColor = colorNumber(initial->color);
  {
    std::uint32_t previous = UINT32_MAX;
    for (std::size_t i = start; i < end; ++i) {
      const std::uint32_t f = index[i];
      if (f == previous || text[i] == u'\r') continue;
      previous = f;
      if (fontOf[f] == kUnset) {
        fontOf[f] = fontNumber(pool[f].font);
        colorOf[f] = colorNumber(pool[f].color);
      }
    }
  }

  std::string out;
  out.reserve(256 + (end - start) * 8);
  auto fontEntry = [&out, header](long number, const Font& font) {
    // A carried header may have set \ucN; names are written with one fallback.
    out += header ? "{\\uc1\\f" : "{\\f";
    appendNumber(out, number);
    out += '\\';
    out += familyWord(font.family);
    if (font.pitch >= 0) {
      out += "\\fprq";
      appendNumber(out, font.pitch);
    }
    out += "\\fcharset";
    appendNumber(out, font.charset);
    out += ' ';
    for (char16_t c : font.name) appendFontNameChar(out, c, font.charset);
    out += ";}";
  };
  auto colorEntry = [&out](const std::optional<Color>& c) {
    if (c) {
      out += "\\red";
      appendNumber(out, c->r);
      out += "\\green";
      appendNumber(out, c->g);
      out += "\\blue";
      appendNumber(out, c->b);
    }
    out += ';';
  };
  if (header) {
    out += "{\\rtf1";
    out += header->beforeFonts;
    out += "{\\fonttbl";
    out += header->fontTable;
    for (const CarriedHeader::FontEntry& entry : header->fonts) {
      if (!entry.inTable) fontEntry(entry.number, entry.font);
    }
    for (std::size_t n = 0; n < fonts.size(); ++n) fontEntry(addedFontNumbers[n], *fonts[n]);
    out += '}';
    out += header->betweenTables;
    const bool moreColors = !colors.empty() || header->colors.size() > std::max<std::size_t>(header->colorsInTable, 1);
    if (header->hasColorTable || moreColors) {
      out += "{\\colortbl";
      std::size_t next = 1;
      if (header->hasColorTable) {
        out += header->colorTable;
        next = std::max<std::size_t>(header->colorsInTable, 1);
        // A last entry the table did not end with ';' was still an entry: end
        // it, so that the colours added after it keep their numbers.
        const std::string_view table(header->colorTable);
        const std::size_t lastEnd = table.rfind(';');
        const std::string_view tail = lastEnd == std::string_view::npos ? table : table.substr(lastEnd + 1);
        if (hasWord(tail, "red") || hasWord(tail, "green") || hasWord(tail, "blue")) out += ';';
      } else {
        out += " ;";
      }
      for (; next < header->colors.size(); ++next) colorEntry(header->colors[next]);
      for (const Color& c : colors) colorEntry(c);
      out += '}';
    }
    out += header->afterColors;
    if (bodyAt) *bodyAt = out.size();
    out += "\r\n\\uc1\\pard";
  } else {
    out += "{\\rtf1\\ansi\\ansicpg936\\deff0\\deflang1033\\deflangfe2052{\\fonttbl";
    for (std::size_t n = 0; n < fonts.size(); ++n) fontEntry(addedFontNumbers[n], *fonts[n]);
    out += "}\r\n";
    if (!colors.empty()) {
      out += "{\\colortbl ;";
      for (const Color& c : colors) colorEntry(c);
      out += "}\r\n";
    }
    if (bodyAt) *bodyAt = out.size();
    out += "\\viewkind4\\uc1\\pard";
  }

  // What the reader has in effect at this point of the body.
  int curFont = -1, curSize = -1, curColor = 0;
  bool curBold = false, curItalic = false, curUnderline = false, curStrike = false;
  const std::string* curExtra = nullptr;  // null: none written
  // After carried paragraph words (\pard, \sN...) the character words are
  // written again: readers may take a style's look from \sN.
  bool restate = false;
  std::uint32_t previous = UINT32_MAX;
  // A control word was just written: the next character may need a blank to end it.
  bool wordOpen = false;
  bool fontWordOpen = false;

  auto word = [&](std::string_view w) {
    out += w;
    wordOpen = true;
    fontWordOpen = false;
  };
  auto wordNumber = [&](std::string_view w, long n) {
    out += w;
    appendNumber(out, n);
    wordOpen = true;
    fontWordOpen = w == "\\f";
  };
  // Before a literal character: a blank ends an open control word when the
  // character would otherwise continue it. After a font switch the blank is
  // written before any text, since the engine takes "\fN" as a font switch only
  // when a blank or a backslash follows it.
  auto beforeText = [&](char c) {
    if (wordOpen && (fontWordOpen || isAsciiLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == ' ')) {
      out += ' ';
    }
    wordOpen = fontWordOpen = false;
  };
  auto switchTo = [&](const CharFormat& f, int font, int color) {
    const bool extraChanged = restate || (curExtra ? *curExtra != f.extra : !f.extra.empty());
    restate = false;
    if (extraChanged) {
      // \plain clears the old extras; the new ones go first, since words like
      // \rtlch and \loch decide which slot the \fN after them sets.
      word("\\plain");
      // LibreOffice keeps a superscript (a footnote's mark) past \plain and then
      // takes the paragraph's end for part of it; \nosupersub ends it for sure.
      if (curExtra && (hasWord(*curExtra, "super") || hasWord(*curExtra, "sub"))) word("\\nosupersub");
      out += f.extra;
      curExtra = &f.extra;
      curFont = curSize = -1;
      curColor = 0;
      curBold = curItalic = curUnderline = curStrike = false;
    }
    if (font != curFont) {
      wordNumber("\\f", font);
      curFont = font;
    }
    if (f.sizeHalfPoints != curSize) {
      wordNumber("\\fs", f.sizeHalfPoints);
      curSize = f.sizeHalfPoints;
    }
    if (color != curColor) {
      wordNumber("\\cf", color);
      curColor = color;
    }
    if (f.bold != curBold) word((curBold = f.bold) ? "\\b" : "\\b0");
    if (f.italic != curItalic) word((curItalic = f.italic) ? "\\i" : "\\i0");
    if (f.underline != curUnderline) word((curUnderline = f.underline) ? "\\ul" : "\\ulnone");
    if (f.strike != curStrike) word((curStrike = f.strike) ? "\\strike" : "\\strike0");
  };

  // The words that open the paragraph starting at `i`, carried by its end mark.
  const std::u16string_view all(text);
  auto writeLead = [&](std::size_t i) {
    if (!header) return;  // only a document read with something to carry has openings
    const std::size_t mark = all.find(u'\r', i);
    const std::string* lead = nullptr;
    if (mark == std::u16string_view::npos) {
      if (end == text.size()) lead = &doc.finalLead_;
    } else if (const EmbeddedObject* o = pool[index[mark]].object.get()) {
      lead = &o->lead;
    }
    if (!lead || lead->empty()) return;
    out += *lead;
    restate = true;
    previous = UINT32_MAX;
    const char last = out.back();
    wordOpen = isAsciiLetter(last) || (last >= '0' && last <= '9');
    fontWordOpen = false;
  };
  writeLead(start);
  switchTo(*initial, initialFont, initialColor);
  const std::vector<std::uint16_t>& gbk = gbkCodes();
  bool gbkFont = initial->font.charset == kGbkCharset;
  for (std::size_t i = start; i < end; ++i) {
    const char16_t c = text[i];
    // Objects stand on object characters, cell marks and paragraph marks only.
    const EmbeddedObject* object = (c < 0x20 || c == 0xFFFC) ? pool[index[i]].object.get() : nullptr;
    if (c == u'\r') {
      // After the mark of the last, empty paragraph a \pard keeps that mark
      // from being taken for the final one when the RTF is cut before its "\par }".
      out += object ? std::string_view(object->rtf) : std::string_view("\\par");
      // (A carried document uses \plain: a \pard there would read back as the
      // opening of the empty paragraph.)
      out += i + 1 == end ? (header ? "\r\n\\plain" : "\r\n\\pard") : "\r\n";
      wordOpen = fontWordOpen = false;
      if (i + 1 < end) writeLead(i + 1);
      continue;
    }
    const std::uint32_t f = index[i];
    if (f != previous) {
      previous = f;
      switchTo(pool[f], fontOf[f], colorOf[f]);
      gbkFont = pool[f].font.charset == kGbkCharset;
    }
    if (object) {
      const bool wrap = object->unicodeSkip != 1 && !object->rtf.empty() && object->rtf.front() == '{';
      if (wrap) {
        out += "{\\uc";
        appendNumber(out, object->unicodeSkip);
      }
      out += object->rtf;
      if (wrap) out += '}';
      if (object->kind == EmbeddedObject::Kind::Marks && !onlySuppliedCharacters(object->rtf)) {
        restate = true;
        previous = UINT32_MAX;
      }
      const char last = out.back();
      wordOpen = isAsciiLetter(last) || (last >= '0' && last <= '9');
      fontWordOpen = false;
      continue;
    }
    if (c >= 0x20 && c < 0x7F) {
      if (c == '\\' || c == '{' || c == '}') {
        out += '\\';
        wordOpen = fontWordOpen = false;
      } else {
        beforeText(static_cast<char>(c));
      }
      out += static_cast<char>(c);
    } else if (c == u'\t') {
      word("\\tab");
    } else if (c == u'\v') {
      word("\\line");
    } else if (gbkFont && c >= 0x80 && gbk[c] != 0) {
      const std::uint16_t code = gbk[c];
      if (code > 0xFF) appendByteEscape(out, code >> 8);
      appendByteEscape(out, code & 0xFF);
      wordOpen = fontWordOpen = false;
    } else {
      appendUnicodeEscape(out, c);
      wordOpen = fontWordOpen = false;
    }
  }
  // The empty last paragraph's opening; a copied range that ends with a
  // paragraph mark stops there (the next paragraph's opening is not copied).
  if (end > start && end == text.size() && text[end - 1] == u'\r') writeLead(end);
  out += "\\par }\r\n";
  return out;
}

}  // namespace yig::rt::detail
