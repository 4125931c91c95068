#include "engine/convert_core.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

#include "engine/codec/cp936.h"
#include "engine/sambhota.h"
#include "engine/unit_matcher.h"
#include "richtext/codepages.h"
#include "richtext/rtf_lexer.h"

namespace yig::conv {
namespace {

using rtf::Token;
using rtf::TokenKind;

constexpr std::u16string_view kIncomplete = u"文本不是完整的RTF文档，未作转换！";
constexpr std::u16string_view kNoFontTable = u"RTF文档中无字体表，未作转换！";
constexpr std::size_t kFlushAt = 1 << 16;
// Output held back while the end of the header is not yet known (a colour
// table may still follow); past this the missing table is added at once.
constexpr std::size_t kMaxHeld = 1 << 20;
constexpr int kMaxUnicodeSkip = 16;
constexpr std::size_t kMaxDepth = 100000;

// Where a group's bytes go.
enum class Dest : std::uint8_t {
  Text,        // document text: converted where its font is a source font
  Skip,        // copied without looking at its text
  FontTable,   // the font table group
  FontEntry,   // one entry of it
  FontInner,   // a group inside an entry: {\*\panose ...}, {\*\falt ...}
  FontAlt,     // {\*\falt name} inside an entry
  ColorTable,
  StyleSheet,
  StyleEntry,
  Upr,         // \upr: the first inner group is the ANSI copy of the \*\ud one
};

// How \f and \af are read: which slot the next font word sets.
enum class RunType : std::uint8_t { None, Loch, Hich, Dbch, RtlLtr1, RtlLtr2, LtrRtl1, LtrRtl2 };

struct Fonts {
  int f = -1;  // the \f in effect; -1: \deff
  int latin = -1, eastAsia = -1, complex = -1;
  RunType run = RunType::None;

  void set(int n, bool associated) {
    if (!associated) f = n;
    switch (run) {
      case RunType::Hich:
      case RunType::RtlLtr1:
      case RunType::LtrRtl2:
        complex = n;
        break;
      case RunType::Dbch:
        eastAsia = n;
        break;
      default:
        latin = n;
        break;
    }
  }
  void overlay(const Fonts& o) {
    if (o.f >= 0) f = o.f;
    if (o.latin >= 0) latin = o.latin;
    if (o.eastAsia >= 0) eastAsia = o.eastAsia;
    if (o.complex >= 0) complex = o.complex;
  }
};

struct State {
  Fonts fonts;
  std::uint8_t uc = 1;
  Dest dest = Dest::Text;
  bool starred = false;    // "\*" seen, destination word not yet
  bool fresh = true;       // no control word yet in this group
  int source = -2;         // the source font drawing this state's text; -1 none, -2 not worked out
  std::int8_t sambhota = -1;  // with it: the index of its Sambhota font
};

struct FontRecord {
  int charset = -1;
  std::optional<Encoding> encoding;
  int sambhota = -1;  // index of the Sambhota font suffix
};

// One character of a run waiting to be converted.
struct Item {
  char16_t ch;
  // Its bytes in the run buffer: [begin, trail) the character itself (with its
  // fallback and line breaks), [trail, end) braces and formatting that stood
  // between it and the next character of the run.
  std::uint32_t begin, trail, end;
  std::uint32_t held, heldEnd;  // braces met between a lead and a trail byte (empty when none)
  std::uint64_t offset;      // where it stood in the input
  bool fromUnicode;          // written as \uN (not as bytes)
  std::int8_t font;          // Sambhota font index
};


// A control word's name compared with a literal (inlined for short names).
template <std::size_t N>
bool is(std::string_view w, const char (&literal)[N]) {
  return w.size() == N - 1 && std::memcmp(w.data(), literal, N - 1) == 0;
}

void appendNumber(std::string& out, long long n) {
  char buf[24];
  int len = 0;
  bool neg = n < 0;
  unsigned long long v = neg ? 0ULL - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
  do {
    buf[len++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  if (neg) out += '-';
  while (len > 0) out += buf[--len];
}

// "\uN" with N signed 16-bit, and `fallbacks` question marks.
void appendUnicode(std::string& out, char16_t c, int fallbacks) {
  out += "\\u";
  appendNumber(out, static_cast<std::int16_t>(c));
  for (int i = 0; i < fallbacks; ++i) out += '?';
}

void appendHex(std::string& out, unsigned char b) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out += "\\'";
  out += kDigits[b >> 4];
  out += kDigits[b & 15];
}

// A character written as RTF text: ASCII as it stands (with \ { } escaped).
void appendAscii(std::string& out, char c) {
  if (c == '\\' || c == '{' || c == '}') out += '\\';
  out += c;
}

}  // namespace

// One direction through Unicode: X -> HIMA or HIMA -> X.
class Converter::Stage {
 public:
  Stage(Encoding from, Encoding to, const Options& options, Sink sink, Callbacks callbacks)
      : from_(from), to_(to), options_(options), sink_(std::move(sink)), callbacks_(std::move(callbacks)) {
    stack_.push_back(State{});
  }

  bool stopped() const { return status_ != Status::Converted; }

  bool feed(std::string_view chunk) {
    while (!chunk.empty() && !stopped()) {
      if (carry_.empty()) {
        rtf::Lexer lexer(chunk, false);
        const std::size_t done = run(lexer);
        consumedBase_ += done;
        carry_.assign(chunk.substr(done));
        break;
      }
      // A token cut at the end of the last chunk: complete it in the carried
      // bytes (taking more each time, for a long \bin payload), then go on
      // in the chunk itself.
      const std::size_t old = carry_.size();
      const std::size_t take = std::min(chunk.size(), std::max<std::size_t>(4096, old));
      carry_.append(chunk.substr(0, take));
      chunk.remove_prefix(take);
      rtf::Lexer lexer(carry_, false);
      const std::size_t done = run(lexer);
      consumedBase_ += done;
      carry_.erase(0, done);
      if (done >= old && !stopped()) {
        const std::size_t back = carry_.size();  // the chunk's own bytes not yet read
        chunk = std::string_view(chunk.data() - back, chunk.size() + back);
        carry_.clear();
      }
    }
    report();
    return !stopped();
  }

  Result finish() {
    if (!stopped()) {
      std::string rest;
      rest.swap(carry_);
      rtf::Lexer lexer(rest, true);
      consumedBase_ += run(lexer);
      if (!stopped()) {
        flushRun();
        if (!sawRtf_ || depth_ > 0) {
          stop(Status::Incomplete);
        } else if (!sawFontTable_) {
          stop(Status::NoFontTable);
        } else {
          if (awaitingColors_) insertColorTable();
          flushOut(true);
          if (callbacks_.progress && lastPercent_ != 100) callbacks_.progress(100);
        }
      }
    }
    Result r;
    r.status = status_;
    r.stats = std::move(stats_);
    if (status_ == Status::NoTable) {
      r.message = u"找不到" + std::u16string(info(toUnicode() ? from_ : to_).code) + u"转换表！";
    } else if (status_ != Status::Converted) {
      r.message = statusMessage(status_, from_);
    }
    return r;
  }

  void stop(Status s) {
    if (!stopped()) status_ = s;
  }

  Stats& stats() { return stats_; }

 private:
  bool toUnicode() const { return to_ == Encoding::HIMA; }

  // --- tables ---------------------------------------------------------------

