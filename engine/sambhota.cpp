// Sambhota conversions: Unicode Tibetan to and from the thirty Dedris/Ededris
// fonts, and the chains that pass through Unicode.
#include "engine/sambhota.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <unordered_map>

#include "engine/conversion_engine.h"
#include "engine/engine_internals.h"
#include "engine/rtf_pieces.h"
#include "richtext/document.h"

namespace yig {


namespace {

using rtfpieces::isDigit;

constexpr std::string_view kUnicodeFontEntry = "{\\f99\\fnil\\fcharset0 Microsoft Himalaya;}";

constexpr std::u16string_view kNoUnicodeTibetan = u"原文本中无Himalaya类型藏文基本集编码！";
constexpr std::u16string_view kNoSambhota = u"原文本中无桑布扎2.0编码！";
constexpr std::u16string_view kNoTable = u"找不到SAM转换表！";

// Narrows a font-list text to the bytes it takes in an RTF header: ASCII as it
// stands (other characters never occur in the lists this is used with).
std::string narrow(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char16_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

// Reports progress by the share of the body scanned, once per percent (and
// lets window events run then), so that a document of a million font switches
// does not call the host a million times.
class Progress {
 public:
  Progress(EngineHost& host, std::size_t total) : host_(host), total_(std::max<std::size_t>(1, total)) {
    host_.progressStarted();
  }
  ~Progress() {
    host_.setProgress(100);
    host_.progressStopped();
  }
  void at(std::size_t done) {
    if (done < next_) return;
    const int p = static_cast<int>(std::min<std::size_t>(100, done * 100 / total_));
    next_ = (static_cast<std::size_t>(p) + 1) * total_ / 100;
    if (p != last_) {
      last_ = p;
      host_.processEvents();
      host_.setProgress(p);
    }
  }

 private:
  EngineHost& host_;
  std::size_t total_;
  std::size_t next_ = 0;
  int last_ = -1;
};

// The position of the next "\\f" in `s` from `from`, or npos.
std::size_t findFontWord(std::string_view s, std::size_t from) {
  while (from < s.size()) {
    const void* hit = std::memchr(s.data() + from, '\\', s.size() - from);
    if (hit == nullptr) return std::string_view::npos;
    const std::size_t k = static_cast<std::size_t>(static_cast<const char*>(hit) - s.data());
    if (k + 1 < s.size() && s[k + 1] == 'f') return k;
    from = k + 1;
  }
  return std::string_view::npos;
}

// Calls `f(piece)` for the pieces of `body` cut at every "\\f" (each piece after
// the first begins with its "\\f"), without building a list of them.
template <class F>
void forEachPiece(std::string_view body, F&& f) {
  std::size_t start = 0;
  std::size_t next = findFontWord(body, 0);
  while (next != std::string_view::npos) {
    f(body.substr(start, next - start));
    start = next;
    next = findFontWord(body, start + 2);
  }
  f(body.substr(start));
}

// The Unicode-to-Sambhota map as a trie over the escaped characters. Every
// prefix of a key is a node, so the walk can stop where no node follows: no
// longer key can match there, which gives the same longest match as trying all
// seven lengths.
class UnitTrie {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFF;

  explicit UnitTrie(std::size_t expected) {
    nodes_.reserve(expected * 2 + 1);
    nodes_.push_back(kNone);
    edges_.reserve(expected * 2);
  }
  void add(std::u16string_view key, std::uint32_t value) {
    std::uint32_t node = 0;
    for (char16_t c : key) {
      std::uint64_t edge = (std::uint64_t{node} << 16) | c;
      auto [it, inserted] = edges_.try_emplace(edge, static_cast<std::uint32_t>(nodes_.size()));
      if (inserted) nodes_.push_back(kNone);
      node = it->second;
    }
    nodes_[node] = value;
  }
  /// The child of `node` for `c`, or kNone.
  std::uint32_t child(std::uint32_t node, char16_t c) const {
    auto it = edges_.find((std::uint64_t{node} << 16) | c);
    return it == edges_.end() ? kNone : it->second;
  }
  std::uint32_t value(std::uint32_t node) const { return nodes_[node]; }

 private:
  std::vector<std::uint32_t> nodes_;  // value index per node
  struct EdgeHash {
    std::size_t operator()(std::uint64_t e) const { return static_cast<std::size_t>(e * 0x9E3779B97F4A7C15ull >> 20); }
  };
  std::unordered_map<std::uint64_t, std::uint32_t, EdgeHash> edges_;
};

// Appends `c` as UTF-8 (used for the Sambhota characters of the table, which
// are ASCII; anything else is kept readable rather than dropped).
void appendChar(std::string& out, char16_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The RTF written for a table value "f12 c": a backslash and the value, with a
// backslash before a last character that is a backslash or a brace. The font
// number of the table (10..39) becomes the number the block was written on.
std::string sambhotaOutput(std::u16string_view value, const std::array<int, 30>& numbers) {
  std::string out = "\\";
  std::size_t k = 0;
  if (value.size() >= 3 && value[0] == u'f' && isDigit(static_cast<char>(value[1])) &&
      isDigit(static_cast<char>(value[2])) && (value.size() == 3 || !isDigit(static_cast<char>(value[3])))) {
    int n = (value[1] - u'0') * 10 + (value[2] - u'0');
    if (n >= sambhota::kFirstBlockNumber && n < sambhota::kFirstBlockNumber + 30) {
      out += 'f';
      out += std::to_string(numbers[static_cast<std::size_t>(n - sambhota::kFirstBlockNumber)]);
      k = 3;
    }
  }
  for (; k < value.size(); ++k) {
    char16_t c = value[k];
    if (k + 1 == value.size() && (c == u'\\' || c == u'{' || c == u'}')) out += '\\';
    appendChar(out, c);
  }
  return out;
}

// Cuts the closing brace and splits header and body; a document that is not
// convertible RTF ends the request with its message.
bool prepare(ConversionEngine& e, std::string& text, rtfpieces::SplitDocument& doc) {
  if (!rtfpieces::cutFinalBrace(text)) {
    EngineInternals::refuse(e, rtfpieces::Refusal::NoClosingBrace);
    return false;
  }
  rtfpieces::Refusal why = rtfpieces::splitDocument(text, doc);
  if (why != rtfpieces::Refusal::None) {
    EngineInternals::refuse(e, why);
    return false;
  }
  return true;
}

// Copies the RTF item at `k` (a backslash there) and moves `k` past it. A
// control word keeps its delimiting blank, a "\uN" escape its fallback
// character. Items that stand for text (escaped characters, byte escapes,
// Unicode escapes, control symbols) call `beforeText` first.
template <class F>
void copyMarkupOrText(std::string_view s, std::size_t& k, std::string& out, F&& beforeText) {
  const std::size_t n = s.size();
  if (k + 1 >= n) {
    out += s[k++];
    return;
  }
  const char d = s[k + 1];
  std::size_t j;
  if (d == '\'') {
    beforeText();
    j = std::min(n, k + 4);
  } else if ((d >= 'a' && d <= 'z') || (d >= 'A' && d <= 'Z')) {
    j = k + 1;
    while (j < n && ((s[j] >= 'a' && s[j] <= 'z') || (s[j] >= 'A' && s[j] <= 'Z'))) ++j;
    const bool unicodeWord = j == k + 2 && (d == 'u' || d == 'U');
    const std::size_t digits = j;
    if (j + 1 < n && s[j] == '-' && isDigit(s[j + 1])) ++j;
    while (j < n && isDigit(s[j])) ++j;
    if (unicodeWord && j > digits) {
      beforeText();
      if (j < n && s[j] == ' ') ++j;
      if (j < n && s[j] != '\\' && s[j] != '{' && s[j] != '}') ++j;
    } else if (j < n && s[j] == ' ') {
      ++j;
    }
  } else {
    beforeText();
    j = k + 2;
  }
  out.append(s.substr(k, j - k));
  k = j;
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

void ConversionEngine::WJZH_HIMA_SAM(std::string& zz) {
  if (zz.empty()) return;
  const bool directCall = proceed != kTrue;
  std::string text = std::move(zz);
  zz.clear();
  rtfpieces::SplitDocument doc;
  if (!prepare(*this, text, doc)) return;

  auto refuse = [&] { EngineInternals::stopWithMessage(*this, kNoUnicodeTibetan); };
  if (directCall && !rtfpieces::containsAnyListItem(doc.header, narrow(host_.sourceFontList()))) {
    refuse();
    return;
  }
  // The document's own font numbers decide where the block goes, and its
  // Unicode Tibetan fonts are found before the block is inserted (the block's
  // names never match the patterns).
  const std::string tags = rtfpieces::unicodeTibetanFontTags(doc.header);
  if (tags.empty()) {
    // Nothing to convert: say so and leave the document as it was.
    refuse();
    return;
  }
  const std::string fallback(rtfpieces::firstFontTag(tags));
  const std::array<int, 30> numbers = sambhota::blockNumbers(doc.header);

  std::string header(doc.header);
  rtfpieces::insertFontEntry(header, sambhota::fontBlock(sambhota::familyFor(host_.sambhotaFamily()), numbers));
  const std::string red = rtfpieces::addRedColour(header);

  std::shared_ptr<const MappingTable> map = SharedMappingTable("SAM", TableDirection::UnicodeToSambhota, tables_);
  if (!map) {
    EngineInternals::stopWithMessage(*this, kNoTable);
    return;
  }
  std::vector<std::string> outputs;
  outputs.reserve(map->size());
  UnitTrie trie(map->size() * 3);
  map->forEach([&](std::u16string_view key, std::u16string_view value) {
    if (key.empty() || value.empty()) return;
    trie.add(key, static_cast<std::uint32_t>(outputs.size()));
    outputs.push_back(sambhotaOutput(value, numbers));
  });
  map.reset();

  const std::string_view body = doc.body;
  std::string out;
  out.reserve(header.size() + body.size() + body.size() / 2 + 64);
  out += header;
  std::size_t units = 0, marks = 0;

  // Inside a converted run every unit switches to its Sambhota font. Text that
  // is not converted (Latin letters, digits, punctuation, other escapes) must
  // not stay in that font, where it would be drawn as Tibetan glyphs: before it
  // the run's own Unicode font is switched back on. Blanks stay in the
  // Sambhota font, which draws them as blanks.
  bool sambhotaActive = false;
  std::string runFont;
  auto restoreFont = [&] {
    if (sambhotaActive) {
      out += runFont;
      out += ' ';
      sambhotaActive = false;
    }
  };
  auto convert = [&](std::string_view s) {
    std::size_t k = 0;
    const std::size_t n = s.size();
    while (k < n) {
      const char c = s[k];
      if (c != '\\') {
        if (c == '{' || c == '}' || c == '\r' || c == '\n' || c == ' ') {
          out += c;
          ++k;
          continue;
        }
        restoreFont();
        std::size_t j = k + 1;
        while (j < n && s[j] != '\\' && s[j] != '{' && s[j] != '}' && s[j] != '\r' && s[j] != '\n' && s[j] != ' ') ++j;
        out.append(s.substr(k, j - k));
        k = j;
        continue;
      }
      auto first = rtfpieces::fourDigitEscape(s, k);
      if (!first || first->length != 7) {
        copyMarkupOrText(s, k, out, restoreFont);
        continue;
      }
      std::uint32_t node = 0;
      std::uint32_t found = UnitTrie::kNone;
      std::size_t foundLength = 0;
      for (std::size_t j = 0; j < 7; ++j) {
        std::size_t p = k + 7 * j;
        auto e = j == 0 ? first : rtfpieces::fourDigitEscape(s, p);
        if (!e || e->length != 7) break;
        node = trie.child(node, e->ch);
        if (node == UnitTrie::kNone) break;
        if (trie.value(node) != UnitTrie::kNone) {
          found = trie.value(node);
          foundLength = j + 1;
        }
      }
      if (found == UnitTrie::kNone) {
        out += fallback;
        rtfpieces::appendRedStart(out, red);
        out.append(s.substr(k, 7));
        rtfpieces::appendRedEnd(out, s, k + 7);
        sambhotaActive = false;
        sfywzh = kTrue;
        ++marks;
        k += 7;
      } else {
        out += outputs[found];
        sambhotaActive = true;
        ++units;
        k += 7 * foundLength;
      }
    }
  };

  {
    Progress progress(host_, body.size());
    bool inTibetan = false;
    forEachPiece(body, [&](std::string_view piece) {
      progress.at(static_cast<std::size_t>(piece.data() - body.data()));
      const bool fontSwitch = piece.size() >= 3 && piece[0] == '\\' && piece[1] == 'f' && isDigit(piece[2]);
      if (!fontSwitch) {
        if (inTibetan) convert(piece);
        else out += piece;
        return;
      }
      // " \fN;" or " \fNN;"; a font number of three or more digits is never a
      // Unicode Tibetan font (its first two digits must not pass for one).
      const std::size_t len = piece.size() >= 4 && isDigit(piece[3]) ? 4 : 3;
      const bool longNumber = len == 4 && piece.size() > 4 && isDigit(piece[4]);
      char tagText[6];
      std::size_t tagLength = 0;
      tagText[tagLength++] = ' ';
      for (std::size_t q = 0; q < len; ++q) tagText[tagLength++] = piece[q];
      tagText[tagLength++] = ';';
      const std::string_view tag(tagText, tagLength);
      sambhotaActive = false;
      if (!longNumber && tags.find(tag) != std::string::npos) {
        inTibetan = true;
        runFont.assign(piece.substr(0, len));
        convert(piece);
      } else {
        inTibetan = false;
        out += piece;
      }
    });
  }
  // Red marks written here set the flag as they are written; a "\\cf" of the
  // red index can otherwise only come from the input, copied unchanged.
  if (marks > 0 || rtfpieces::containsRedMark(body, red)) sfywzh = kTrue;
  out += '}';
  stats_.unitsConverted += units;
  stats_.redMarks += marks;
  EngineInternals::writeWorkArea(*this, out, true);
}

void ConversionEngine::WJZH_SAM_HIMA(std::string& zz) {
  if (zz.empty()) return;
  std::string text = std::move(zz);
  zz.clear();
  rtfpieces::SplitDocument doc;
  if (!prepare(*this, text, doc)) return;
  if (doc.header.find("Dedris") == std::string_view::npos && doc.header.find("Ededris") == std::string_view::npos) {
    EngineInternals::stopWithMessage(*this, kNoSambhota);
    return;
  }
  auto stored = tables_.read("SAM");
  if (!stored) {
    EngineInternals::stopWithMessage(*this, kNoTable);
    return;
  }
  std::u16string tableText = unscrambleTable(*stored);
  stored.reset();
  const std::vector<sambhota::DocumentFont> fonts = sambhota::findDocumentFonts(doc.header, tableText);
  MappingTable map = buildMappingTable(tableText, TableDirection::SambhotaToUnicode);
  tableText.clear();

  // One row of 256 outputs per Sambhota font of the document, indexed by its
  // one- or two-digit number; a row holds for each character the RTF of its
  // Unicode value ("\U3904?\U4018?"), empty when the table has no entry.
  std::array<int, 100> rowOfNumber;
  rowOfNumber.fill(-1);
  std::vector<std::array<std::string, 256>> rows;
  rows.reserve(fonts.size());
  {
    std::array<int, 30> rowOfSuffix;
    rowOfSuffix.fill(-1);
    std::u16string key;
    for (const sambhota::DocumentFont& f : fonts) {
      int number = std::stoi(f.controlWord.substr(2));
      if (rowOfNumber[static_cast<std::size_t>(number)] >= 0) continue;
      if (!f.rewritten && rowOfSuffix[static_cast<std::size_t>(f.suffix)] >= 0) {
        // A second font of the same suffix reads through the first one's lines.
        rowOfNumber[static_cast<std::size_t>(number)] = rowOfSuffix[static_cast<std::size_t>(f.suffix)];
        continue;
      }
      auto& row = rows.emplace_back();
      const int index = static_cast<int>(rows.size() - 1);
      rowOfNumber[static_cast<std::size_t>(number)] = index;
      if (f.rewritten) rowOfSuffix[static_cast<std::size_t>(f.suffix)] = index;
      for (int c = 0; c < 256; ++c) {
        key.assign(f.controlWord.begin(), f.controlWord.end());
        key += u' ';
        key += static_cast<char16_t>(c);
        const std::u16string& value = map.lookup(key);
        for (char16_t u : value) rtfpieces::appendUnicodeEscape(row[static_cast<std::size_t>(c)], u, 'U');
      }
    }
  }
  map.clear();

  std::string header(doc.header);
  rtfpieces::insertFontEntry(header, kUnicodeFontEntry);
  const std::string red = rtfpieces::addRedColour(header);

  const std::string_view body = doc.body;
  std::string out;
  out.reserve(header.size() + body.size() * 2 + 64);
  out += header;
  std::size_t units = 0, marks = 0;

  // Converts one segment in the font of `row`. The scan follows RTF far enough
  // to tell text from markup: control words with their delimiting blank, "\'xx"
  // escapes, control symbols, braces and line ends are markup and copied; an
  // escaped backslash or brace is a text character; every other character is
  // text and looked up under the current font.
  //
  // Every converted character is drawn in font 99. The switch "\f99" is written
  // only where another font may be current (after a run's own control word,
  // other markup or an unconverted character), and a run's Sambhota control
  // word is left out when a converted character follows it directly, since
  // "\f99" overrides it at once: the RTF means the same as writing both before
  // every character, at a third of the size for the work area to read.
  bool f99Current = false;
  auto convert = [&](std::string_view s, std::size_t prefixLength, const std::array<std::string, 256>& row) {
    std::string_view pending = s.substr(0, prefixLength);
    auto markup = [&] {
      if (!pending.empty()) {
        out += pending;
        pending = {};
      }
      f99Current = false;
    };
    auto converted = [&](const std::string& value) {
      pending = {};
      if (!f99Current) out += "\\f99";
      out += value;
      f99Current = true;
      ++units;
    };
    const std::size_t n = s.size();
    std::size_t k = prefixLength;
    while (k < n) {
      const char c = s[k];
      if (c == '\\') {
        if (k + 1 >= n) {
          markup();
          out += c;
          ++k;
          continue;
        }
        const char d = s[k + 1];
        if (d == '\\' || d == '{' || d == '}') {
          const std::string& value = row[static_cast<unsigned char>(d)];
          if (!value.empty()) {
            converted(value);
          } else {
            markup();
            rtfpieces::appendRedStart(out, red);
            out += c;
            out += d;
            rtfpieces::appendRedEnd(out, s, k + 2);
            sfywzh = kTrue;
            ++marks;
          }
          k += 2;
          continue;
        }
        markup();
        if (d == '\'') {
          std::size_t end = std::min(n, k + 4);
          out.append(s.substr(k, end - k));
          k = end;
          continue;
        }
        if (!isLetter(d)) {
          out.append(s.substr(k, 2));
          k += 2;
          continue;
        }
        std::size_t j = k + 1;
        while (j < n && isLetter(s[j])) ++j;
        const bool unicodeWord = j == k + 2 && (d == 'u' || d == 'U');
        std::size_t digitsStart = j;
        if (j + 1 < n && s[j] == '-' && isDigit(s[j + 1])) ++j;
        while (j < n && isDigit(s[j])) ++j;
        const bool hadDigits = j > digitsStart;
        if (j < n && s[j] == ' ') ++j;
        // A "\uN" escape in the run: its fallback character is markup too.
        if (unicodeWord && hadDigits && j < n && s[j] != '\\' && s[j] != '{' && s[j] != '}') ++j;
        out.append(s.substr(k, j - k));
        k = j;
        continue;
      }
      if (c == '\r' || c == '\n') {
        out += c;  // line ends mean nothing in RTF
        ++k;
        continue;
      }
      if (c == '{' || c == '}') {
        markup();
        out += c;
        ++k;
        continue;
      }
      const std::string& value = row[static_cast<unsigned char>(c)];
      if (!value.empty()) {
        converted(value);
      } else if (c == ' ') {
        markup();
        if (!(k > 0 && s[k - 1] == '-')) out += ' ';
        sfywzh = kTrue;
      } else {
        markup();
        rtfpieces::appendRedStart(out, red);
        if (isDigit(c)) out += ' ';
        out += c;
        rtfpieces::appendRedEnd(out, s, k + 1);
        sfywzh = kTrue;
        ++marks;
      }
      ++k;
    }
    if (!pending.empty()) markup();
  };

  {
    Progress progress(host_, body.size());
    int current = -1;  // row of the current Sambhota font, -1 outside Sambhota runs
    forEachPiece(body, [&](std::string_view piece) {
      progress.at(static_cast<std::size_t>(piece.data() - body.data()));
      if (piece.size() < 3 || !isDigit(piece[2])) {
        if (current >= 0) {
          convert(piece, 0, rows[static_cast<std::size_t>(current)]);
        } else {
          out += piece;
          f99Current = false;
        }
        return;
      }
      auto ends = [&](std::size_t at) { return at >= piece.size() || piece[at] == ' ' || piece[at] == '\\'; };
      int number;
      std::size_t wordLength;
      if (ends(3)) {
        number = piece[2] - '0';
        wordLength = 3;
      } else if (isDigit(piece[3]) && ends(4)) {
        number = (piece[2] - '0') * 10 + (piece[3] - '0');
        wordLength = 4;
      } else {
        out += piece;  // three or more digits: not a Sambhota font, the run state stays
        f99Current = false;
        return;
      }
      current = rowOfNumber[static_cast<std::size_t>(number)];
      if (current >= 0) {
        const std::size_t prefix = wordLength + (wordLength < piece.size() && piece[wordLength] == ' ' ? 1 : 0);
        convert(piece, prefix, rows[static_cast<std::size_t>(current)]);
      } else {
        out += piece;
        f99Current = false;
      }
    });
  }
  // Red marks written here set the flag as they are written; a "\\cf" of the
  // red index can otherwise only come from the input, copied unchanged.
  if (marks > 0 || rtfpieces::containsRedMark(body, red)) sfywzh = kTrue;
  out += '}';
  stats_.unitsConverted += units;
  stats_.redMarks += marks;
  EngineInternals::writeWorkArea(*this, out, false);
}

// The chains run their first stage to Unicode, then the second stage on the
// work area's own rendering of the first stage's result. A stage that stops
// (nothing of its source encoding, a refused document) ends the chain with its
// own message only.
void ConversionEngine::WJZH_SAM_QT(std::string& zz, std::u16string dstcode) {
  // A direct call behaves like one through convertFile: the second stage does
  // not check the source fonts again.
  proceed = kTrue;
  WJZH_SAM_HIMA(zz);
  if (proceed == kFalse) return;
  zz = host_.workArea().rtf();
  stats_.unitsConverted = 0;
  WJZH_HIMA_QT(zz, std::move(dstcode));
}

void ConversionEngine::WJZH_QT_SAM(std::string& zz, std::u16string srccode) {
  proceed = kTrue;
  WJZH_QT_HIMA(zz, std::move(srccode));
  if (proceed == kFalse) return;
  zz = host_.workArea().rtf();
  stats_.unitsConverted = 0;
  WJZH_HIMA_SAM(zz);
}

}  // namespace yig
