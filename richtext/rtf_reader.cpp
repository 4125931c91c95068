// RTF reader: one pass over the lexer's tokens with an explicit group stack
// (no recursion, so nesting depth costs heap, not stack, and is capped).
//
// What is kept: text, paragraph and line breaks, tabs, and per character the
// font (from the font table), size, colour (from the colour table), bold,
// italic, underline and strike-through. Everything else (paragraph formatting,
// styles, pictures, document information) is read past.
#include <algorithm>
#include <array>
#include <cstdint>
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
  bool hidden = false;
  std::uint8_t flags = 0;
  int font = -1;  // -1: the document's default font (\deff)
  int size = kDefaultSizeHalfPoints;
  int color = 0;
  int unicodeSkip = 1;  // \ucN
};

enum class Kw : std::uint8_t {
  Unknown,
  // text
  Par, Line, Tab, Cell, Row, Unicode, UnicodeSkip, Special,
  // character formatting
  Font, FontSize, Color, Bold, Italic, Underline, UnderlineNone, Strike, Hidden, Plain,
  // document
  DefaultFont, AnsiCodePage,
  // font table
  FontTable, FontCharset, FontPitch, FontCodePage, FontFamily,
  // colour table
  ColorTable, Red, Green, Blue,
  // groups read past
  SkipDestination, Binary,
};

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
    add("cell", Kw::Cell);
    add("nestcell", Kw::Cell);
    add("row", Kw::Row);
    add("nestrow", Kw::Row);
    add("u", Kw::Unicode);
    add("U", Kw::Unicode);  // our own conversions write the escape in upper case
    add("uc", Kw::UnicodeSkip);
    add("emdash", Kw::Special, 0x2014);
    add("endash", Kw::Special, 0x2013);
    add("bullet", Kw::Special, 0x2022);
    add("lquote", Kw::Special, 0x2018);
    add("rquote", Kw::Special, 0x2019);
    add("ldblquote", Kw::Special, 0x201C);
    add("rdblquote", Kw::Special, 0x201D);
    add("emspace", Kw::Special, 0x2003);
    add("enspace", Kw::Special, 0x2002);
    add("qmspace", Kw::Special, 0x2005);
    add("zwj", Kw::Special, 0x200D);
    add("zwnj", Kw::Special, 0x200C);
    add("zwbo", Kw::Special, 0x200B);
    add("ltrmark", Kw::Special, 0x200E);
    add("rtlmark", Kw::Special, 0x200F);
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
    add("v", Kw::Hidden);
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
    for (std::string_view w :
         {"info", "stylesheet", "pict", "fldinst", "header", "headerl", "headerr", "headerf", "footer", "footerl",
          "footerr", "footerf", "footnote", "annotation", "listtable", "listoverridetable", "revtbl", "rsidtbl",
          "xmlnstbl", "filetbl", "objdata", "objclass", "objname", "themedata", "colorschememapping",
          "latentstyles", "datastore", "generator", "mmathPr", "pgdsctbl", "txe", "xe", "tc", "tcn", "bkmkstart",
          "bkmkend", "pn", "template", "userprops", "docvar", "nonshppict", "shpinst", "do", "atnid", "atnauthor",
          "atrfstart", "atrfend", "fontemb", "fontfile", "panose", "falt", "listpicture",
          "pgptbl", "protusertbl", "defchp", "defpap"}) {
      add(w, Kw::SkipDestination);
    }
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

 private:
  // --- groups
  void openGroup();
  void closeGroup();
  void skipRestOfGroup(rtf::Lexer& lexer);

  // --- tokens
  void textRun(std::string_view bytes);
  void controlSymbol(const rtf::Token& t, rtf::Lexer& lexer);
  void controlWord(const rtf::Token& t, rtf::Lexer& lexer);
  void unicodeEscape(int value, rtf::Lexer& lexer);
  void textByte(std::uint8_t b, bool escaped);
  void unicodeUnit(char16_t c);
  void endOfText();

  // --- output
  void emit(char16_t c) {
    onlyIgnorableAfterMark_ = false;
    if (state_.hidden) return;
    if (dirty_) resolveFormat();
    text.push_back(c);
    formatIndex.push_back(currentFormat_);
  }
  void emitBody(char16_t c) {
    if (state_.dest == Dest::Body) emit(c);
  }
  void paragraphMark() {
    emitBody(u'\r');
    lastMarkEnd_ = text.size();
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
  std::unordered_map<std::uint64_t, std::uint32_t> formatCache_;
  std::unordered_map<CharFormat, std::uint32_t, CharFormatHash> formatLookup_;
  std::vector<std::string_view> noted_;
  // Where the last paragraph mark ended the text, and whether only closing
  // braces, line breaks and ignorable groups came after it so far.
  std::size_t lastMarkEnd_ = 0;
  bool onlyIgnorableAfterMark_ = false;
};

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
    switch (t.kind) {
      case rtf::TokenKind::Text:
        textRun(t.bytes);
        break;
      case rtf::TokenKind::HexByte:
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
        openGroup();
        break;
      case rtf::TokenKind::GroupClose:
        endOfText();
        closeGroup();
        break;
      case rtf::TokenKind::End:
      case rtf::TokenKind::NeedMore:
        more = false;
        break;
    }
  }
  endOfText();
  if (entryOpen_) commitFontEntry();
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
  if (!text.empty() && text.back() == u'\r' && text.size() == lastMarkEnd_ && onlyIgnorableAfterMark_) {
    text.pop_back();
    formatIndex.pop_back();
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

void Parser::closeGroup() {
  if (overflowDepth_ > 0) {
    --overflowDepth_;
    return;
  }
  if (stack_.empty()) {  // a closing brace before any group was opened
    rootClosed_ = true;
    return;
  }
  if (entryOpen_ && entryDepth_ >= stack_.size()) commitFontEntry();
  if (state_.dest == Dest::ColorTable && colorEntrySet_ && stack_.back().dest != Dest::ColorTable) commitColor();
  state_ = stack_.back();
  stack_.pop_back();
  dirty_ = true;
  if (stack_.empty()) rootClosed_ = true;
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
          closeGroup();
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
  if (c != '*') onlyIgnorableAfterMark_ = false;
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
      // An ignorable destination: nothing in it is text we keep.
      endOfText();
      skipRestOfGroup(lexer);
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
    unicodeEscape(param, lexer);
    return;
  }
  const Keyword kw = lookupKeyword(word);
  if (kw.kind != Kw::Unicode) endOfText();
  if (kw.kind != Kw::SkipDestination) onlyIgnorableAfterMark_ = false;
  const bool on = !hasParam || param != 0;
  switch (kw.kind) {
    case Kw::Unknown:
      break;
    case Kw::Par:
      paragraphMark();
      break;
    case Kw::Line:
      emitBody(u'\v');
      break;
    case Kw::Tab:
    case Kw::Cell:
      emitBody(u'\t');
      break;
    case Kw::Row:
      if (state_.dest != Dest::Body || state_.hidden) break;
      // The row's last cell mark ends the row: it becomes the paragraph break.
      if (!text.empty() && text.back() == u'\t') {
        text.pop_back();
        formatIndex.pop_back();
      }
      paragraphMark();
      break;
    case Kw::Unicode:  // without a number: nothing
      break;
    case Kw::UnicodeSkip:
      state_.unicodeSkip = std::clamp(hasParam ? param : 1, 0, kMaxUnicodeSkip);
      break;
    case Kw::Special:
      unicodeUnit(kw.special);
      break;
    case Kw::Font:
      if (state_.dest == Dest::FontTable) {
        beginFontEntry(hasParam ? param : 0);
      } else {
        state_.font = hasParam ? std::max(param, 0) : 0;
        dirty_ = true;
      }
      break;
    case Kw::FontSize:
      state_.size = (hasParam && param > 0) ? std::min(param, kMaxSizeHalfPoints) : kDefaultSizeHalfPoints;
      dirty_ = true;
      break;
    case Kw::Color:
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
    case Kw::Hidden:
      state_.hidden = on;
      break;
    case Kw::Plain:
      state_.font = -1;
      state_.size = kDefaultSizeHalfPoints;
      state_.color = 0;
      state_.flags = 0;
      state_.hidden = false;
      dirty_ = true;
      break;
    case Kw::DefaultFont:
      defaultFont_ = hasParam ? std::max(param, 0) : 0;
      dirty_ = true;
      break;
    case Kw::AnsiCodePage:
      if (hasParam) ansiCodePage_ = supportedCodePage(param);
      dirty_ = true;
      break;
    case Kw::FontTable:
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
    case Kw::ColorTable:
      state_.dest = Dest::ColorTable;
      colors_.clear();
      colorEntrySet_ = false;
      colorEntry_ = Color{};
      dirty_ = true;
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
      skipRestOfGroup(lexer);
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
    emit(c);
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
      for (int i = 0; i < n; ++i) emit(out[i]);
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
  auto cached = formatCache_.find(key);
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
  currentFormat_ = intern(f);
  formatCache_.emplace(key, currentFormat_);
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
  for (const CharFormat& f : parser.formats) doc.internFormat(f);  // same order, so indexes carry over
  doc.text_.assign(parser.text.data(), parser.text.size());
  doc.formatIndex_ = std::move(parser.formatIndex);
  return ReadResult{true, std::move(parser.notes)};
}

}  // namespace yig::rt::detail
