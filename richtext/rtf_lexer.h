#pragma once
// The RTF lexer: cuts RTF bytes into tokens without copying them. Every token
// carries the exact bytes it was read from, so a scanner that copies the
// tokens it does not change reproduces its input byte for byte.
//
// The lexer works on one buffer. When more input may follow (`final` false),
// a token that might continue past the end of the buffer is not returned:
// next() gives NeedMore and the caller keeps the bytes from consumed() on,
// appends the next chunk and lexes again. With `final` set the end of the
// buffer ends every token.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>

namespace yig::rtf {

enum class TokenKind : std::uint8_t {
  GroupOpen,      ///< "{"
  GroupClose,     ///< "}"
  ControlWord,    ///< "\name" with an optional signed number; a blank ending it is part of the token
  ControlSymbol,  ///< "\" and one character that is not a letter ("\~", "\*", "\\", "\{", "\-", ...)
  HexByte,        ///< "\'xx"
  Binary,         ///< "\binN" and the N raw bytes that follow it
  Text,           ///< bytes up to the next "\", "{" or "}" (line breaks included)
  End,            ///< the end of the input
  NeedMore,       ///< (chunked input only) the rest may be the start of a longer token
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::string_view bytes;    ///< the whole token as it stands in the input
  std::string_view name;     ///< ControlWord, Binary: the letters ("fonttbl", "bin")
  std::int32_t param = 0;    ///< ControlWord: the number (clamped to 32 bits)
  bool hasParam = false;     ///< ControlWord: a number followed the letters
  bool overlong = false;     ///< ControlWord: more than 32 letters or 10 digits (not valid RTF)
  char symbol = 0;           ///< ControlSymbol: the character after the backslash
  std::uint8_t byte = 0;     ///< HexByte: the value (a malformed escape gives the bytes it has)
  std::string_view payload;  ///< Binary: the raw bytes; Text: the same as `bytes`

  bool is(std::string_view word) const { return kind == TokenKind::ControlWord && name == word; }
};

/// Longest control word name read; longer runs of letters end the word there.
inline constexpr std::size_t kMaxControlWordLetters = 32;

class Lexer {
 public:
  explicit Lexer(std::string_view input, bool final = true) : in_(input), final_(final) {}

  /// The next token; End at the end of final input, NeedMore (nothing
  /// consumed) where chunked input ends inside what may be one token.
  Token next();

  /// Takes the next byte when it is `c` (and not the last byte of chunked
  /// input); the byte as a view, or an empty view.
  std::string_view takeIf(char c) {
    if (pos_ < in_.size() && in_[pos_] == c && (final_ || pos_ + 1 < in_.size())) return in_.substr(pos_++, 1);
    return {};
  }

  /// Steps over the next n bytes (at most to the end of the buffer) without
  /// reading them: for a caller whose own rule makes them part of a token.
  void skip(std::size_t n) { pos_ += std::min(n, in_.size() - pos_); }

  /// Bytes consumed so far.
  std::size_t consumed() const { return pos_; }
  std::string_view input() const { return in_; }

 private:
  Token controlToken();

