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
#include <cstddef>
#include <cstdint>
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

}  // namespace yig::rtf
