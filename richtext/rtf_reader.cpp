// RTF reader: one pass over the lexer's tokens with an explicit group stack
// (no recursion, so nesting depth costs heap, not stack, and is capped).
//
// What the model names: text, paragraph and line breaks, tabs, and per
// character the font (from the font table), size, colour (from the colour
// table), bold, italic, underline and strike-through. What it does not name is
// carried as it came: the header, other character properties (CharFormat::extra),
// the body's groups (pictures, footnotes, fields...) and paragraph, section and
// row properties as object characters, cell, row and section ends as marks.
#include <algorithm>
#include <cctype>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "richtext/codepages.h"
#include "richtext/rtf_io.h"
#include "richtext/rtf_lexer.h"

namespace yig::rt::detail {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
// Deeper groups share their parent's state; real documents stay far below this.
constexpr std::size_t kMaxDepth = 1024;
constexpr std::size_t kMaxColors = 65535;
constexpr int kMaxSizeHalfPoints = 3276;  // 1638 points
constexpr int kDefaultSizeHalfPoints = 24;
constexpr int kMaxUnicodeSkip = 16;

enum Flag : std::uint8_t { kBold = 1, kItalic = 2, kUnderline = 4, kStrike = 8 };

enum class Dest : std::uint8_t { Body, FontTable, ColorTable };

// Character state of one group; restored when the group closes.
struct GroupState {
  Dest dest = Dest::Body;
  std::uint8_t flags = 0;
  std::uint32_t extra = 0;  // index into the parser's table of character extras; 0 = none
  int font = -1;  // -1: the document's default font (\deff)
  int size = kDefaultSizeHalfPoints;
  int color = 0;
  int unicodeSkip = 1;  // \ucN
};

enum class Kw : std::uint8_t {
  Unknown,
  // text
  Par, Line, Tab, Unicode, UnicodeSkip, Special,
  // character formatting
  Font, FontSize, Color, Bold, Italic, Underline, UnderlineNone, Strike, Plain,
  // carried: character words the model does not name, words read past, paragraph reset
  Extra, Ignored, Pard,
  // marks that end a cell, row or section
  CellEnd, RowEnd, SectionEnd,
  // document
  DefaultFont, AnsiCodePage,
  // font table
  FontTable, FontCharset, FontPitch, FontCodePage, FontFamily,
  // colour table
  ColorTable, Red, Green, Blue,
  // groups read past
  SkipDestination, Binary,
  // groups carried whole as objects of the body
  PictureGroup, FootnoteGroup, FieldGroup, ObjectGroup,
};

// True for the words that make their group a table or a destination.
bool isDestination(Kw kind) {
  switch (kind) {
    case Kw::FontTable:
    case Kw::ColorTable:
    case Kw::SkipDestination:
    case Kw::PictureGroup:
    case Kw::FootnoteGroup:
    case Kw::FieldGroup:
    case Kw::ObjectGroup: return true;
    default: return false;
  }
}

struct Keyword {
  Kw kind;
  char16_t special = 0;  // Kw::Special: the character it stands for
};

const std::unordered_map<std::string_view, Keyword>& keywords() {
  static const std::unordered_map<std::string_view, Keyword> table = [] {
    std::unordered_map<std::string_view, Keyword> t;
    auto add = [&t](std::string_view w, Kw k, char16_t special = 0) { t.emplace(w, Keyword{k, special}); };
    add("par", Kw::Par);
    add("line", Kw::Line);
    add("tab", Kw::Tab);
    add("cell", Kw::CellEnd);
    add("nestcell", Kw::CellEnd);
    add("row", Kw::RowEnd);
    add("nestrow", Kw::RowEnd);
    add("sect", Kw::SectionEnd);
    add("pard", Kw::Pard);
    // Character properties the model does not name: carried with each character.
    for (std::string_view w :
         {"v", "lang", "langfe", "langnp", "langfenp", "alang", "noproof", "kerning", "expnd", "expndtw",
          "charscalex", "cs", "super", "sub", "nosupersub", "up", "dn", "highlight", "cb", "chcbpat", "chcfpat",
          "chshdng", "caps", "scaps", "outl", "shad", "embo", "impr", "ulc", "rtlch", "ltrch", "loch", "hich", "dbch",
          "af", "afs", "ab", "ai", "acf", "aul", "ainfo", "fcs", "cgrid", "webhidden", "accnone", "accdot", "acccomma",
          "acccircle", "accunderdot", "g", "gcw", "gridtbl", "animtext", "crauth", "crdate", "revised",
          "revauth", "revdttm", "deleted", "fittext"}) {
      add(w, Kw::Extra);
    }
    // Revision-save identifiers: read past.
    for (std::string_view w : {"insrsid", "charrsid", "delrsid", "pararsid", "sectrsid", "tblrsid", "styrsid"}) {
      add(w, Kw::Ignored);
    }
    add("u", Kw::Unicode);
    add("U", Kw::Unicode);  // our own conversions write the escape in upper case
    add("uc", Kw::UnicodeSkip);
    for (const rtf::SymbolWord& w : rtf::symbolWords()) add(w.word, Kw::Special, w.character);
    add("f", Kw::Font);
    add("fs", Kw::FontSize);
    add("cf", Kw::Color);
    add("b", Kw::Bold);
    add("i", Kw::Italic);
    for (std::string_view w : {"ul", "uld", "uldb", "uldash", "uldashd", "uldashdd", "ulhwave", "ulldash", "ulth",
                               "ulthd", "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave", "ulw",
                               "ulwave"}) {
      add(w, Kw::Underline);
    }
    add("ulnone", Kw::UnderlineNone);
    add("strike", Kw::Strike);
    add("striked", Kw::Strike);
    add("plain", Kw::Plain);
    add("deff", Kw::DefaultFont);
    add("ansicpg", Kw::AnsiCodePage);
    add("fonttbl", Kw::FontTable);
    add("fcharset", Kw::FontCharset);
    add("fprq", Kw::FontPitch);
    add("cpg", Kw::FontCodePage);
    for (std::string_view w : {"fnil", "froman", "fswiss", "fmodern", "fscript", "fdecor", "ftech", "fbidi"}) {
      add(w, Kw::FontFamily);
    }
    add("colortbl", Kw::ColorTable);
    add("red", Kw::Red);
    add("green", Kw::Green);
    add("blue", Kw::Blue);
    add("bin", Kw::Binary);
    for (std::string_view w : {"pict", "shppict", "object"}) add(w, Kw::PictureGroup);
    add("footnote", Kw::FootnoteGroup);
    add("field", Kw::FieldGroup);
    for (std::string_view w : {"listtext", "pntext", "shp", "shpgrp", "nonshppict"}) add(w, Kw::ObjectGroup);
    // Groups carried whole in the body and read past in the header: those that
    // hold text of their own (headers, footers, notes, index entries, numbering,
    // shapes' text), some that come starred, and every group that holds no
    // text (a word given a kind above keeps it).
    for (std::string_view w : rtf::headerFooterWords()) add(w, Kw::SkipDestination);
    for (std::string_view w : {"annotation", "txe", "xe", "tc", "tcn", "pn", "shpinst", "do", "atrfstart", "atrfend",
                               "template", "listpicture", "pgptbl", "protusertbl", "defchp", "defpap"}) {
      add(w, Kw::SkipDestination);
    }
    for (std::string_view w : rtf::nonTextDestinations()) add(w, Kw::SkipDestination);
    return t;
  }();
  return table;
}

Keyword lookupKeyword(std::string_view word) {
  // The words of plain running text first, without hashing.
  if (word.size() == 1) {
    switch (word[0]) {
      case 'u':
      case 'U': return {Kw::Unicode};
      case 'f': return {Kw::Font};
      case 'b': return {Kw::Bold};
      case 'i': return {Kw::Italic};
      default: break;
    }
  } else if (word == "fs") {
    return {Kw::FontSize};
  } else if (word == "cf") {
    return {Kw::Color};
  } else if (word == "par") {
    return {Kw::Par};
  }
  const auto& table = keywords();
  auto it = table.find(word);
  return it == table.end() ? Keyword{Kw::Unknown} : it->second;
}

// A word too long to be RTF is an unknown word (a \uN with too many digits still stands for a character).
bool tooLong(const rtf::Token& t) {
  return t.overlong && t.kind == rtf::TokenKind::ControlWord && t.name != "u" && t.name != "U";
}

// The keyword a control word token stands for.
Keyword keywordOf(const rtf::Token& t) { return tooLong(t) ? Keyword{Kw::Unknown} : lookupKeyword(t.name); }

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The letters, number and blank that go on from where the lexer cut off an
// overlong control word: they belong to that word.
std::size_t overlongWordTail(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && isLetter(s[i])) ++i;
  if (i + 1 < s.size() && s[i] == '-' && isDigit(s[i + 1])) ++i;
  while (i < s.size() && isDigit(s[i])) ++i;
  if (i < s.size() && s[i] == ' ') ++i;
  return i;
}