  bool loadTables() {
    if (tablesLoaded_) return !stopped();
    tablesLoaded_ = true;
    const TableSource& source = options_.tables ? *options_.tables : builtinTables();
    const Encoding other = toUnicode() ? from_ : to_;
    const std::string code(info(other).table);
    if (other == Encoding::SAM) {
      auto table = SharedMappingTable(
          code, toUnicode() ? TableDirection::SambhotaToUnicode : TableDirection::UnicodeToSambhota, source);
      if (!table) return stop(Status::NoTable), false;
      if (toUnicode()) {
        readingMap_ = table;
        buildSambhotaReading(*table);
      } else {
        writingMap_ = table;
        matcher_ = std::make_unique<UnitMatcher>(*table);
        buildSambhotaWriting();
      }
    } else if (toUnicode()) {
      auto table = SharedMappingTable(code, TableDirection::NationalToUnicode, source);
      if (!table) return stop(Status::NoTable), false;
      readingMap_ = table;
      nationalValue_.assign(0x10000, 0);
      values_.assign(1, std::u16string());
      table->forEach([&](std::u16string_view key, std::u16string_view value) {
        if (key.size() != 1 || value.empty()) return;
        nationalValue_[key[0]] = static_cast<std::uint32_t>(values_.size());
        values_.emplace_back(value);
      });
    } else {
      auto table = SharedMappingTable(code, TableDirection::UnicodeToNational, source);
      if (!table) return stop(Status::NoTable), false;
      writingMap_ = table;
      matcher_ = std::make_unique<UnitMatcher>(*table);
    }
    return true;
  }

  void buildSambhotaReading(const MappingTable& map) {
    // Keys are "Dedris-<suffix> <glyph>".
    samValue_.assign(kSambhotaFontsPerFamily * 256, 0);
    values_.assign(1, std::u16string());
    map.forEach([&](std::u16string_view key, std::u16string_view value) {
      if (key.size() < 3 || value.empty()) return;
      const std::size_t blank = key.rfind(u' ', key.size() - 2);
      if (blank == std::u16string_view::npos || blank + 2 != key.size()) return;
      auto index = sambhotaFontIndex(key.substr(0, blank));
      const char16_t glyph = key.back();
      if (!index || glyph > 0xFF) return;
      samValue_[*index * 256 + glyph] = static_cast<std::uint32_t>(values_.size());
      values_.emplace_back(value);
    });
  }

  void buildSambhotaWriting() {
    // Values are "f<10+index> <glyph>".
    samWritten_.resize(matcher_->valueCount());
    for (std::size_t i = 0; i < samWritten_.size(); ++i) {
      const std::u16string& v = matcher_->valueAt(i);
      int font = 0;
      std::size_t k = 1;
      while (k < v.size() && v[k] >= u'0' && v[k] <= u'9') font = font * 10 + (v[k++] - u'0');
      if (v.empty() || v[0] != u'f' || k + 2 != v.size() || v[k] != u' ' || font < 10 || font > 39 || v[k + 1] > 0xFF) {
        samWritten_[i] = {-1, 0};
      } else {
        samWritten_[i] = {font - 10, static_cast<unsigned char>(v[k + 1])};
      }
    }
  }

  // --- the token loop -------------------------------------------------------

  // Processes tokens until the lexer needs more input; returns the bytes used.
  std::size_t run(rtf::Lexer& lexer) {
    std::size_t sinceCheck = 0;
    for (;;) {
      const std::size_t before = lexer.consumed();
      Token t = lexer.next();
      if (t.kind == TokenKind::NeedMore || t.kind == TokenKind::End) return before;
      offset_ = consumedBase_ + before;
      token(t);
      if (stopped()) return lexer.consumed();
      if (t.kind == TokenKind::HexByte && !items_.empty() && !leadPending_ && info(from_).national) gbkPairs(lexer);
      if (from_ == Encoding::SAM && !items_.empty() && skip_ == 0) samGlyphs(lexer);
      if (skip_ == 1) {
        // The usual one-character fallback of a \uN, taken without a token.
        const std::string_view fallback = lexer.takeIf('?');
        if (!fallback.empty()) {
          skip_ = 0;
          fallbackBytes(fallback);
          if (from_ == Encoding::HIMA && !items_.empty()) tibetanEscapes(lexer);
        }
      }
      sinceCheck += t.bytes.size();
      if (sinceCheck >= kFlushAt) {
        sinceCheck = 0;
        lexerDone_ = consumedBase_ + lexer.consumed();
        report();
        if (callbacks_.cancelled && callbacks_.cancelled()) {
          stop(Status::Cancelled);
          return lexer.consumed();
        }
      }
    }
  }

  // Unicode Tibetan as most writers put it: "\uNNNN?" after "\uNNNN?" in one
  // run. While the next bytes are such an escape of a Tibetan character, it is
  // taken into the run here, without the general token path (same result).
  void tibetanEscapes(rtf::Lexer& lexer) {
    if (top().uc != 1) return;
    const std::string_view in = lexer.input();
    std::size_t p = lexer.consumed();
    while (p + 7 <= in.size() && in[p] == '\\' && in[p + 1] == 'u' && in[p + 6] == '?') {
      int value = 0;
      bool digits = true;
      for (std::size_t k = p + 2; k < p + 6; ++k) {
        if (in[k] < '0' || in[k] > '9') {
          digits = false;
          break;
        }
        value = value * 10 + (in[k] - '0');
      }
      if (!digits || value < 0x0F00 || value > 0x0FFF) break;
      offset_ = consumedBase_ + p;
      addItem(static_cast<char16_t>(value), in.substr(p, 7), true);
      p += 7;
      if (items_.empty()) break;  // the run was flushed: go back to the token path
    }
    lexer.skip(p - lexer.consumed());
  }

  // National text as Word writes it: "\'hh\'hh" pairs one after another in a
  // run. While the next eight bytes are such a pair, it is taken into the run
  // here, without the general token path (same result).
  void gbkPairs(rtf::Lexer& lexer) {
    const std::string_view in = lexer.input();
    std::size_t p = lexer.consumed();
    auto hex = [](char c) { return rtf::lexer_detail::hexValue(c); };
    while (p + 8 <= in.size() && in[p] == '\\' && in[p + 1] == '\'' && in[p + 4] == '\\' && in[p + 5] == '\'') {
      const int a = hex(in[p + 2]), b = hex(in[p + 3]), c = hex(in[p + 6]), d = hex(in[p + 7]);
      if ((a | b | c | d) < 0) break;
      const auto lead = static_cast<std::uint8_t>(a * 16 + b), trail = static_cast<std::uint8_t>(c * 16 + d);
      if (!cp936::isLeadByte(lead)) break;
      const auto ch = cp936::decodePair(lead, trail);
      if (!ch) break;
      offset_ = consumedBase_ + p;
      addItem(*ch, in.substr(p, 8), false);
      p += 8;
      if (items_.empty()) break;  // the run was flushed: go back to the token path
    }
    lexer.skip(p - lexer.consumed());
  }

  // Sambhota as it is written: glyph bytes, and between them switches to
  // other fonts of the block ("\f12 "). While the next bytes are such, they
  // are taken into the run here, without the general token path (same result).
  void samGlyphs(rtf::Lexer& lexer) {
    const std::string_view in = lexer.input();
    std::size_t p = lexer.consumed();
    State& s = top();
    if (s.dest != Dest::Text) return;
    while (p < in.size()) {
      const char c = in[p];
      if (c == '\\') {
        if (p + 2 >= in.size() || in[p + 1] != 'f' || !rtf::lexer_detail::isDigit(in[p + 2])) break;
        std::size_t q = p + 2;
        int n = 0;
        while (q < in.size() && q < p + 7 && rtf::lexer_detail::isDigit(in[q])) n = n * 10 + (in[q++] - '0');
        if (q >= in.size() || rtf::lexer_detail::isDigit(in[q]) || rtf::lexer_detail::isLetter(in[q]) || in[q] == '-') break;
        Item& last = items_.back();
        if (!isSource(n) || last.trail != last.end) break;
        if (in[q] == ' ') ++q;
        runBytes_.append(in.substr(p, q - p));
        last.end = last.trail = static_cast<std::uint32_t>(runBytes_.size());
        absorbedAt_ = static_cast<std::uint32_t>(runBytes_.size() - (q - p));
        absorbedLength_ = static_cast<std::uint32_t>(q - p);
        s.fresh = false;
        s.fonts.set(n, false);
        s.source = -2;
        p = q;
        continue;
      }
      if (c == '{' || c == '}' || c == '\r' || c == '\n' || sourceFont(s) < 0) break;
      offset_ = consumedBase_ + p;
      addItem(static_cast<unsigned char>(c), in.substr(p, 1), false);
      ++p;
      if (items_.empty()) break;  // the run was flushed: go back to the token path
    }
    lexer.skip(p - lexer.consumed());
  }