  std::string_view in_;
  std::size_t pos_ = 0;
  bool final_;
};

/// True for a control word whose group holds no document text: the tables
/// and the destinations a reader skips when it does not know them.
bool isNonTextDestination(std::string_view word);

/// The words isNonTextDestination() knows, sorted.
std::span<const std::string_view> nonTextDestinations();

/// A control word that stands for one character of text.
struct SymbolWord {
  std::string_view word;
  char16_t character;
};

/// The words that stand for a character (\emdash, \bullet, \zwj...).
std::span<const SymbolWord> symbolWords();

/// True for a word that stands for a character the reading program supplies
/// itself: a note's number (\chftn), the page number, the date, the note
/// separators. What stands around such a word formats it.
bool isSuppliedCharacterWord(std::string_view word);

/// The destination words of headers (the first four) and footers (the last four).
std::span<const std::string_view, 8> headerFooterWords();

// The lexer is inlined into its callers: a token then lives in registers.
namespace lexer_detail {

inline constexpr bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

inline int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Bytes that end a text token.
inline constexpr std::array<bool, 256> kSpecial = [] {
  std::array<bool, 256> t{};
  t[static_cast<unsigned char>('\\')] = true;
  t[static_cast<unsigned char>('{')] = true;
  t[static_cast<unsigned char>('}')] = true;
  return t;
}();

}  // namespace lexer_detail

// Inlined where it is called: every reader's main loop is this call.
[[gnu::always_inline]] inline Token Lexer::next() {
  Token t;
  const char* const base = in_.data();
  const std::size_t n = in_.size();
  if (pos_ >= n) {
    t.kind = final_ ? TokenKind::End : TokenKind::NeedMore;
    return t;
  }
  const char c = base[pos_];
  if (c == '{' || c == '}') {
    t.kind = c == '{' ? TokenKind::GroupOpen : TokenKind::GroupClose;
    t.bytes = std::string_view(base + pos_, 1);
    ++pos_;
    return t;
  }
  if (c == '\\') {
    // "\'xx", the commonest token of legacy text, without the general path.
    if (pos_ + 3 < n && base[pos_ + 1] == '\'') {
      const int hi = lexer_detail::hexValue(base[pos_ + 2]);
      const int lo = lexer_detail::hexValue(base[pos_ + 3]);
      if ((hi | lo) >= 0) {
        t.kind = TokenKind::HexByte;
        t.byte = static_cast<std::uint8_t>(hi * 16 + lo);
        t.bytes = std::string_view(base + pos_, 4);
        pos_ += 4;
        return t;
      }
    }
    // One letter and a short number ("\uN", "\fN", "\bN"), the commonest
    // words of running text: no cap, sign or chunk end to watch.
    if (pos_ + 12 < n && lexer_detail::isLetter(base[pos_ + 1]) && lexer_detail::isDigit(base[pos_ + 2])) {
      std::size_t end = pos_ + 2;
      std::int32_t value = 0;
      while (end < pos_ + 11 && lexer_detail::isDigit(base[end])) {
        value = value * 10 + (base[end] - '0');
        ++end;
      }
      if (!lexer_detail::isDigit(base[end])) {
        t.kind = TokenKind::ControlWord;
        t.name = std::string_view(base + pos_ + 1, 1);
        t.param = value;
        t.hasParam = true;
        if (base[end] == ' ') ++end;
        t.bytes = std::string_view(base + pos_, end - pos_);
        pos_ = end;
        return t;
      }
    }
    return controlToken();
  }
  std::size_t end = pos_ + 1;
  const auto* data = reinterpret_cast<const unsigned char*>(base);
  while (end < n && !lexer_detail::kSpecial[data[end]]) ++end;
  t.kind = TokenKind::Text;
  t.bytes = t.payload = std::string_view(base + pos_, end - pos_);
  pos_ = end;
  return t;
}

inline Token Lexer::controlToken() {
  Token t;
  const char* const base = in_.data();
  const std::size_t start = pos_;
  const std::size_t n = in_.size();
  auto view = [base](std::size_t from, std::size_t to) { return std::string_view(base + from, to - from); };
  if (start + 1 >= n) {
    if (!final_) {
      t.kind = TokenKind::NeedMore;
      return t;
    }
    // A lone backslash at the very end: a symbol with nothing after it.
    t.kind = TokenKind::ControlSymbol;
    t.bytes = view(start, n);
    pos_ = n;
    return t;
  }
  const char c = base[start + 1];
  if (c == '\'') {
    if (start + 4 > n && !final_) {
      t.kind = TokenKind::NeedMore;
      return t;
    }
    std::size_t end = start + 2;
    int value = 0;
    for (int i = 0; i < 2 && end < n; ++i) {
      const int h = lexer_detail::hexValue(base[end]);
      if (h < 0) break;
      value = value * 16 + h;
      ++end;
    }
    t.kind = TokenKind::HexByte;
    t.byte = static_cast<std::uint8_t>(value);
    t.bytes = view(start, end);
    pos_ = end;
    return t;
  }
  if (!lexer_detail::isLetter(c)) {
    t.kind = TokenKind::ControlSymbol;
    t.symbol = c;
    t.bytes = view(start, start + 2);
    pos_ = start + 2;
    return t;
  }
  std::size_t end = start + 1;
  const std::size_t letterLimit = std::min(n, start + 1 + kMaxControlWordLetters);
  while (end < letterLimit && lexer_detail::isLetter(base[end])) ++end;
  t.overlong = end < n && lexer_detail::isLetter(base[end]);
  t.name = view(start + 1, end);
  const std::size_t numStart = end;
  bool negative = false;
  if (end < n && base[end] == '-') {
    if (end + 1 >= n && !final_) {
      t.kind = TokenKind::NeedMore;
      return t;
    }
    if (end + 1 < n && lexer_detail::isDigit(base[end + 1])) {
      negative = true;
      ++end;
    }
  }
  std::int64_t value = 0;
  const std::size_t digitsStart = end;
  while (end < n && lexer_detail::isDigit(base[end])) {
    if (value < (std::int64_t{1} << 40)) value = value * 10 + (base[end] - '0');
    ++end;
  }
  if (end >= n && !final_) {
    t.kind = TokenKind::NeedMore;
    return t;
  }
  const std::size_t digits = end - digitsStart;
  if (digits > 10) t.overlong = true;
  if (digits > 0) {
    t.hasParam = true;
    if (negative) value = -value;
    value = std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max());
    t.param = static_cast<std::int32_t>(value);
  } else {
    end = numStart;  // a "-" without digits is text
  }
  if (end < n && base[end] == ' ') ++end;  // the delimiting blank belongs to the word
  t.kind = TokenKind::ControlWord;
  t.bytes = view(start, end);
  pos_ = end;
  if (t.hasParam && t.param > 0 && t.name.size() == 3 && t.name[0] == 'b' && t.name[1] == 'i' && t.name[2] == 'n') {
    const std::size_t len = static_cast<std::size_t>(t.param);
    if (n - pos_ < len) {
      if (!final_) {
        pos_ = start;
        Token m;
        m.kind = TokenKind::NeedMore;
        return m;
      }
      // Cut off inside the payload: the payload is what there is.
      t.payload = view(pos_, n);
      pos_ = n;
    } else {
      t.payload = view(pos_, pos_ + len);
      pos_ += len;
    }
    t.kind = TokenKind::Binary;
    t.bytes = view(start, pos_);
  }
  return t;
}

}  // namespace yig::rtf