int charsetForCodePage(int codePage) {
  switch (codePage) {
    case 936: return 134;
    case 932: return 128;
    case 949: return 129;
    case 950: return 136;
    case 1361: return 130;
    case 1250: return 238;
    case 1251: return 204;
    case 1253: return 161;
    case 1254: return 162;
    case 1255: return 177;
    case 1256: return 178;
    case 1257: return 186;
    case 1258: return 163;
    case 874: return 222;
    default: return 0;
  }
}

struct FontEntry {
  Font font;
  int codePage = 1252;
};

class Parser {
 public:
  Parser(std::string_view rtf, const CharFormat& defaultFormat) : in_(rtf), default_(defaultFormat) {}

  void run();

  std::vector<char16_t> text;  // a vector appends faster than a string; copied out once
  std::vector<std::uint32_t> formatIndex;
  std::vector<CharFormat> formats;
  std::string notes;
  std::shared_ptr<CarriedHeader> header;  // set when the document has something to carry
  std::string finalLead;                  // words that opened the last paragraph, which has no mark

 private:
  // --- groups
  void openGroup();
  void closeGroup(std::size_t end);
  void skipRestOfGroup(rtf::Lexer& lexer);
  std::size_t offsetOf(const rtf::Token& t) const { return static_cast<std::size_t>(t.bytes.data() - in_.data()); }

  // --- what is carried
  void firstTokenOfGroup(const rtf::Token& t);
  void startBody(std::size_t at);
  void bodyToken(const rtf::Token& t) {
    if (!bodyStarted_ && state_.dest == Dest::Body) startBody(stack_.size() > rtfDepth_ ? topGroupAt_ : offsetOf(t));
  }
  void addMark(std::string_view bytes);
  void flushMarks();
  [[gnu::noinline]] bool beforeEmit(char16_t c);
  void emitObject(char16_t c, std::shared_ptr<EmbeddedObject> object);
  void setExtra(std::string_view word, std::string_view bytes);
  void buildHeader();
  bool basicHeader() const;
  bool carriesSomething() const;

  // --- tokens
  void textRun(std::string_view bytes);
  void controlSymbol(const rtf::Token& t, rtf::Lexer& lexer);
  void controlWord(const rtf::Token& t, rtf::Lexer& lexer);
  void unicodeEscape(int value, rtf::Lexer& lexer);
  void textByte(std::uint8_t b, bool escaped);
  void unicodeUnit(char16_t c);
  void endOfText();

  // --- output
  [[gnu::always_inline]] void emit(char16_t c) {
    // Inside a carried group, after paragraph words or a \pard: the rare path.
    if (rare_) [[unlikely]] {
      if (!beforeEmit(c)) return;
    }
    onlyIgnorableAfterMark_ = false;
    if (dirty_) resolveFormat();
    text.push_back(c);
    formatIndex.push_back(currentFormat_);
  }
  void emitBody(char16_t c) {
    if (state_.dest == Dest::Body) emit(c);
  }
  void paragraphMark() {
    if (capturing_ || state_.dest != Dest::Body) {
      emitBody(u'\r');
      return;
    }
    if (!pendingMarks_.empty()) flushMarks();
    if (paragraphLead_.empty()) {
      emit(u'\r');
    } else {
      auto mark = std::make_shared<EmbeddedObject>();
      mark->kind = EmbeddedObject::Kind::Break;
      mark->rtf = "\\par";
      emitObject(u'\r', std::move(mark));
    }
    endParagraph();
  }
  void endParagraph() {
    paragraphStart_ = lastMarkEnd_ = text.size();
    onlyIgnorableAfterMark_ = true;
  }
  void resolveFormat();
  std::uint32_t intern(const CharFormat& f);

  // --- tables
  void beginFontEntry(int number);
  void commitFontEntry();
  void commitColor();
  void note(std::string_view what);

  std::string_view in_;
  const CharFormat& default_;

  GroupState state_;
  std::vector<GroupState> stack_;
  std::size_t overflowDepth_ = 0;
  bool rootClosed_ = false;
  int unicodeSkipLeft_ = 0;

  int defaultFont_ = 0;
  int ansiCodePage_ = 1252;
  std::unordered_map<int, FontEntry> fonts_;
  std::vector<std::optional<Color>> colors_;

  // Font table entry being read.
  bool entryOpen_ = false;
  std::size_t entryDepth_ = 0;
  int entryNumber_ = 0;
  bool entryHasCharset_ = false;
  int entryCodePage_ = 0;  // \cpgN, 0 = none
  Font entryFont_;
  ByteDecoder nameDecoder_;

  // Colour table entry being read.
  Color colorEntry_;
  bool colorEntrySet_ = false;

  // Body text.
  ByteDecoder decoder_;
  bool dirty_ = true;
  std::uint32_t currentFormat_ = 0;
  int currentCodePage_ = 1252;
  struct CacheKey {
    std::uint64_t look;
    std::uint32_t extra;
    bool operator==(const CacheKey&) const = default;
  };
  struct CacheKeyHash {
    std::size_t operator()(const CacheKey& k) const noexcept {
      return std::hash<std::uint64_t>{}(k.look ^ (std::uint64_t{k.extra} * 0x9E3779B97F4A7C15ULL));
    }
  };
  std::unordered_map<CacheKey, std::uint32_t, CacheKeyHash> formatCache_;
  std::unordered_map<CharFormat, std::uint32_t, CharFormatHash> formatLookup_;
  std::vector<std::string_view> noted_;
  // Where the last paragraph mark ended the text, and whether only closing
  // braces, line breaks and ignorable groups came after it so far.
  std::size_t lastMarkEnd_ = 0;
  bool onlyIgnorableAfterMark_ = false;

  // Character extras: index 0 is "no extras".
  std::vector<std::string> extras_{std::string()};
  std::unordered_map<std::string, std::uint32_t> extraIds_;