  void report() {
    if (!callbacks_.progress || options_.totalBytes == 0) return;
    const std::uint64_t done = std::max(lexerDone_, consumedBase_);
    const int p = static_cast<int>(std::min<std::uint64_t>(99, done * 100 / options_.totalBytes));
    if (p != lastPercent_) {
      lastPercent_ = p;
      callbacks_.progress(p);
    }
  }

  State& top() { return stack_.back(); }

  void token(const Token& t) {
    if (afterEnd_) {
      // After the document's last brace only blanks and line breaks (and the
      // NULs some writers pad with) may follow.
      if (t.kind != TokenKind::Text || t.bytes.find_first_not_of(std::string_view(" \t\r\n\0", 5)) != std::string_view::npos) {
        stop(Status::Incomplete);
        return;
      }
      emit(t.bytes);
      return;
    }
    if (t.kind == TokenKind::ControlWord && t.overlong) {
      // Not RTF: no reader takes such a word, and it is not ours to repair.
      stop(Status::Incomplete);
      return;
    }
    // \ucN fallback characters after a \uN escape.
    if (skip_ > 0) {
      if (t.kind != TokenKind::Text && t.kind != TokenKind::HexByte) {
        // Only text stands in for a \uN; a brace or a control word ends the
        // fallback and is kept.
        skip_ = 0;
      } else if (t.kind == TokenKind::Text) {
        std::string_view text = t.bytes;
        std::size_t used = 0;
        while (used < text.size() && skip_ > 0) {
          if (text[used] != '\r' && text[used] != '\n') --skip_;
          ++used;
        }
        fallbackBytes(text.substr(0, used));
        if (used == text.size()) return;
        Token rest = t;
        rest.bytes = rest.payload = text.substr(used);
        offset_ += used;
        token(rest);
        return;
      } else {
        --skip_;
        fallbackBytes(t.bytes);
        return;
      }
    }
    if (leadPending_ && heldBraces_ > 0 && heldBraces_ < 8 && t.kind == TokenKind::ControlWord &&
        isRunFormatting(t.name)) {
      // A group between the two bytes of a character repeats its formatting.
      ++heldBraces_;
      runBytes_.append(t.bytes);
      top().fresh = false;
      characterWord(top(), t.name, t);
      return;
    }
    if (leadPending_ && !continuesPair(t)) abandonLead();
    if (!leadPending_ && !items_.empty() && holdInRun(t)) return;

    switch (t.kind) {
      case TokenKind::GroupOpen:
        groupOpen(t);
        break;
      case TokenKind::GroupClose:
        groupClose(t);
        break;
      case TokenKind::ControlWord:
        controlWord(t);
        break;
      case TokenKind::ControlSymbol:
        controlSymbol(t);
        break;
      case TokenKind::HexByte:
        hexByte(t);
        break;
      case TokenKind::Binary:
        flushRun();
        emit(t.bytes);
        break;
      case TokenKind::Text:
        text(t);
        break;
      default:
        break;
    }
  }

  // Character formatting: words that change how a run looks, not where it goes.
  static bool isRunFormatting(std::string_view w) {
    static constexpr std::array<std::string_view, 67> kWords = {
      "ab", "acaps", "acf", "adn", "aexpnd", "af", "afs", "ai", "alang", "animtext", "aoutl", "ascaps",
      "ashad", "aul", "aup", "b", "caps", "cb", "cf", "charrsid", "charscalex", "chcbpat", "chcfpat",
      "chshdng", "crauth", "crdate", "cs", "dbch", "delrsid", "dn", "embo", "expnd", "expndtw", "f", "fcs",
      "fittext", "fs", "hich", "highlight", "i", "impr", "insrsid", "kerning", "lang", "langfe", "langfenp",
      "langnp", "loch", "ltrch", "noproof", "nosupersub", "outl", "plain", "revauth", "revdttm", "rtlch",
      "scaps", "shad", "strike", "striked", "sub", "super", "ul", "ulc", "ulnone", "up", "webhidden"};
    static_assert(std::is_sorted(kWords.begin(), kWords.end()));
    if (is(w, "f") || is(w, "af") || is(w, "fs") || is(w, "cf") || is(w, "loch") || is(w, "hich") || is(w, "dbch"))
      return true;
    if (w.size() > 2 && w[0] == 'u' && w[1] == 'l') return true;  // the underline styles
    return std::binary_search(kWords.begin(), kWords.end(), w);
  }

  // Braces and character formatting between two characters of a run do not
  // end it: a stack that a writer split over two groups is still one unit.
  // They are kept, in order, after the converted text.
  bool holdInRun(const Token& t) {
    if (t.kind != TokenKind::GroupOpen && t.kind != TokenKind::GroupClose &&
        (t.kind != TokenKind::ControlWord || (t.name.size() == 1 && (t.name[0] == 'u' || t.name[0] == 'U')))) {
      return false;
    }
    const bool brace = t.kind == TokenKind::GroupOpen || (t.kind == TokenKind::GroupClose && depth_ > 1);
    const bool formatting = t.kind == TokenKind::ControlWord &&
                            !(from_ == Encoding::SAM && is(t.name, "f") && items_.back().trail == items_.back().end) &&
                            isRunFormatting(t.name);
    if (!brace && !formatting) return false;
    Item& item = items_.back();
    if (absorbedLength_ != 0) {
      // The Sambhota font the run had switched to holds for what follows.
      runBytes_.append(runBytes_, absorbedAt_, absorbedLength_);
      absorbedLength_ = 0;
    }
    runBytes_.append(t.bytes);
    item.end = static_cast<std::uint32_t>(runBytes_.size());
    if (t.kind == TokenKind::GroupOpen) {
      pushGroup();
    } else if (t.kind == TokenKind::GroupClose) {
      popGroup();
    } else {
      top().fresh = false;
      top().starred = false;
      characterWord(top(), t.name, t);
    }
    if (item.end - item.trail > 4096) flushRun();
    return true;
  }

  // A lead byte waits for its trail byte across braces and line breaks.
  bool continuesPair(const Token& t) const {
    return t.kind == TokenKind::HexByte || t.kind == TokenKind::Text || t.kind == TokenKind::GroupOpen ||
           t.kind == TokenKind::GroupClose;
  }

  void groupOpen(const Token& t) {
    if (leadPending_ && heldBraces_ < 8) {
      ++heldBraces_;
      runBytes_.append(t.bytes);
      pushGroup();
      return;
    }
    if (leadPending_) abandonLead();
    flushRun();
    emit(t.bytes);
    pushGroup();
  }

  void pushGroup() {
    State s = top();
    s.starred = false;
    s.fresh = true;
    if (s.dest == Dest::FontTable) s.dest = Dest::FontEntry;
    else if (s.dest == Dest::FontEntry) s.dest = Dest::FontInner;
    else if (s.dest == Dest::FontAlt || s.dest == Dest::FontInner) s.dest = Dest::Skip;
    else if (s.dest == Dest::StyleSheet) s.dest = Dest::StyleEntry;
    else if (s.dest == Dest::StyleEntry || s.dest == Dest::ColorTable) s.dest = Dest::Skip;
    else if (s.dest == Dest::Upr) s.dest = Dest::Skip;  // the ANSI copy, unless \*\ud follows
    if (s.dest == Dest::FontEntry) beginFontEntry();
    if (s.dest == Dest::StyleEntry && top().dest == Dest::StyleSheet) {
      styleEntry_ = {};
      s.fonts = Fonts{};  // a style records only the fonts it names itself
      s.source = -2;
    }
    if (stack_.size() >= kMaxDepth) {
      // Deeper groups share the state of their parent.
      ++overflow_;
    } else {
      stack_.push_back(s);
    }
    ++depth_;
  }

