#pragma once
// A small XML tokenizer for the parts of Office packages: it hands out every
// token with its exact bytes, so that a rewriter can copy what it does not
// change byte for byte. It checks well-formedness as it goes (matching tags,
// quoted attributes, known entity references, valid UTF-8) and refuses
// document type declarations: no DTD is ever read and no entity expanded
// beyond the five predefined ones and character references.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace yig::docs::xml {

enum class Kind { StartTag, EndTag, EmptyTag, Text, CData, Comment, Instruction, End, Error };

struct Token {
  Kind kind = Kind::End;
  std::string_view bytes;  ///< the token exactly as it stands in the input
  std::string_view name;   ///< the qualified name of a tag
  std::size_t offset = 0;  ///< where it starts in the input
};

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view xml) : xml_(xml) {}
  /// The next token. After an Error token, error() says what is wrong and
  /// every later call returns Error again; End comes once the root element
  /// has been closed and only blanks, comments and instructions followed.
  Token next();
  const std::string& error() const { return error_; }
  /// Open elements around the current position (the root counts as 1).
  std::size_t depth() const { return open_.size(); }

 private:
  Token fail(std::string message);
  bool checkText(std::string_view text);
  bool checkTag(std::string_view tag, bool end);
  std::size_t plainTag(std::string_view rest, bool& end, bool& empty, std::size_t& nameEnd);
  Token tag(Token& t, std::string_view rest, std::size_t i, bool end, bool empty);

  std::string_view xml_;
  std::size_t pos_ = 0;
  std::vector<std::string_view> open_;
  std::vector<std::string_view> names_;  // attribute names of the current tag
  bool sawRoot_ = false;
  std::string error_;
};

/// Hands every token to `f` until the end. False, with `error` set, when the
/// XML is not well formed or nests deeper than `maxDepth`.
template <class F>
bool forEachToken(Tokenizer& t, std::size_t maxDepth, std::string& error, F&& f) {
  for (;;) {
    const Token tok = t.next();
    if (tok.kind == Kind::Error) {
      error = t.error();
      return false;
    }
    if (tok.kind == Kind::End) return true;
    if (t.depth() > maxDepth) {
      error = "elements nested too deeply";
      return false;
    }
    f(tok);
  }
}

/// The value of attribute `name` in a start or empty tag, with its entity
/// and character references resolved; nothing when the tag has none.
std::optional<std::string> attribute(std::string_view tag, std::string_view name);

/// Where the value of attribute `name` stands in a tag, between its quotes.
struct ValueSpan {
  std::size_t offset = 0, length = 0;
  char quote = '"';
};
std::optional<ValueSpan> valueSpan(std::string_view tag, std::string_view name);
/// `value` escaped to stand between `quote`s.
std::string quotedValue(std::string_view value, char quote);
/// A start or empty tag with attribute `name` set to `value` (added at its
/// end when it has none); everything else in it as it was.
std::string withAttribute(std::string_view tag, std::string_view name, std::string_view value);

/// Text content with its references resolved (the text must have passed the tokenizer).
std::string unescape(std::string_view text);
void appendUnescaped(std::string& out, std::string_view text);

/// Text escaped for element content (& < > ") .
std::string escape(std::string_view text);

/// UTF-8 to UTF-16 and back (input already checked by the tokenizer).
std::u16string toUtf16(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);
/// Appends what toUtf16(utf8) gives.
void appendUtf16(std::u16string& out, std::string_view utf8);
/// Appends what escape(toUtf8(utf16)) gives, without the copies between.
void appendEscaped(std::string& out, std::u16string_view utf16);

}  // namespace yig::docs::xml