  // The header: offsets into the input.
  bool bodyStarted_ = false;
  std::size_t headerStart_ = 0, bodyStart_ = 0;
  std::size_t topGroupAt_ = 0;      // the last group opened at the top level of the header
  std::size_t lastGroupAt_ = 0;     // the last group opened anywhere
  std::size_t fontTableAt_ = std::string_view::npos, fontTableEnd_ = 0, fontTableDepth_ = 0;
  std::size_t colorTableAt_ = std::string_view::npos, colorTableEnd_ = 0, colorTableDepth_ = 0;
  bool groupJustOpened_ = false;
  bool firstInGroup_ = false;  // the token being read is the first of its group
  std::vector<std::optional<Color>> headerColors_;
  std::vector<int> headerFontNumbers_;
  std::size_t rtfDepth_ = 1;  // groups open around the document's content ("{\\rtf1": 1, "{{\\rtf1": 2)
  bool rtfSeen_ = false;

  // A group of the body carried whole.
  bool capturing_ = false;
  std::size_t captureDepth_ = 0, captureStart_ = 0;
  EmbeddedObject::Kind captureKind_ = EmbeddedObject::Kind::Group;
  int captureUnicodeSkip_ = 1;
  std::u16string captureText_;

  // Paragraph, section and row words waiting for the next character.
  std::string pendingMarks_;
  std::string paragraphLead_;       // words that opened the current paragraph, before its first character
  std::size_t paragraphStart_ = 0;
  bool pardPending_ = false;      // a \pard not yet needed
  // Set when capturing_, pardPending_ or pendingMarks_ may ask emit() for more
  // than storing the character (one test per character instead of three).
  bool rare_ = false;
  bool paragraphWordsSet_ = false;  // words after the last \pard that a later \pard must undo
};

constexpr std::size_t kMaxExtraBytes = 512;

// What an overlong control word, or binary data outside a group of data, is
// carried as: a short word no reader knows, so that it still counts as one
// token where \uN skips its fallback.
constexpr std::string_view kStandIn = "\\yiglongword ";

// Groups whose content is data, which may be given as \binN or as hexadecimal text.
bool isDataGroup(std::string_view word) {
  for (std::string_view w : {"pict", "objdata", "datastore", "themedata", "colorschememapping", "fontemb",
                             "fontfile", "datafield", "blipuid"}) {
    if (word == w) return true;
  }
  return false;
}

// Carried bytes as the writer may write them: 7-bit, with the same tokens.
// Bytes above 0x7F become \'xx escapes, a \binN payload in a picture or
// another group of data becomes hexadecimal text (as such groups also give
// their data), an overlong control word or binary data elsewhere becomes a
// short word that means as little (a \uN with too many digits the same \uN),
// and a cut-off escape is left out.
std::string carried(std::string_view raw) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(raw.size());
  rtf::Lexer lexer(raw);
  // A word that ends the piece keeps a delimiting blank, as it will have one
  // when read back before whatever the writer puts after it.
  bool wordOpen = false;
  // Whether the current group holds data, and the same for the groups around it.
  bool data = false, groupStart = false;
  std::vector<bool> outerData;
  for (;;) {
    const rtf::Token t = lexer.next();
    const std::size_t before = out.size();
    if (t.kind == rtf::TokenKind::ControlWord && groupStart && isDataGroup(t.name)) data = true;
    groupStart = groupStart && t.kind == rtf::TokenKind::ControlSymbol && t.symbol == '*';
    switch (t.kind) {
      case rtf::TokenKind::End:
      case rtf::TokenKind::NeedMore:
        if (wordOpen) out += ' ';
        return out;
      case rtf::TokenKind::Text:
        for (const char c : t.bytes) {
          const auto b = static_cast<unsigned char>(c);
          if (b < 0x80) {
            out.push_back(c);
          } else {
            const char escape[4] = {'\\', '\'', kHex[b >> 4], kHex[b & 0xF]};
            out.append(escape, 4);
          }
        }
        break;
      case rtf::TokenKind::HexByte:
      case rtf::TokenKind::ControlSymbol:
        if (t.bytes.size() == (t.kind == rtf::TokenKind::HexByte ? 4u : 2u)) {
          out += t.bytes;
        } else if (wordOpen) {
          // A cut-off escape is left out; the word before it keeps its end.
          out += ' ';
        }
        break;
      case rtf::TokenKind::Binary:
        if (!data) {
          out += kStandIn;
          wordOpen = false;
          continue;
        }
        if (!out.empty() && out.back() != ' ' && out.back() != '{' && out.back() != '}') out += ' ';
        for (const char c : t.payload) {
          const auto b = static_cast<unsigned char>(c);
          out.push_back(kHex[b >> 4]);
          out.push_back(kHex[b & 0xF]);
        }
        break;
      case rtf::TokenKind::ControlWord:
        if (t.overlong) {
          if (t.bytes.size() == t.name.size() + 1) lexer.skip(overlongWordTail(raw.substr(lexer.consumed())));
          // Ends with its own blank, which reading takes as part of the word.
          if (t.name == "u" || t.name == "U") {
            out += '\\';
            out += t.name;
            out += std::to_string(t.param);
            out += ' ';
          } else {
            out += kStandIn;
          }
          wordOpen = false;
        } else {
          out += t.bytes;
          wordOpen = t.bytes.back() != ' ';
        }
        continue;
      case rtf::TokenKind::GroupOpen:
        outerData.push_back(data);
        groupStart = true;
        out += t.bytes;
        break;
      case rtf::TokenKind::GroupClose:
        data = !outerData.empty() && outerData.back();
        if (!outerData.empty()) outerData.pop_back();
        out += t.bytes;
        break;
    }
    if (out.size() != before) wordOpen = false;
  }
}

void Parser::firstTokenOfGroup(const rtf::Token& t) {
  const bool star = t.kind == rtf::TokenKind::ControlSymbol && t.symbol == '*';
  const bool word = t.kind == rtf::TokenKind::ControlWord;
  if (!bodyStarted_) {
    // A group of the header's top level opens the body when it begins with
    // text or with what formats text; other groups (tables, information, \upr
    // around the font tables, unknown ones) belong to the header.
    if (state_.dest != Dest::Body || stack_.size() != rtfDepth_ + 1 || star) return;
    if (word) {
      const Kw kind = keywordOf(t).kind;
      const bool header = kind == Kw::Unknown || kind == Kw::SkipDestination || kind == Kw::FontTable ||
                          kind == Kw::ColorTable || kind == Kw::DefaultFont || kind == Kw::AnsiCodePage ||
                          kind == Kw::UnicodeSkip || kind == Kw::Binary;
      if (header) return;
    }
    startBody(lastGroupAt_);
  }
  if (capturing_ || state_.dest != Dest::Body) return;
  EmbeddedObject::Kind kind;
  if (star) {
    kind = EmbeddedObject::Kind::Group;
  } else if (!word) {
    return;
  } else {
    switch (keywordOf(t).kind) {
      case Kw::PictureGroup: kind = EmbeddedObject::Kind::Picture; break;
      case Kw::FootnoteGroup: kind = EmbeddedObject::Kind::Footnote; break;
      case Kw::FieldGroup: kind = EmbeddedObject::Kind::Field; break;
      case Kw::ObjectGroup:
        kind = t.name == "listtext" || t.name == "pntext" ? EmbeddedObject::Kind::ListText
                                                          : EmbeddedObject::Kind::Group;
        break;
      case Kw::SkipDestination: kind = EmbeddedObject::Kind::Group; break;
      default: return;
    }
  }
  capturing_ = true;
  rare_ = true;
  captureDepth_ = stack_.size();
  captureStart_ = lastGroupAt_;
  captureKind_ = kind;
  captureUnicodeSkip_ = state_.unicodeSkip;
  captureText_.clear();
}