  void groupClose(const Token& t) {
    if (leadPending_ && heldBraces_ < 8 && depth_ > 1) {
      ++heldBraces_;
      runBytes_.append(t.bytes);
      popGroup();
      return;
    }
    if (leadPending_) abandonLead();
    flushRun();
    if (depth_ == 0) {
      // A brace that closes nothing: the document is not well formed.
      stop(Status::Incomplete);
      return;
    }
    const Dest closing = top().dest;
    if (closing == Dest::FontEntry) endFontEntry();
    if (closing == Dest::StyleEntry) endStyleEntry();
    if (closing == Dest::FontTable && overflow_ == 0) {
      endFontTable();
      if (stopped()) return;
    }
    if (closing == Dest::ColorTable && overflow_ == 0) endColorTable();
    emit(t.bytes);
    popGroup();
    if (depth_ == 0) afterEnd_ = true;
  }

  void popGroup() {
    if (overflow_ > 0) {
      --overflow_;
    } else if (stack_.size() > 1) {
      stack_.pop_back();
    }
    --depth_;
  }

  // --- control words ----------------------------------------------------------

  void controlWord(const Token& t) {
    State& s = top();
    const std::string_view w = t.name;
    const bool firstWord = s.fresh;
    s.fresh = false;

    if (t.hasParam && w.size() == 1 && (w[0] == 'u' || w[0] == 'U')) {
      unicodeChar(t);
      return;
    }
    if (from_ == Encoding::SAM && !items_.empty() && items_.back().trail == items_.back().end && is(w, "f") &&
        t.hasParam && isSource(t.param) && s.dest == Dest::Text) {
      // Sambhota draws one stack with glyphs of several fonts: the switch
      // belongs to the run (and to the unconverted bytes where a glyph stays).
      runBytes_.append(t.bytes);
      items_.back().end = items_.back().trail = static_cast<std::uint32_t>(runBytes_.size());
      absorbedAt_ = static_cast<std::uint32_t>(runBytes_.size() - t.bytes.size());
      absorbedLength_ = static_cast<std::uint32_t>(t.bytes.size());
      characterWord(s, w, t);
      return;
    }
    flushRun();
    emit(t.bytes);

    if (!sawRtf_) {
      if (is(w, "rtf")) sawRtf_ = true;
      return;
    }
    if (s.starred || firstWord) {
      const bool starred = s.starred;
      s.starred = false;
      if (destination(s, w, starred)) return;
    }
    if (s.dest == Dest::Skip) return;
    if (s.dest == Dest::ColorTable) {
      colorWord(w, t);
      return;
    }
    if (s.dest == Dest::FontEntry || s.dest == Dest::FontTable) {
      fontEntryWord(w, t);
      return;
    }
    characterWord(s, w, t);
  }

  // The first word of a group: is the group a destination of its own?
  // Returns true when the word has been dealt with.
  bool destination(State& s, std::string_view w, bool starred) {
    if (s.dest == Dest::FontInner) {
      s.dest = is(w, "falt") ? Dest::FontAlt : Dest::Skip;
      return true;
    }
    if (s.dest == Dest::Skip && !(is(w, "ud") && starred && parentIsUpr())) return true;
    if (is(w, "fonttbl")) {
      s.dest = Dest::FontTable;
      return true;
    }
    if (is(w, "colortbl")) {
      s.dest = Dest::ColorTable;
      beginColorTable();
      return true;
    }
    if (is(w, "stylesheet")) {
      s.dest = Dest::StyleSheet;
      return true;
    }
    if (is(w, "ud") && parentIsUpr()) {
      s.dest = Dest::Text;
      return true;
    }
    if (s.dest == Dest::StyleEntry) {
      if (starred && (is(w, "cs") || is(w, "ds") || is(w, "ts"))) return false;  // {\*\csN ...}
      if (starred) s.dest = Dest::Skip;
      return starred;
    }
    if (is(w, "upr")) {
      s.dest = Dest::Upr;
      return true;
    }
    if (rtf::isNonTextDestination(w)) {
      s.dest = Dest::Skip;
      return true;
    }
    if (starred) {
      // Unknown to most readers and skipped by them, except the destinations
      // that hold shapes' and comments' text.
      if (!is(w, "shpinst") && !is(w, "annotation") && !is(w, "shptxt") && !is(w, "footnote")) s.dest = Dest::Skip;
      return true;
    }
    return false;
  }

  bool parentIsUpr() const { return stack_.size() >= 2 && stack_[stack_.size() - 2].dest == Dest::Upr; }

  void characterWord(State& s, std::string_view w, const Token& t) {
    const int n = t.hasParam ? t.param : 0;
    auto changed = [&] { s.source = -2; };
    switch (w.size()) {
      case 1:
        if (is(w, "f")) {
          s.fonts.set(n, false);
          changed();
        } else if (is(w, "s")) {
          if (s.dest == Dest::StyleEntry) {
            styleEntry_ = {n, false};
          } else {
            applyStyle(s, n, false);
          }
        }
        return;
      case 2:
        if (is(w, "af")) {
          s.fonts.set(n, true);
          changed();
        } else if (is(w, "uc")) {
          s.uc = static_cast<std::uint8_t>(std::clamp(n, 0, kMaxUnicodeSkip));
        } else if (is(w, "cs")) {
          if (s.dest == Dest::StyleEntry) {
            styleEntry_ = {n, true};
          } else {
            applyStyle(s, n, true);
          }
        } else if ((is(w, "ds") || is(w, "ts")) && s.dest == Dest::StyleEntry) {
          styleEntry_ = {-1, false};  // section and table styles carry no run fonts
        }
        return;
      default:
        break;
    }
    if (is(w, "loch")) {
      s.fonts.run = RunType::Loch;
    } else if (is(w, "hich")) {
      s.fonts.run = RunType::Hich;
    } else if (is(w, "dbch")) {
      s.fonts.run = RunType::Dbch;
    } else if (is(w, "rtlch")) {
      s.fonts.run = s.fonts.run == RunType::LtrRtl1 ? RunType::LtrRtl2 : RunType::RtlLtr1;
    } else if (is(w, "ltrch")) {
      s.fonts.run = s.fonts.run == RunType::RtlLtr1 ? RunType::RtlLtr2 : RunType::LtrRtl1;
    } else if (is(w, "plain")) {
      s.fonts = Fonts{};
      changed();
    } else if (is(w, "deff")) {
      deff_ = n;
      changed();
    } else if (is(w, "adeff")) {
      adeff_ = n;
      changed();
    } else if (is(w, "ansicpg")) {
      ansiCodePage_ = n;
    } else if (is(w, "pard") || is(w, "sectd") || is(w, "par") || is(w, "viewkind") || is(w, "ltrpar") || is(w, "rtlpar")) {
      if (depth_ == 1) headerEnds();
    }
  }

  void applyStyle(State& s, int n, bool character) {
    auto it = styles_.find(character ? -1 - n : n);
    if (it == styles_.end()) return;
    s.fonts.overlay(it->second);
    s.source = -2;
  }