// What the rare cases of emit() do first; false when the character went into a carried group.
bool Parser::beforeEmit(char16_t c) {
  if (capturing_) {
    captureText_.push_back(c == u'\r' ? u'\n' : c);
    return false;
  }
  if (!pendingMarks_.empty()) flushMarks();
  pardPending_ = false;  // a \pard before text has done its work
  rare_ = false;
  return true;
}

void Parser::startBody(std::size_t at) {
  bodyStarted_ = true;
  bodyStart_ = at;
}

void Parser::addMark(std::string_view bytes) {
  if (pardPending_) {
    // The writer opens the body with a \pard of its own.
    if (!text.empty()) pendingMarks_ += "\\pard";
    pardPending_ = false;
  }
  pendingMarks_ += carried(bytes);
  rare_ = true;
  paragraphWordsSet_ = true;
}

// Words before the first character of a paragraph open it: the paragraph's end
// mark carries them. Words inside a paragraph become an object character.
void Parser::flushMarks() {
  if (text.size() == paragraphStart_) {
    paragraphLead_ += pendingMarks_;
    pendingMarks_.clear();
    return;
  }
  auto object = std::make_shared<EmbeddedObject>();
  object->kind = EmbeddedObject::Kind::Marks;
  object->rtf = std::move(pendingMarks_);
  pendingMarks_.clear();
  emitObject(0xFFFC, std::move(object));
}

void Parser::emitObject(char16_t c, std::shared_ptr<EmbeddedObject> object) {
  if (!pendingMarks_.empty()) flushMarks();
  if (object->kind == EmbeddedObject::Kind::Break && c == u'\r') {
    object->lead = std::move(paragraphLead_);
    paragraphLead_.clear();
  }
  onlyIgnorableAfterMark_ = onlyIgnorableAfterMark_ && object->kind == EmbeddedObject::Kind::Group;
  pardPending_ = false;
  if (dirty_) resolveFormat();
  CharFormat f = formats[currentFormat_];
  f.object = std::move(object);
  text.push_back(c);
  formatIndex.push_back(static_cast<std::uint32_t>(formats.size()));
  formats.push_back(std::move(f));
}

// A character word the model does not name joins the group's extras; the same
// word given again replaces its earlier value when nothing lies between them.
void Parser::setExtra(std::string_view word, std::string_view raw) {
  const std::string kept = carried(raw);
  std::string_view bytes = kept;
  while (!bytes.empty() && bytes.back() == ' ') bytes.remove_suffix(1);
  if (bytes.empty()) return;
  std::string next = extras_[state_.extra];
  if (next.size() + bytes.size() > kMaxExtraBytes) {
    note("a run had too many character properties; some were left out");
    return;
  }
  const std::size_t last = next.rfind('\\');
  if (last != std::string::npos) {
    std::string_view previous = std::string_view(next).substr(last + 1);
    std::size_t letters = 0;
    while (letters < previous.size() && isLetter(previous[letters])) ++letters;
    if (previous.substr(0, letters) == word) next.resize(last);
  }
  next += bytes;
  auto [it, added] = extraIds_.try_emplace(next, static_cast<std::uint32_t>(extras_.size()));
  if (added) extras_.push_back(next);
  state_.extra = it->second;
  dirty_ = true;
}

void Parser::buildHeader() {
  auto h = std::make_shared<CarriedHeader>();
  const std::size_t body = bodyStarted_ ? bodyStart_ : in_.size();
  auto piece = [&](std::size_t from, std::size_t to) {
    return from < to && to <= in_.size() ? carried(in_.substr(from, to - from)) : std::string();
  };
  const bool fonts = fontTableAt_ != std::string_view::npos && fontTableEnd_ > fontTableAt_ && fontTableEnd_ <= body;
  const bool colorTable =
      colorTableAt_ != std::string_view::npos && colorTableEnd_ > colorTableAt_ && colorTableEnd_ <= body;
  // A colour table before the font table is carried after it, where the
  // writer puts colour tables (and where its added colours must go).
  const bool colorsFirst = fonts && colorTable && colorTableEnd_ <= fontTableAt_;
  const bool colors = colorTable && (!fonts || colorTableAt_ >= fontTableEnd_ || colorsFirst);
  std::size_t at = headerStart_;
  if (fonts && colorsFirst) {
    h->beforeFonts = piece(at, colorTableAt_);
    std::string rest = piece(colorTableEnd_, fontTableAt_);
    // Joined, a word at the end of the first piece must not run into the second.
    const char last = h->beforeFonts.empty() ? '\\' : h->beforeFonts.back();
    if (!rest.empty() && std::isalnum(static_cast<unsigned char>(last)) &&
        std::string_view("\\{}\r\n").find(rest.front()) == std::string_view::npos) {
      h->beforeFonts += ' ';
    }
    h->beforeFonts += rest;
  } else if (fonts) {
    h->beforeFonts = piece(at, fontTableAt_);
  }
  if (fonts) {
    // The table's content lies between "{\fonttbl" and the closing brace.
    std::size_t open = in_.find("fonttbl", fontTableAt_);
    open = open == std::string_view::npos ? fontTableEnd_ - 1 : open + 7;
    h->fontTable = piece(open, fontTableEnd_ - 1);
    at = fontTableEnd_;
  }
  std::vector<int> numbers;
  for (const auto& [number, entry] : fonts_) numbers.push_back(number);
  std::sort(numbers.begin(), numbers.end());
  for (int number : numbers) {
    const bool inTable = fonts && std::find(headerFontNumbers_.begin(), headerFontNumbers_.end(), number) !=
                                      headerFontNumbers_.end();
    h->fonts.push_back(CarriedHeader::FontEntry{number, fonts_.at(number).font, inTable});
  }
  if (colors) {
    h->betweenTables = colorsFirst ? std::string() : piece(at, colorTableAt_);
    std::size_t open = in_.find("colortbl", colorTableAt_);
    open = open == std::string_view::npos ? colorTableEnd_ - 1 : open + 8;
    h->colorTable = piece(open, colorTableEnd_ - 1);
    h->hasColorTable = true;
    h->colors.assign(headerColors_.begin(), headerColors_.end());
    if (h->colors.empty()) h->colors.emplace_back();
    h->colorsInTable = headerColors_.size();
    h->afterColors = piece(colorsFirst ? at : colorTableEnd_, body);
  } else {
    h->betweenTables = piece(at, body);
    h->colors.emplace_back();
  }
  // The writer ends the header with a line break and "\uc1" of its own.
  std::string& last = h->hasColorTable ? h->afterColors : h->betweenTables;
  for (;;) {
    while (!last.empty() && (last.back() == '\r' || last.back() == '\n')) last.pop_back();
    if (last.size() >= 5 && last.compare(last.size() - 5, 5, "\\uc1 ") == 0) {
      last.resize(last.size() - 5);
    } else if (last.size() >= 4 && last.compare(last.size() - 4, 4, "\\uc1") == 0) {
      last.resize(last.size() - 4);
    } else {
      break;
    }
  }
  // A control word left at the end keeps the blank that ends it.
  std::size_t word = last.size();
  while (word > 0 && (isLetter(last[word - 1]) || isDigit(last[word - 1]) || last[word - 1] == '-')) --word;
  if (word > 0 && word < last.size() && last[word - 1] == '\\') last += ' ';
  header = std::move(h);
}

void Parser::note(std::string_view what) {
  if (std::find(noted_.begin(), noted_.end(), what) != noted_.end()) return;
  noted_.push_back(what);
  if (!notes.empty()) notes += "; ";
  notes += what;
}

void Parser::run() {
  // Escaped text takes at least four bytes per character in the common case.
  text.reserve(in_.size() / 4);
  formatIndex.reserve(in_.size() / 4);
  rtf::Lexer lexer(in_);
  bool more = true;
  while (more && !rootClosed_) {
    const rtf::Token t = lexer.next();
    firstInGroup_ = false;
    // A cut-off escape counts for nothing, as it is left out of what is carried.
    const bool cutOff = t.kind == rtf::TokenKind::HexByte && t.bytes.size() < 4;
    if (groupJustOpened_ && t.kind != rtf::TokenKind::GroupOpen && !cutOff) {
      groupJustOpened_ = false;
      firstInGroup_ = true;
      firstTokenOfGroup(t);
    }
    switch (t.kind) {
      case rtf::TokenKind::Text:
        if (!bodyStarted_ && t.bytes.find_first_not_of("\r\n") != std::string_view::npos) bodyToken(t);
        textRun(t.bytes);
        break;
      case rtf::TokenKind::HexByte:
        bodyToken(t);
        if (t.bytes.size() < 4) {
          note("a byte escape is incomplete");
        } else if (unicodeSkipLeft_ > 0) {
          --unicodeSkipLeft_;
        } else {
          textByte(t.byte, true);
        }
        break;
      case rtf::TokenKind::ControlWord:
      case rtf::TokenKind::Binary:
        controlWord(t, lexer);
        break;
      case rtf::TokenKind::ControlSymbol:
        controlSymbol(t, lexer);
        break;
      case rtf::TokenKind::GroupOpen:
        endOfText();
        if (groupJustOpened_) firstTokenOfGroup(t);  // "{{": the outer group is an ordinary one
        lastGroupAt_ = offsetOf(t);
        if (stack_.empty()) headerStart_ = lastGroupAt_ + 1;  // until a \rtfN word says where
        if (stack_.size() == rtfDepth_) topGroupAt_ = lastGroupAt_;
        openGroup();
        groupJustOpened_ = true;
        break;
      case rtf::TokenKind::GroupClose:
        endOfText();
        closeGroup(offsetOf(t) + 1);
        break;
      case rtf::TokenKind::End:
      case rtf::TokenKind::NeedMore:
        more = false;
        break;
    }
  }
  endOfText();
  if (entryOpen_) commitFontEntry();
  pendingMarks_.clear();  // words after the last character change nothing that is kept
  if (rootClosed_) {
    const std::string_view rest = in_.substr(lexer.consumed());
    if (rest.find_first_not_of(std::string_view(" \r\n\t\0", 5)) != std::string_view::npos) {
      note("text after the document's closing brace was ignored");
    }
  } else {
    note(stack_.empty() ? "the document is empty" : "the document ends before all its groups are closed");
  }
  // The last paragraph mark ends the last paragraph; it does not open an empty
  // one. It is the last mark when nothing but closing braces, line breaks and
  // ignorable groups follows it.
  if (!text.empty() && text.size() >= lastMarkEnd_ && lastMarkEnd_ > 0 && text[lastMarkEnd_ - 1] == u'\r' &&
      onlyIgnorableAfterMark_) {
    const EmbeddedObject* mark = formats[formatIndex[lastMarkEnd_ - 1]].object.get();
    if (!mark || mark->rtf == "\\par") {
      // Groups that show nothing (a bookmark's end, data stores) may follow it;
      // they stay, before the final mark. The words that opened that paragraph
      // stay with it.
      if (mark) finalLead = mark->lead;
      finalLead += paragraphLead_;
      text.erase(text.begin() + static_cast<std::ptrdiff_t>(lastMarkEnd_ - 1));
      formatIndex.erase(formatIndex.begin() + static_cast<std::ptrdiff_t>(lastMarkEnd_ - 1));
    }
  } else if (!paragraphLead_.empty()) {
    finalLead = std::move(paragraphLead_);  // the last paragraph has no mark of its own
  }
  // A document whose body never began (a table left open swallowed it) is
  // written back in the plain form rather than as an endless header.
  if (bodyStarted_ && (carriesSomething() || !basicHeader())) buildHeader();
}

// True when a character kept carries an object or properties the model does
// not name, or the last paragraph has an opening of its own.
bool Parser::carriesSomething() const {
  if (!finalLead.empty()) return true;
  // The pool is small; the text is looked at only when some format carries something.
  if (std::none_of(formats.begin(), formats.end(),
                   [](const CharFormat& f) { return f.object || !f.extra.empty(); })) {
    return false;
  }
  std::vector<std::uint8_t> seen(formats.size(), 0);
  for (std::size_t i = 0; i < formatIndex.size(); ++i) {
    const std::uint32_t f = formatIndex[i];
    if (seen[f]) continue;
    if (formats[f].object) return true;
    // A paragraph mark's properties are not written: it takes those of the text around it.
    if (text[i] == u'\r') continue;
    seen[f] = 1;
    if (!formats[f].extra.empty()) return true;
  }
  return false;
}

// True when the header holds nothing but what a rich-edit control writes
// itself: then the document is written back in the canonical form.
bool Parser::basicHeader() const {
  const std::size_t body = bodyStarted_ ? bodyStart_ : in_.size();
  if (headerStart_ >= body) return true;
  rtf::Lexer lexer(in_.substr(headerStart_, body - headerStart_));
  std::size_t depth = 0;
  for (;;) {
    const rtf::Token t = lexer.next();
    switch (t.kind) {
      case rtf::TokenKind::End:
      case rtf::TokenKind::NeedMore:
        return true;
      case rtf::TokenKind::GroupOpen:
        ++depth;
        break;
      case rtf::TokenKind::GroupClose:
        if (depth > 0) --depth;
        break;
      case rtf::TokenKind::ControlWord:
        if (t.overlong) break;  // not RTF: the canonical form leaves it out
        if (depth == 0) {
          bool known = false;
          for (std::string_view w : {"ansi", "ansicpg", "deff", "deflang", "deflangfe", "adeflang", "uc", "viewkind",
                                     "pc", "pca", "mac", "fbidis", "nouicompat"}) {
            known = known || t.name == w;
          }
          if (!known) return false;
        } else {
          // In the tables only what describes a font or a colour is expected
          // (and the writer's name); a font's panose, alternative name or
          // embedded font is not.
          const Kw kind = lookupKeyword(t.name).kind;
          const bool fontWord = kind == Kw::Font || kind == Kw::FontFamily || kind == Kw::FontCharset ||
                                kind == Kw::FontPitch || kind == Kw::FontCodePage;
          const bool expected =
              fontWord || (depth == 1 ? kind == Kw::FontTable || kind == Kw::ColorTable || kind == Kw::Red ||
                                            kind == Kw::Green || kind == Kw::Blue || t.name == "generator"
                                      : kind == Kw::Unicode || kind == Kw::UnicodeSkip);
          if (!expected) return false;
        }
        break;
      case rtf::TokenKind::ControlSymbol:
        if (t.symbol == '*') {
          // {\*\generator ...} is the only starred group a plain document has.
          const rtf::Token next = lexer.next();
          if (next.kind != rtf::TokenKind::ControlWord || next.name != "generator") return false;
        }
        break;
      default:
        break;
    }
  }
}