  void controlSymbol(const Token& t) {
    State& s = top();
    if (t.symbol == '*') {
      flushRun();
      emit(t.bytes);
      s.starred = true;
      return;
    }
    s.fresh = false;
    const bool literal = t.symbol == '\\' || t.symbol == '{' || t.symbol == '}';
    if (s.dest == Dest::FontEntry || s.dest == Dest::FontTable || s.dest == Dest::FontAlt) {
      flushRun();
      emit(t.bytes);
      if (literal) fontNameByte(static_cast<unsigned char>(t.symbol));
      return;
    }
    if (s.dest == Dest::Text && sawRtf_) {
      headerEnds();
      if (stopped()) return;
      if (literal && from_ == Encoding::SAM && sourceFont(s) >= 0) {
        addItem(static_cast<char16_t>(t.symbol), t.bytes, false);
        return;
      }
    }
    flushRun();
    emit(t.bytes);
  }

  // --- text ---------------------------------------------------------------------

  void text(const Token& t) {
    State& s = top();
    if (s.dest == Dest::FontEntry || s.dest == Dest::FontTable || s.dest == Dest::FontAlt) {
      flushRun();
      emit(t.bytes);
      for (char c : t.bytes) fontNameByte(static_cast<unsigned char>(c));
      return;
    }
    if (s.dest == Dest::StyleEntry) s.fresh = false;
    if (s.dest == Dest::ColorTable) {
      flushRun();
      emit(t.bytes);
      for (char c : t.bytes) {
        if (c == ';') colorEntryEnd();
      }
      return;
    }
    if (s.dest != Dest::Text || !sawRtf_) {
      flushRun();
      emit(t.bytes);
      return;
    }
    if (!onlyLineBreaks(t.bytes)) headerEnds();
    if (stopped()) return;
    const int font = sourceFont(s);
    if (font < 0 || from_ == Encoding::HIMA) {
      // No character of these bytes is a source character (Unicode Tibetan
      // only comes as \uN escapes); line breaks inside a run stay with it.
      if (!items_.empty() && onlyLineBreaks(t.bytes)) {
        lineBreaksInRun(t.bytes);
        return;
      }
      flushRun();
      emit(t.bytes);
      return;
    }
    // Bytes in a source font.
    const std::string_view b = t.bytes;
    const std::uint64_t at = offset_;
    for (std::size_t i = 0; i < b.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(b[i]);
      offset_ = at + i;
      if (c == '\r' || c == '\n') {
        if (leadPending_) {
          runBytes_ += static_cast<char>(c);
        } else if (!items_.empty()) {
          lineBreaksInRun(b.substr(i, 1));
        } else {
          emit(b.substr(i, 1));
        }
        continue;
      }
      byteChar(c, b.substr(i, 1));
    }
  }

  // Line breaks between characters of a run stay with it (RTF ignores them).
  void lineBreaksInRun(std::string_view b) {
    Item& item = items_.back();
    const bool plain = item.trail == item.end;
    runBytes_.append(b);
    item.end = static_cast<std::uint32_t>(runBytes_.size());
    if (plain) item.trail = item.end;
  }

  static bool onlyLineBreaks(std::string_view b) {
    for (char c : b) {
      if (c != '\r' && c != '\n') return false;
    }
    return true;
  }

  void hexByte(const Token& t) {
    State& s = top();
    if (s.dest == Dest::FontEntry || s.dest == Dest::FontTable || s.dest == Dest::FontAlt) {
      flushRun();
      emit(t.bytes);
      fontNameByte(t.byte);
      return;
    }
    if (s.dest != Dest::Text || !sawRtf_) {
      flushRun();
      emit(t.bytes);
      return;
    }
    headerEnds();
    if (stopped()) return;
    if (from_ == Encoding::HIMA || sourceFont(s) < 0) {
      flushRun();
      emit(t.bytes);
      return;
    }
    byteChar(t.byte, t.bytes);
  }

  // One byte of text in a source font (national: code page 936; Sambhota: a glyph).
  void byteChar(unsigned char c, std::string_view bytes) {
    if (from_ == Encoding::SAM) {
      addItem(c, bytes, false);
      return;
    }
    if (leadPending_) {
      Item& item = items_.back();
      item.heldEnd = static_cast<std::uint32_t>(runBytes_.size());
      runBytes_.append(bytes);
      item.end = item.trail = static_cast<std::uint32_t>(runBytes_.size());
      leadPending_ = false;
      heldBraces_ = 0;
      auto ch = cp936::decodePair(leadByte_, c);
      if (ch) {
        item.ch = *ch;
      } else {
        item.ch = 0;  // not a character of code page 936: its bytes stay
        item.held = item.heldEnd;
      }
      return;
    }
    if (c >= 0x80 && cp936::isLeadByte(c)) {
      addItem(0, bytes, false);
      leadPending_ = true;
      leadByte_ = c;
      heldBraces_ = 0;
      items_.back().held = static_cast<std::uint32_t>(runBytes_.size());
      return;
    }
    if (c < 0x80) {
      // ASCII in a national font is not converted.
      flushRun();
      emit(bytes);
      return;
    }
    auto single = cp936::decodeSingle(c);
    addItem(single ? *single : 0, bytes, false);
  }

  void abandonLead() {
    leadPending_ = false;
    heldBraces_ = 0;
    if (!items_.empty()) {
      Item& item = items_.back();
      item.ch = 0;
      item.end = item.trail = item.held = item.heldEnd = static_cast<std::uint32_t>(runBytes_.size());
    }
  }

  void unicodeChar(const Token& t) {
    State& s = top();
    const char16_t ch = static_cast<char16_t>(static_cast<std::uint16_t>(t.param));
    skip_ = s.uc;
    if (s.dest == Dest::FontEntry || s.dest == Dest::FontTable || s.dest == Dest::FontAlt) {
      flushRun();
      emit(t.bytes);
      fontName_ += ch;
      return;
    }
    if (s.dest != Dest::Text || !sawRtf_) {
      flushRun();
      emit(t.bytes);
      return;
    }
    headerEnds();
    if (stopped()) return;
    const int font = sourceFont(s);
    bool source = false;
    if (font >= 0) {
      if (from_ == Encoding::HIMA) {
        source = ch >= 0x0F00 && ch <= 0x0FFF;
      } else if (from_ == Encoding::SAM) {
        source = (ch >= 0xF020 && ch <= 0xF0FF) || (ch >= 0x20 && ch < 0x7F);
      } else {
        source = ch >= 0x80;
      }
    }
    if (!source) {
      flushRun();
      emit(t.bytes);
      return;
    }
    char16_t c = ch;
    if (from_ == Encoding::SAM && ch >= 0xF000) c = static_cast<char16_t>(ch - 0xF000);
    addItem(c, t.bytes, true);
  }

  void addItem(char16_t ch, std::string_view bytes, bool fromUnicode) {
    Item item;
    item.ch = ch;
    item.begin = static_cast<std::uint32_t>(runBytes_.size());
    runBytes_.append(bytes);
    item.end = item.trail = item.held = item.heldEnd = static_cast<std::uint32_t>(runBytes_.size());
    item.offset = offset_;
    item.fromUnicode = fromUnicode;
    item.font = static_cast<std::int8_t>(from_ == Encoding::SAM ? samFontOf(top()) : -1);
    items_.push_back(item);
    runUc_ = top().uc;
    if (items_.size() >= 4096 && !leadPending_) flushRun();
  }

  // Bytes that follow a \uN as its fallback: they belong to the escape.
  void fallbackBytes(std::string_view bytes) {
    if (!items_.empty() && items_.back().fromUnicode && items_.back().trail == runBytes_.size()) {
      runBytes_.append(bytes);
      items_.back().end = items_.back().trail = static_cast<std::uint32_t>(runBytes_.size());
    } else {
      flushRun();
      emit(bytes);
    }
  }

  // --- fonts --------------------------------------------------------------------

  int resolve(int n, int fallback) const { return n >= 0 ? n : fallback; }