void Parser::openGroup() {
  if (stack_.size() >= kMaxDepth) {
    ++overflowDepth_;
    note("groups nested too deeply were read as one");
    return;
  }
  stack_.push_back(state_);
}

void Parser::closeGroup(std::size_t end) {
  if (overflowDepth_ > 0) {
    --overflowDepth_;
    return;
  }
  groupJustOpened_ = false;
  if (state_.dest == Dest::FontTable && stack_.size() == fontTableDepth_ && fontTableEnd_ == 0) fontTableEnd_ = end;
  if (state_.dest == Dest::ColorTable && stack_.size() == colorTableDepth_ && colorTableEnd_ == 0) colorTableEnd_ = end;
  if (capturing_ && stack_.size() == captureDepth_) {
    capturing_ = false;
    auto object = std::make_shared<EmbeddedObject>();
    object->kind = captureKind_;
    object->rtf = carried(in_.substr(captureStart_, end - captureStart_));
    // Word gives pictures as {\*\shppict{\pict ...}}: a picture, not a group that shows nothing.
    if (object->kind == EmbeddedObject::Kind::Group && object->rtf.starts_with("{\\*\\shppict")) {
      object->kind = EmbeddedObject::Kind::Picture;
    }
    object->shown = std::move(captureText_);
    object->unicodeSkip = captureUnicodeSkip_;
    captureText_.clear();
    // The object takes the look of the text around it, as the group's outer state has it.
    state_ = stack_.back();
    stack_.pop_back();
    dirty_ = true;
    if (!pendingMarks_.empty()) flushMarks();
    if (object->kind == EmbeddedObject::Kind::Group && text.size() == paragraphStart_) {
      // A group that shows nothing before a paragraph's first character (a
      // header, a footer, a bookmark, list numbering...) opens that paragraph.
      if (object->unicodeSkip != 1) paragraphLead_ += "{\\uc" + std::to_string(object->unicodeSkip);
      paragraphLead_ += object->rtf;
      if (object->unicodeSkip != 1) paragraphLead_ += '}';
    } else {
      emitObject(0xFFFC, std::move(object));
    }
    if (stack_.empty()) rootClosed_ = true;
    return;
  }
  if (stack_.empty()) {  // a closing brace before any group was opened
    rootClosed_ = true;
    return;
  }
  if (entryOpen_ && entryDepth_ >= stack_.size()) commitFontEntry();
  if (state_.dest == Dest::ColorTable && colorEntrySet_ && stack_.back().dest != Dest::ColorTable) commitColor();
  // The header's tables as they stand when they close: a table met later in
  // the body changes what the body's text means, not what the header holds.
  if (colorTableEnd_ == end && headerColors_.empty()) headerColors_ = colors_.empty() ? decltype(colors_)(1) : colors_;
  if (fontTableEnd_ == end && headerFontNumbers_.empty()) {
    for (const auto& [number, entry] : fonts_) headerFontNumbers_.push_back(number);
    if (headerFontNumbers_.empty()) headerFontNumbers_.push_back(-1);
  }
  state_ = stack_.back();
  stack_.pop_back();
  dirty_ = true;
  // The group that holds \rtf ends the document, also inside further groups.
  if (stack_.empty() || (rtfSeen_ && stack_.size() < rtfDepth_)) rootClosed_ = true;
}

// Reads past everything up to and including the brace that closes the current group.
void Parser::skipRestOfGroup(rtf::Lexer& lexer) {
  std::size_t depth = 0;
  for (;;) {
    const rtf::Token t = lexer.next();
    switch (t.kind) {
      case rtf::TokenKind::GroupOpen:
        ++depth;
        break;
      case rtf::TokenKind::GroupClose:
        if (depth == 0) {
          closeGroup(offsetOf(t) + 1);
          return;
        }
        --depth;
        break;
      case rtf::TokenKind::ControlWord:
        // Inside a group read past, "\bin-N" steps over N bytes as "\binN" does.
        if (t.hasParam && t.param < 0 && t.name == "bin") lexer.skip(static_cast<std::size_t>(-std::int64_t{t.param}));
        break;
      case rtf::TokenKind::End:
      case rtf::TokenKind::NeedMore:
        return;
      default:
        break;
    }
  }
}

void Parser::textRun(std::string_view bytes) {
  for (const char c : bytes) {
    if (c == '\r' || c == '\n') continue;
    if (unicodeSkipLeft_ > 0) {
      --unicodeSkipLeft_;
    } else {
      textByte(static_cast<std::uint8_t>(c), false);
    }
  }
}

// A \uN escape: its unit, then the skipping of its fallback.
void Parser::unicodeEscape(int value, rtf::Lexer& lexer) {
  unicodeUnit(value >= -32768 && value <= 65535 ? static_cast<char16_t>(value < 0 ? value + 65536 : value)
                                                : kReplacement);
  unicodeSkipLeft_ = state_.unicodeSkip;
  // The usual one-character fallback ("?") is stepped over here.
  const std::size_t at = lexer.consumed();
  if (unicodeSkipLeft_ == 1 && at < in_.size()) {
    const char c = in_[at];
    if (c != '\\' && c != '{' && c != '}' && c != '\r' && c != '\n') {
      lexer.skip(1);
      unicodeSkipLeft_ = 0;
    }
  }
}

void Parser::controlSymbol(const rtf::Token& t, rtf::Lexer& lexer) {
  if (t.bytes.size() < 2) {
    note("the document ends inside a control word");
    return;
  }
  if (unicodeSkipLeft_ > 0) {
    --unicodeSkipLeft_;
    return;
  }
  const char c = t.symbol;
  if (c != '*') {
    onlyIgnorableAfterMark_ = false;
    bodyToken(t);
  }
  switch (c) {
    case '\\':
    case '{':
    case '}':
      textByte(static_cast<std::uint8_t>(c), true);
      break;
    case '~':
      unicodeUnit(0x00A0);
      break;
    case '_':
      unicodeUnit(0x2011);
      break;
    case '\r':
    case '\n':
      endOfText();
      paragraphMark();
      break;
    case '\t':
      endOfText();
      emitBody(u'\t');
      break;
    case '*':
      // An ignorable destination: nothing in it is text we keep. In the tables
      // only one that opens its group (as for destination words).
      endOfText();
      if (state_.dest == Dest::Body || firstInGroup_) skipRestOfGroup(lexer);
      break;
    default:  // \- optional hyphen, \: index entry, \| formula, and unknown symbols
      break;
  }
}

void Parser::controlWord(const rtf::Token& t, rtf::Lexer& lexer) {
  // The lexer ends a word at 32 letters; the rest of the letters, with any
  // number and blank, are part of the same (unknown) word, not text.
  if (t.overlong && t.bytes.size() == t.name.size() + 1) lexer.skip(overlongWordTail(in_.substr(lexer.consumed())));
  if (unicodeSkipLeft_ > 0) {
    // A control word (a \binN with its payload) in the fallback of \uN counts as one character.
    --unicodeSkipLeft_;
    return;
  }
  const std::string_view word = t.name;
  const bool hasParam = t.hasParam;
  const int param = t.param;
  // "\uN" (or "\UN"), the commonest word of Tibetan text, before any look-up.
  if (hasParam && word.size() == 1 && (word[0] == 'u' || word[0] == 'U')) {
    if (!bodyStarted_) bodyToken(t);
    unicodeEscape(param, lexer);
    return;
  }
  const Keyword kw = keywordOf(t);
  if (kw.kind != Kw::Unicode) endOfText();
  if (kw.kind != Kw::SkipDestination) onlyIgnorableAfterMark_ = false;
  const bool on = !hasParam || param != 0;
  const bool carrying = state_.dest == Dest::Body && !capturing_;
  if (kw.kind >= Kw::Bold && kw.kind <= Kw::Strike) bodyToken(t);
  if (!firstInGroup_ && isDestination(kw.kind) &&
      (state_.dest != Dest::Body || kw.kind == Kw::FontTable || kw.kind == Kw::ColorTable)) {
    // A table word that does not open its group is read past (the header is
    // carried by whole groups), and in the tables so is any destination word
    // further on in a group: ending the table's reading there would lose the
    // entries the writer adds at the table's end.
    return;
  }
  switch (kw.kind) {
    case Kw::Unknown:
      // Only the word the document opens with ("{\rtf1", "{{\rtf1") says where its header begins.
      if (!rtfSeen_ && word == "rtf" && offsetOf(t) == in_.find_first_not_of('{')) {
        rtfSeen_ = true;
        rtfDepth_ = stack_.size();
        headerStart_ = offsetOf(t) + t.bytes.size();
      } else if (bodyStarted_ && carrying) {
        addMark(t.bytes);
      }
      break;
    case Kw::Extra:
      bodyToken(t);
      // \nosupersub with nothing raised (as the writer puts it after \plain) changes nothing.
      if (carrying && !(state_.extra == 0 && word == "nosupersub")) setExtra(word, t.bytes);
      break;
    case Kw::Ignored:
      break;
    case Kw::Pard:
      bodyToken(t);
      if (!carrying) break;
      if (paragraphWordsSet_) {
        pendingMarks_ += "\\pard";
        paragraphWordsSet_ = false;
        pardPending_ = false;
      } else {
        pardPending_ = true;
      }
      rare_ = true;
      break;
    case Kw::Par:
      bodyToken(t);
      paragraphMark();
      break;
    case Kw::Line:
      bodyToken(t);
      emitBody(u'\v');
      break;
    case Kw::Tab:
      bodyToken(t);
      emitBody(u'\t');
      break;
    case Kw::CellEnd:
    case Kw::RowEnd:
    case Kw::SectionEnd: {
      bodyToken(t);
      const char16_t unit = kw.kind == Kw::CellEnd ? u'\t' : u'\r';
      if (!carrying) {
        emitBody(unit);
        break;
      }
      auto mark = std::make_shared<EmbeddedObject>();
      mark->kind = EmbeddedObject::Kind::Break;
      mark->rtf = "\\";
      mark->rtf += word;
      emitObject(unit, std::move(mark));
      if (unit == u'\r') endParagraph();
      break;
    }
    case Kw::PictureGroup:
    case Kw::ObjectGroup:
      // Inside a carried group, a picture's data and a shape's fallback are not text.
      if (!capturing_ || kw.kind == Kw::PictureGroup || word == "nonshppict") skipRestOfGroup(lexer);
      break;
    case Kw::FootnoteGroup:
    case Kw::FieldGroup:
      if (!capturing_) skipRestOfGroup(lexer);
      break;
    case Kw::Unicode:  // without a number: nothing
      break;
    case Kw::UnicodeSkip:
      state_.unicodeSkip = std::clamp(hasParam ? param : 1, 0, kMaxUnicodeSkip);
      break;
    case Kw::Special:
      bodyToken(t);
      unicodeUnit(kw.special);
      break;
    case Kw::Font:
      bodyToken(t);
      if (state_.dest == Dest::FontTable) {
        beginFontEntry(hasParam ? std::max(param, 0) : 0);  // negative numbers as the body reads them
      } else {
        state_.font = hasParam ? std::max(param, 0) : 0;
        dirty_ = true;
      }
      break;
    case Kw::FontSize:
      bodyToken(t);
      state_.size = (hasParam && param > 0) ? std::min(param, kMaxSizeHalfPoints) : kDefaultSizeHalfPoints;
      dirty_ = true;
      break;
    case Kw::Color:
      bodyToken(t);
      state_.color = hasParam ? std::max(param, 0) : 0;
      dirty_ = true;
      break;
    case Kw::Bold:
      state_.flags = on ? (state_.flags | kBold) : (state_.flags & ~kBold);
      dirty_ = true;
      break;
    case Kw::Italic:
      state_.flags = on ? (state_.flags | kItalic) : (state_.flags & ~kItalic);
      dirty_ = true;
      break;
    case Kw::Underline:
      state_.flags = on ? (state_.flags | kUnderline) : (state_.flags & ~kUnderline);
      dirty_ = true;
      break;
    case Kw::UnderlineNone:
      state_.flags &= ~kUnderline;
      dirty_ = true;
      break;
    case Kw::Strike:
      state_.flags = on ? (state_.flags | kStrike) : (state_.flags & ~kStrike);
      dirty_ = true;
      break;
    case Kw::Plain:
      bodyToken(t);
      state_.font = -1;
      state_.size = kDefaultSizeHalfPoints;
      state_.color = 0;
      state_.flags = 0;
      state_.extra = 0;
      dirty_ = true;
      break;
    case Kw::DefaultFont:
      defaultFont_ = hasParam ? std::max(param, 0) : 0;
      dirty_ = true;
      break;
    case Kw::AnsiCodePage:
      // Inside the colour table the word means nothing; the writer may carry
      // that table to after the font table, where it would change the fonts' code page.
      if (hasParam && state_.dest != Dest::ColorTable) ansiCodePage_ = supportedCodePage(param);
      dirty_ = true;
      break;
    case Kw::FontTable:
    case Kw::ColorTable:
      // A table inside a carried group is carried with it; it does not change
      // what the document's own tables mean. Nor does a table inside the other
      // table (the writer may carry the colour table to after the font table),
      // nor a second colour table: the first one numbers the colours.
      if (capturing_ || state_.dest != Dest::Body ||
          (kw.kind == Kw::ColorTable && colorTableAt_ != std::string_view::npos)) {
        skipRestOfGroup(lexer);
        break;
      }
      if (kw.kind == Kw::ColorTable) {
        if (colorTableAt_ == std::string_view::npos && state_.dest == Dest::Body) {
          colorTableAt_ = lastGroupAt_;
          colorTableDepth_ = stack_.size();
        }
        state_.dest = Dest::ColorTable;
        colors_.clear();
        colorEntrySet_ = false;
        colorEntry_ = Color{};
        dirty_ = true;
        break;
      }
      if (fontTableAt_ == std::string_view::npos && state_.dest == Dest::Body) {
        fontTableAt_ = lastGroupAt_;
        fontTableDepth_ = stack_.size();
      }
      state_.dest = Dest::FontTable;
      break;
    case Kw::FontCharset:
      if (state_.dest == Dest::FontTable && entryOpen_ && hasParam) {
        entryFont_.charset = param;
        entryHasCharset_ = true;
      }
      break;
    case Kw::FontPitch:
      // Pitches are 0, 1 or 2; a negative one means nothing and reads as "not given".
      if (state_.dest == Dest::FontTable && entryOpen_ && hasParam) entryFont_.pitch = param < 0 ? -1 : param;
      break;
    case Kw::FontCodePage:
      if (state_.dest == Dest::FontTable && entryOpen_ && hasParam) entryCodePage_ = supportedCodePage(param);
      break;
    case Kw::FontFamily:
      if (state_.dest == Dest::FontTable && entryOpen_) entryFont_.family = std::string(word);
      break;
    case Kw::Red:
    case Kw::Green:
    case Kw::Blue:
      if (state_.dest == Dest::ColorTable) {
        const auto v = static_cast<std::uint8_t>(std::clamp(hasParam ? param : 0, 0, 255));
        (kw.kind == Kw::Red ? colorEntry_.r : kw.kind == Kw::Green ? colorEntry_.g : colorEntry_.b) = v;
        colorEntrySet_ = true;
      }
      break;
    case Kw::SkipDestination:
      // A destination opens its group; the same word later in a group is
      // read past as a word, not as the end of the group's reading.
      if (firstInGroup_) skipRestOfGroup(lexer);
      break;
    case Kw::Binary:  // the lexer has read past the payload
      break;
  }
}