  // What a font number stands for: a direct table for the usual numbers,
  // the font map for the rest.
  const FontRecord* record(int n) const {
    if (n < 0) return nullptr;
    if (static_cast<std::size_t>(n) < fontIndex_.size()) {
      const std::int32_t i = fontIndex_[static_cast<std::size_t>(n)];
      return i < 0 ? nullptr : &fontList_[static_cast<std::size_t>(i)];
    }
    auto it = fonts_.find(n);
    return it == fonts_.end() ? nullptr : &it->second;
  }

  bool isSource(int n) const {
    const FontRecord* r = record(n);
    return r != nullptr && r->encoding == from_;
  }

  // The source font that draws the text of state `s`, or -1.
  int sourceFont(State& s) {
    if (s.source != -2) return s.source;
    const Fonts& f = s.fonts;
    const int main = resolve(f.f, deff_);
    int found = -1;
    auto consider = [&](int n) {
      if (found < 0 && isSource(n)) found = n;
    };
    consider(main);
    consider(f.latin);
    if (from_ == Encoding::HIMA) {
      consider(resolve(f.complex, adeff_));
    } else if (from_ == Encoding::SAM) {
      consider(f.complex);
      consider(f.eastAsia);
    } else {
      consider(f.eastAsia);
    }
    s.source = found;
    const FontRecord* r = record(found);
    s.sambhota = static_cast<std::int8_t>(r == nullptr ? -1 : r->sambhota);
    return found;
  }

  int samFontOf(State& s) {
    sourceFont(s);
    return s.sambhota;
  }

  void beginFontEntry() {
    fontNumber_ = -1;
    fontCharset_ = -1;
    fontName_.clear();
    fontAlt_.clear();
    fontNameBytes_.clear();
    fontAltBytes_.clear();
    nameDone_ = false;
  }

  void fontEntryWord(std::string_view w, const Token& t) {
    if (is(w, "f") && t.hasParam) {
      if (top().dest == Dest::FontTable) {
        // Entries written without braces of their own.
        if (fontNumber_ >= 0) endFontEntry();
        beginFontEntry();
      }
      fontNumber_ = t.param;
    } else if (is(w, "fcharset") && t.hasParam) {
      fontCharset_ = t.param;
    }
  }

  void fontNameByte(unsigned char c) {
    State& s = top();
    if (s.dest == Dest::FontAlt) {
      if (c != ';') fontAltBytes_ += static_cast<char>(c);
      return;
    }
    if (nameDone_) return;
    if (c == ';') {
      nameDone_ = true;
      if (s.dest == Dest::FontTable) endFontEntry();
      return;
    }
    if (c == '\r' || c == '\n') return;
    fontNameBytes_ += static_cast<char>(c);
  }

  // A font name's bytes are in its own charset's code page (LibreOffice
  // writes 方正 names in Shift-JIS under \fcharset128); a name whose charset
  // says nothing is read as GBK, the code page of the systems these documents
  // come from.
  static std::u16string decodeName(const std::string& bytes, int charset) {
    int page = rt::codePageForCharset(charset);
    if (page == 0 || page == rt::kCodePageSymbol || !rt::isDoubleByteCodePage(page)) page = rt::kCodePageGbk;
    if (page == rt::kCodePageGbk) return cp936::decode(bytes);
    rt::ByteDecoder decoder;
    std::u16string out;
    char16_t units[2];
    for (unsigned char b : bytes) out.append(units, static_cast<std::size_t>(decoder.feed(b, page, units)));
    return out;
  }

  void endFontEntry() {
    if (fontNumber_ < 0) return;
    FontRecord r;
    r.charset = fontCharset_;
    std::u16string name = decodeName(fontNameBytes_, fontCharset_) + fontName_;
    std::u16string alt = decodeName(fontAltBytes_, fontCharset_);
    r.encoding = encodingOfFontName(name);
    if (!r.encoding && !alt.empty()) r.encoding = encodingOfFontName(alt);
    if (r.encoding == Encoding::SAM) {
      auto index = sambhotaFontIndex(name);
      if (!index && !alt.empty()) index = sambhotaFontIndex(alt);
      if (index) {
        r.sambhota = static_cast<int>(*index);
      } else {
        r.encoding.reset();
      }
    }
    if (!fonts_.count(fontNumber_)) {
      fonts_.emplace(fontNumber_, r);
      if (fontNumber_ < kDirectFonts) {
        if (fontIndex_.size() <= static_cast<std::size_t>(fontNumber_)) {
          fontIndex_.resize(static_cast<std::size_t>(fontNumber_) + 1, -1);
        }
        fontIndex_[static_cast<std::size_t>(fontNumber_)] = static_cast<std::int32_t>(fontList_.size());
        fontList_.push_back(r);
      }
    }
    fontNumber_ = -1;
    fontName_.clear();
  }

  void endFontTable() {
    if (fontNumber_ >= 0) endFontEntry();
    sawFontTable_ = true;
    bool anySource = false;
    for (const auto& [n, r] : fonts_) anySource = anySource || r.encoding == from_;
    if (!anySource && options_.requireSourceFont) {
      stop(Status::NothingToConvert);
      return;
    }
    if (!loadTables()) return;
    // The target fonts go at the end of the table, on numbers no font uses.
    auto freeNumber = [&](int from) {
      while (fonts_.count(from) || std::find(targetNumbers_.begin(), targetNumbers_.end(), from) != targetNumbers_.end())
        ++from;
      return from;
    };
    std::string entries;
    if (to_ == Encoding::SAM) {
      std::vector<int> used;
      used.reserve(fonts_.size());
      for (const auto& [n, r] : fonts_) used.push_back(n);
      const std::array<int, 30> numbers = sambhota::blockNumbers(used);
      targetNumbers_.assign(numbers.begin(), numbers.end());
      entries = sambhota::fontBlock(sambhotaFamilyName(options_.sambhotaFamily), numbers);
      samNumbers_ = numbers;
    } else {
      const int n = fonts_.count(99) ? freeNumber(100) : 99;
      targetNumbers_.push_back(n);
      targetFont_ = n;
      const EncodingInfo& t = info(to_);
      entries = "{\\f";
      appendNumber(entries, n);
      entries += t.national ? "\\fnil\\fprq2\\fcharset134 " : "\\fnil\\fcharset0 ";
      if (t.national) {
        for (unsigned char b : cp936::encode(t.targetFontName)) {
          if (b >= 0x80) appendHex(entries, b);
          else entries += static_cast<char>(b);
        }
      } else {
        for (char16_t c : t.targetFontName) entries += static_cast<char>(c);
      }
      entries += ";}";
    }
    if (!sawColorTable_) {
      // A colour table may still follow; until the text begins, the output
      // is held so that a missing one can go right after the font table.
      awaitingColors_ = true;
      colorInsertAt_ = out_.size() + entries.size() + 1;
    }
    emit(entries);
    buildPrefixes();
  }

  // Every value's escapes, written once (for the usual \uc1).
  void renderValues() {
    rendered_.resize(values_.size());
    for (std::size_t i = 0; i < values_.size(); ++i) {
      for (char16_t c : values_[i]) {
        if (c < 0x80 && c >= 0x20) {
          appendAscii(rendered_[i], static_cast<char>(c));
        } else {
          appendUnicode(rendered_[i], c, 1);
        }
      }
    }
  }

  void buildPrefixes() {
    if (to_ == Encoding::HIMA) {
      renderValues();
      prefix_ = "\\rtlch\\af";
      appendNumber(prefix_, targetFont_);
      prefix_ += "\\ltrch\\f";
      appendNumber(prefix_, targetFont_);
      prefix_ += ' ';
    } else if (to_ != Encoding::SAM) {
      prefix_ = "\\hich\\af";
      appendNumber(prefix_, targetFont_);
      prefix_ += "\\dbch\\af";
      appendNumber(prefix_, targetFont_);
      prefix_ += "\\loch\\f";
      appendNumber(prefix_, targetFont_);
      prefix_ += ' ';
      // The target encoding's rendering of every value, written once.
      written_.resize(matcher_->valueCount());
      for (std::size_t i = 0; i < written_.size(); ++i) written_[i] = nationalChar(matcher_->valueAt(i)[0]);
    }
  }