void Parser::endOfText() {
  unicodeSkipLeft_ = 0;
  char16_t c;
  if (decoder_.flush(c)) emitBody(c);
  if (nameDecoder_.flush(c) && entryOpen_) entryFont_.name.push_back(c);
}

void Parser::unicodeUnit(char16_t c) {
  char16_t pending;
  if (decoder_.flush(pending)) emitBody(pending);
  if (state_.dest == Dest::Body) {
    // A paragraph separator given as \u13 ends its paragraph, as \par does.
    if (c == u'\r') {
      paragraphMark();
    } else {
      emit(c);
    }
  } else if (state_.dest == Dest::FontTable && entryOpen_) {
    if (nameDecoder_.flush(pending)) entryFont_.name.push_back(pending);
    entryFont_.name.push_back(c);
  }
}

void Parser::textByte(std::uint8_t b, bool escaped) {
  char16_t out[2];
  switch (state_.dest) {
    case Dest::Body: {
      if (b < 0x80 && !decoder_.pending()) {
        if (b >= 0x20 || b == '\t') emit(b);
        return;
      }
      if (dirty_) resolveFormat();
      const int n = decoder_.feed(b, currentCodePage_, out);
      for (int i = 0; i < n; ++i) {
        // The byte after a lead byte it does not pair with is read alone, as above.
        if (out[i] >= 0x20 || out[i] == '\t') emit(out[i]);
      }
      return;
    }
    case Dest::FontTable: {
      if (!entryOpen_) return;
      if (b == ';' && !escaped && !nameDecoder_.pending()) {
        commitFontEntry();
        return;
      }
      int page = entryCodePage_;
      if (page == 0) {
        const int fromCharset = entryHasCharset_ ? codePageForCharset(entryFont_.charset) : 0;
        page = fromCharset != 0 ? fromCharset : ansiCodePage_;
      }
      const int n = nameDecoder_.feed(b, page, out);
      for (int i = 0; i < n; ++i) {
        if (out[i] >= 0x20) entryFont_.name.push_back(out[i]);
      }
      return;
    }
    case Dest::ColorTable:
      if (b == ';' && !escaped) commitColor();
      return;
  }
}

void Parser::beginFontEntry(int number) {
  if (entryOpen_) commitFontEntry();
  entryOpen_ = true;
  entryDepth_ = stack_.size();
  entryNumber_ = number;
  entryHasCharset_ = false;
  entryCodePage_ = 0;
  entryFont_ = Font{};
  char16_t dropped;
  nameDecoder_.flush(dropped);
}

void Parser::commitFontEntry() {
  char16_t c;
  if (nameDecoder_.flush(c)) entryFont_.name.push_back(c);
  entryOpen_ = false;
  FontEntry entry;
  entry.font = std::move(entryFont_);
  if (!entryHasCharset_) entry.font.charset = charsetForCodePage(ansiCodePage_);
  int page = entryCodePage_;
  if (page == 0) page = codePageForCharset(entry.font.charset);
  entry.codePage = page != 0 ? page : ansiCodePage_;
  fonts_.try_emplace(entryNumber_, std::move(entry));
  formatCache_.clear();
  dirty_ = true;
}

void Parser::commitColor() {
  if (colors_.size() < kMaxColors) {
    colors_.push_back(colorEntrySet_ ? std::optional<Color>(colorEntry_) : std::nullopt);
  }
  colorEntry_ = Color{};
  colorEntrySet_ = false;
  formatCache_.clear();
}

std::uint32_t Parser::intern(const CharFormat& f) {
  auto it = formatLookup_.find(f);
  if (it != formatLookup_.end()) return it->second;
  const auto index = static_cast<std::uint32_t>(formats.size());
  formats.push_back(f);
  formatLookup_.emplace(f, index);
  return index;
}

void Parser::resolveFormat() {
  dirty_ = false;
  const int fontNumber = state_.font >= 0 ? state_.font : defaultFont_;
  int color = state_.color;
  if (color <= 0 || static_cast<std::size_t>(color) >= colors_.size() || !colors_[color]) color = 0;
  const std::uint64_t key = std::uint64_t{static_cast<std::uint32_t>(fontNumber)} << 32 |
                            std::uint64_t{static_cast<std::uint32_t>(state_.size)} << 20 |
                            std::uint64_t{static_cast<std::uint32_t>(color)} << 4 | state_.flags;
  auto found = fonts_.find(fontNumber);
  if (found == fonts_.end() && state_.font >= 0) found = fonts_.find(defaultFont_);
  currentCodePage_ = found != fonts_.end() ? found->second.codePage : ansiCodePage_;
  const CacheKey cacheKey{key, state_.extra};
  auto cached = formatCache_.find(cacheKey);
  if (cached != formatCache_.end()) {
    currentFormat_ = cached->second;
    return;
  }
  CharFormat f;
  f.font = found != fonts_.end() ? found->second.font : default_.font;
  f.sizeHalfPoints = state_.size;
  if (color > 0) f.color = colors_[color];
  f.bold = state_.flags & kBold;
  f.italic = state_.flags & kItalic;
  f.underline = state_.flags & kUnderline;
  f.strike = state_.flags & kStrike;
  f.extra = extras_[state_.extra];
  currentFormat_ = intern(f);
  formatCache_.emplace(cacheKey, currentFormat_);
}

// True when the text opens with "{\rtf", possibly inside further groups ("{{\rtf1",
// as the Unicode-text routine writes it), after blanks and line breaks.
std::size_t rtfStart(std::string_view rtf, bool& isRtf) {
  std::size_t start = 0;
  while (start < rtf.size() && (rtf[start] == ' ' || rtf[start] == '\t' || rtf[start] == '\r' || rtf[start] == '\n')) {
    ++start;
  }
  std::size_t at = start;
  while (at < rtf.size() && rtf[at] == '{') ++at;
  isRtf = at > start && at + 4 <= rtf.size() && rtf.substr(at - 1, 5) == "{\\rtf";
  return start;
}

}  // namespace

ReadResult RtfReader::read(std::string_view rtf, Document& doc) {
  bool isRtf = false;
  const std::size_t start = rtfStart(rtf, isRtf);
  if (!isRtf) {
    return ReadResult{false, "not RTF: the text does not begin with \"{\\rtf\""};
  }
  Parser parser(rtf.substr(start), doc.default_);
  parser.run();
  doc.clear();
  // Same order, so indexes carry over (each object's format is distinct, so none merge).
  for (const CharFormat& f : parser.formats) doc.internFormat(f);
  doc.text_.assign(parser.text.data(), parser.text.size());
  doc.formatIndex_ = std::move(parser.formatIndex);
  doc.header_ = std::move(parser.header);
  doc.finalLead_ = std::move(parser.finalLead);
  return ReadResult{true, std::move(parser.notes)};
}

}  // namespace yig::rt::detail