  static std::string nationalChar(char16_t v) {
    std::string s;
    auto bytes = cp936::encodeChar(v);
    if (bytes && bytes->size() == 2) {
      appendHex(s, static_cast<unsigned char>((*bytes)[0]));
      appendHex(s, static_cast<unsigned char>((*bytes)[1]));
    } else if (bytes && static_cast<unsigned char>((*bytes)[0]) < 0x80) {
      appendAscii(s, (*bytes)[0]);
    } else {
      appendUnicode(s, v, -1);  // fallbacks added where written
    }
    return s;
  }

  // --- styles -------------------------------------------------------------------

  struct StyleEntry {
    int number = 0;  // \sN (0 when not given: Normal)
    bool character = false;
  } styleEntry_;

  void endStyleEntry() {
    const State& s = top();
    const int key = styleEntry_.character ? -1 - styleEntry_.number : styleEntry_.number;
    if (styleEntry_.number >= 0 && !styles_.count(key)) styles_.emplace(key, s.fonts);
  }

  // --- colours ----------------------------------------------------------------

  void beginColorTable() {
    colorCount_ = 0;
    colorPending_ = false;
    colorIsRed_ = 0;
    sawColorTable_ = true;
    if (awaitingColors_) awaitingColors_ = false;
  }

  void colorWord(std::string_view w, const Token& t) {
    colorPending_ = true;
    const int n = t.hasParam ? t.param : 0;
    if (is(w, "red")) colorIsRed_ |= n == 255 ? 1 : 8;
    else if (is(w, "green")) colorIsRed_ |= n == 0 ? 2 : 8;
    else if (is(w, "blue")) colorIsRed_ |= n == 0 ? 4 : 8;
    else colorIsRed_ |= 8;
  }

  void colorEntryEnd() {
    if (colorIsRed_ == 7 && redIndex_ < 0) redIndex_ = static_cast<int>(colorCount_);
    ++colorCount_;
    colorPending_ = false;
    colorIsRed_ = 0;
  }

  void endColorTable() {
    if (redIndex_ >= 0) return;  // the document's own red serves
    std::string add;
    if (colorPending_) {
      add += ';';
      ++colorCount_;
    }
    add += "\\red255\\green0\\blue0;";
    redIndex_ = static_cast<int>(colorCount_);
    emit(add);
  }

  void insertColorTable() {
    awaitingColors_ = false;
    redIndex_ = 1;
    out_.insert(std::min(colorInsertAt_, out_.size()), "{\\colortbl ;\\red255\\green0\\blue0;}");
  }

  // The document's text begins: a colour table can no longer follow.
  void headerEnds() {
    if (!sawFontTable_ && !stopped()) {
      stop(Status::NoFontTable);
      return;
    }
    if (awaitingColors_) insertColorTable();
  }

  // --- writing converted runs ---------------------------------------------------

  enum class Open : std::uint8_t { None, Converted, RedConverted, Red };

  void openGroup(Open kind) {
    if (kind == openKind_) return;
    closeGroup();
    openKind_ = kind;
    if (kind == Open::None) return;
    out_ += '{';
    if (kind != Open::Converted) {
      out_ += "\\cf";
      appendNumber(out_, std::max(redIndex_, 0));
      if (kind == Open::Red) out_ += ' ';
    }
    if (kind != Open::Red) {
      if (to_ == Encoding::SAM) {
        out_ += "\\loch";
        samCurrent_ = -1;
      } else {
        out_ += prefix_;
      }
    }
  }

  void closeGroup() {
    if (openKind_ != Open::None) out_ += '}';
    openKind_ = Open::None;
  }

  void red(const Item& first, std::size_t count) {
    ++stats_.red;
    if (stats_.firstRed.size() < kRedSamples) {
      RedSample sample;
      sample.offset = first.offset;
      for (std::size_t i = 0; i < count; ++i) sample.text += (&first)[i].ch;
      stats_.firstRed.push_back(std::move(sample));
    }
  }

  void writeFallbacks() {
    for (int i = 0; i < runUc_; ++i) out_ += '?';
  }

  void flushRun() {
    if (items_.empty()) return;
    if (leadPending_) abandonLead();
    if (toUnicode()) {
      flushToUnicode();
    } else {
      flushFromUnicode();
    }
    closeGroup();
    if (absorbedLength_ != 0) {
      // The font the run ended in is the font of what follows.
      out_.append(runBytes_, absorbedAt_, absorbedLength_);
      absorbedLength_ = 0;
    }
    items_.clear();
    runBytes_.clear();
    if (out_.size() >= kFlushAt) flushOut(false);
  }

  // An item left as it was: its own bytes (in a red group when `red`), then
  // what followed it, outside any group of ours.
  void keepItem(const Item& it, bool red) {
    if (red) {
      openGroup(Open::Red);
    } else {
      closeGroup();
    }
    out_.append(runBytes_, it.begin, it.trail - it.begin);
    writeMarkup(it);
  }

  void writeMarkup(const Item& it) {
    if (it.trail == it.end) return;
    closeGroup();
    out_.append(runBytes_, it.trail, it.end - it.trail);
  }

  void flushToUnicode() {
    for (std::size_t i = 0; i < items_.size(); ++i) {
      const Item& it = items_[i];
      std::uint32_t v = 0;
      if (from_ == Encoding::SAM) {
        if (it.font >= 0 && it.ch < 256) v = samValue_[static_cast<std::size_t>(it.font) * 256 + it.ch];
      } else if (it.ch != 0) {
        v = nationalValue_[it.ch];
      }
      if (v == 0) {
        const bool mark = from_ == Encoding::SAM ? it.ch != u' ' : (it.fromUnicode && it.ch != 0);
        keepItem(it, mark);
        if (mark) red(it, 1);
        continue;
      }
      openGroup(Open::Converted);
      if (runUc_ == 1) {
        out_ += rendered_[v];
      } else {
        for (char16_t c : values_[v]) {
          if (c < 0x80 && c >= 0x20) {
            appendAscii(out_, static_cast<char>(c));
          } else {
            appendUnicode(out_, c, 0);
            writeFallbacks();
          }
        }
      }
      ++stats_.converted;
      if (it.held != it.heldEnd) {
        // Braces met between the two bytes of the character.
        closeGroup();
        out_.append(runBytes_, it.held, it.heldEnd - it.held);
      }
      writeMarkup(it);
    }
  }

  void flushFromUnicode() {
    char16_t key[UnitMatcher::kMaxUnit];
    std::size_t i = 0;
    const std::size_t n = items_.size();
    while (i < n) {
      const UnitMatcher::Hit* best = nullptr;
      UnitMatcher::Hit hit{};
      std::size_t matched = 0;
      std::uint64_t packed = 0;
      for (std::size_t j = 1; j <= UnitMatcher::kMaxUnit && i + j <= n; ++j) {
        key[j - 1] = items_[i + j - 1].ch;
        packed = UnitMatcher::extend(packed, key[j - 1]);  // run items are Tibetan-block characters
        UnitMatcher::Hit h = matcher_->findPacked(packed);
        if (h.value != nullptr) {
          hit = h;
          best = &hit;
          matched = j;
        }
        if (!h.extends) break;
      }
      if (best == nullptr) {
        keepItem(items_[i], true);
        red(items_[i], 1);
        ++i;
        continue;
      }
      const char16_t c = key[0];
      // A national unit that begins with a vowel sign or a subjoined letter
      // is written, but marked for checking.
      const bool combiningFirst =
          to_ != Encoding::SAM && c >= 0x0F71 && c <= 0x0FBD && c != 0x0F7F && c != 0x0F85;
      openGroup(combiningFirst ? Open::RedConverted : Open::Converted);
      if (to_ == Encoding::SAM) {
        writeSambhota(hit);
      } else if (hit.index != UnitMatcher::kNoIndex) {
        writeNational(written_[hit.index]);
      } else {
        writeNational(nationalChar((*hit.value)[0]));
      }
      ++stats_.converted;
      if (combiningFirst) red(items_[i], matched);
      for (std::size_t j = i; j < i + matched; ++j) writeMarkup(items_[j]);
      i += matched;
    }
  }

  void writeNational(const std::string& w) {
    out_ += w;
    if (w.size() > 2 && w[1] == 'u') writeFallbacks();
  }

  void writeSambhota(const UnitMatcher::Hit& hit) {
    int font = -1;
    unsigned char glyph = 0;
    if (hit.index != UnitMatcher::kNoIndex) {
      font = samWritten_[hit.index].first;
      glyph = samWritten_[hit.index].second;
    } else {
      const std::u16string& v = *hit.value;
      if (v.size() >= 4 && v[0] == u'f') {
        font = (v[1] - u'0') * 10 + (v[2] - u'0') - 10;
        glyph = static_cast<unsigned char>(v.back());
      }
    }
    if (font < 0 || font >= 30) return;
    if (font != samCurrent_) {
      out_ += "\\f";
      appendNumber(out_, samNumbers_[static_cast<std::size_t>(font)]);
      out_ += ' ';
      samCurrent_ = font;
    }
    if (glyph >= 0x80) {
      appendHex(out_, glyph);
    } else {
      appendAscii(out_, static_cast<char>(glyph));
    }
  }

  // --- output -------------------------------------------------------------------

  void emit(std::string_view bytes) {
    out_.append(bytes);
    if (out_.size() >= kFlushAt && items_.empty()) flushOut(false);
  }

  void flushOut(bool all) {
    if (awaitingColors_) {
      if (out_.size() < kMaxHeld && !all) return;
      insertColorTable();
    }
    if (out_.empty()) return;
    sink_(out_);
    out_.clear();
  }

  Encoding from_, to_;
  Options options_;
  Sink sink_;
  Callbacks callbacks_;
  Status status_ = Status::Converted;
  Stats stats_;

  // tables
  bool tablesLoaded_ = false;
  std::shared_ptr<const MappingTable> readingMap_, writingMap_;
  std::unique_ptr<UnitMatcher> matcher_;
  std::vector<std::uint32_t> nationalValue_;  // character -> index into values_
  std::vector<std::uint32_t> samValue_;       // font * 256 + glyph -> index into values_
  std::vector<std::u16string> values_;
  std::vector<std::string> rendered_;  // values_ as RTF escapes
  std::vector<std::string> written_;                  // national rendering per matcher value
  std::vector<std::pair<int, unsigned char>> samWritten_;  // Sambotha font index and glyph per value

  // input
  std::string carry_;
  std::uint64_t consumedBase_ = 0, lexerDone_ = 0, offset_ = 0;
  int lastPercent_ = -1;

  // RTF state
  std::vector<State> stack_;
  std::size_t depth_ = 0, overflow_ = 0;
  bool sawRtf_ = false, afterEnd_ = false;
  int deff_ = -1, adeff_ = -1, ansiCodePage_ = 1252;
  int skip_ = 0;

  // font table
  std::unordered_map<int, FontRecord> fonts_;
  static constexpr int kDirectFonts = 1 << 15;  // numbers up to Word's theme fonts (31500+)
  std::vector<std::int32_t> fontIndex_;  // font number -> index into fontList_, -1 none
  std::vector<FontRecord> fontList_;
  int fontNumber_ = -1, fontCharset_ = -1;
  std::string fontNameBytes_, fontAltBytes_;
  std::u16string fontName_, fontAlt_;
  bool nameDone_ = false, sawFontTable_ = false;
  std::vector<int> targetNumbers_;
  int targetFont_ = 99;
  std::array<int, 30> samNumbers_{};
  std::string prefix_;

  std::unordered_map<int, Fonts> styles_;  // \sN at N, \csN at -1-N

  // colour table
  bool sawColorTable_ = false, awaitingColors_ = false, colorPending_ = false;
  std::size_t colorInsertAt_ = 0, colorCount_ = 0;
  int colorIsRed_ = 0;
  int redIndex_ = -1;

  // the run being gathered
  std::vector<Item> items_;
  std::string runBytes_;
  std::uint32_t absorbedAt_ = 0, absorbedLength_ = 0;  // the last Sambhota font switch taken into the run
  int runUc_ = 1;
  bool leadPending_ = false;
  unsigned char leadByte_ = 0;
  int heldBraces_ = 0;

  // output
  std::string out_;
  Open openKind_ = Open::None;
  int samCurrent_ = -1;
};

Converter::Converter(Encoding from, Encoding to, const Options& options, Sink sink, Callbacks callbacks) {
  if (from == to) {
    preset_ = Status::SameEncoding;
    return;
  }
  if (from != Encoding::HIMA && to != Encoding::HIMA) {
    Options second = options;
    second.requireSourceFont = false;
    second.totalBytes = 0;
    second_ = std::make_unique<Stage>(Encoding::HIMA, to, second, std::move(sink), Callbacks{});
    Stage* next = second_.get();
    first_ = std::make_unique<Stage>(from, Encoding::HIMA, options,
                                     [next](std::string_view bytes) { next->feed(bytes); }, std::move(callbacks));
  } else {
    first_ = std::make_unique<Stage>(from, to, options, std::move(sink), std::move(callbacks));
  }
}

Converter::~Converter() = default;

bool Converter::feed(std::string_view chunk) {
  if (!first_) return false;
  const bool go = first_->feed(chunk);
  if (second_ && second_->stopped()) return false;
  return go;
}

Result Converter::finish() {
  Result r;
  if (!first_) {
    r.status = preset_;
    r.message = statusMessage(preset_, Encoding::HIMA);
    return r;
  }
  r = first_->finish();
  if (!second_ || !r.ok()) return r;
  Result second = second_->finish();
  if (!second.ok()) {
    second.stats.red += r.stats.red;
    return second;
  }
  // Units counted are those written in the target encoding; red marks of
  // both stages add up.
  r.stats.converted = second.stats.converted;
  r.stats.red += second.stats.red;
  for (auto& s : second.stats.firstRed) {
    if (r.stats.firstRed.size() < kRedSamples) r.stats.firstRed.push_back(std::move(s));
  }
  return r;
}

Result convert(std::string_view rtf, Encoding from, Encoding to, const Options& options, std::string& out,
               const Callbacks& callbacks) {
  out.clear();
  out.reserve(rtf.size() + rtf.size() / 4 + 1024);
  Options o = options;
  o.totalBytes = rtf.size();
  Converter c(from, to, o, [&out](std::string_view bytes) { out.append(bytes); }, callbacks);
  // Large inputs go in slices, so that progress and cancelling are seen.
  constexpr std::size_t kSlice = 1 << 20;
  for (std::size_t at = 0; at < rtf.size(); at += kSlice) {
    if (!c.feed(rtf.substr(at, kSlice))) break;
  }
  Result r = c.finish();
  if (!r.ok()) out.clear();
  return r;
}

std::u16string statusMessage(Status status, Encoding from) {
  switch (status) {
    case Status::Converted:
      return {};
    case Status::NothingToConvert:
      return std::u16string(info(from).missingMessage);
    case Status::Incomplete:
      return std::u16string(kIncomplete);
    case Status::NoFontTable:
      return std::u16string(kNoFontTable);
    case Status::NoTable:
      return u"找不到" + std::u16string(info(from).code) + u"转换表！";
    case Status::Cancelled:
      return u"转换已取消！";
    case Status::SameEncoding:
      return u"原文件与目标文件编码相同！";
  }
  return {};
}

}  // namespace yig::conv
