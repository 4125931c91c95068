#include "richtext/rtf_lexer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace yig::rtf {
namespace {

constexpr bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Bytes that end a text token.
constexpr std::array<bool, 256> kSpecial = [] {
  std::array<bool, 256> t{};
  t[static_cast<unsigned char>('\\')] = true;
  t[static_cast<unsigned char>('{')] = true;
  t[static_cast<unsigned char>('}')] = true;
  return t;
}();

}  // namespace

Token Lexer::next() {
  Token t;
  if (pos_ >= in_.size()) {
    t.kind = final_ ? TokenKind::End : TokenKind::NeedMore;
    return t;
  }
  const char c = in_[pos_];
  if (c == '{' || c == '}') {
    t.kind = c == '{' ? TokenKind::GroupOpen : TokenKind::GroupClose;
    t.bytes = in_.substr(pos_, 1);
    ++pos_;
    return t;
  }
  if (c == '\\') return controlToken();
  std::size_t end = pos_ + 1;
  const auto* data = reinterpret_cast<const unsigned char*>(in_.data());
  while (end < in_.size() && !kSpecial[data[end]]) ++end;
  t.kind = TokenKind::Text;
  t.bytes = t.payload = in_.substr(pos_, end - pos_);
  pos_ = end;
  return t;
}

Token Lexer::controlToken() {
  Token t;
  const std::size_t start = pos_;
  const std::size_t n = in_.size();
  auto needMore = [&] {
    Token m;
    m.kind = TokenKind::NeedMore;
    return m;
  };
  if (start + 1 >= n) {
    if (!final_) return needMore();
    // A lone backslash at the very end: a symbol with nothing after it.
    t.kind = TokenKind::ControlSymbol;
    t.bytes = in_.substr(start);
    pos_ = n;
    return t;
  }
  const char c = in_[start + 1];
  if (c == '\'') {
    if (start + 4 > n && !final_) return needMore();
    std::size_t end = start + 2;
    int value = 0;
    for (int i = 0; i < 2 && end < n; ++i) {
      int h = hexValue(in_[end]);
      if (h < 0) break;
      value = value * 16 + h;
      ++end;
    }
    t.kind = TokenKind::HexByte;
    t.byte = static_cast<std::uint8_t>(value);
    t.bytes = in_.substr(start, end - start);
    pos_ = end;
    return t;
  }
  if (!isLetter(c)) {
    t.kind = TokenKind::ControlSymbol;
    t.symbol = c;
    t.bytes = in_.substr(start, 2);
    pos_ = start + 2;
    return t;
  }
  std::size_t end = start + 1;
  while (end < n && isLetter(in_[end]) && end - start - 1 < kMaxControlWordLetters) ++end;
  t.overlong = end < n && isLetter(in_[end]);
  t.name = in_.substr(start + 1, end - start - 1);
  std::size_t numStart = end;
  bool negative = false;
  if (end < n && in_[end] == '-' && end + 1 < n && isDigit(in_[end + 1])) {
    negative = true;
    ++end;
  } else if (end + 1 >= n && end < n && in_[end] == '-' && !final_) {
    return needMore();
  }
  std::int64_t value = 0;
  std::size_t digits = 0;
  while (end < n && isDigit(in_[end])) {
    if (value < (std::int64_t{1} << 40)) value = value * 10 + (in_[end] - '0');
    ++end;
    ++digits;
  }
  if (end >= n && !final_) return needMore();
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
  if (end < n && in_[end] == ' ') ++end;  // the delimiting blank belongs to the word
  t.kind = TokenKind::ControlWord;
  t.bytes = in_.substr(start, end - start);
  pos_ = end;
  if (t.name == "bin" && t.hasParam && t.param > 0) {
    const std::size_t len = static_cast<std::size_t>(t.param);
    if (n - pos_ < len) {
      if (!final_) {
        pos_ = start;
        return needMore();
      }
      // Cut off inside the payload: the payload is what there is.
      t.payload = in_.substr(pos_);
      pos_ = n;
    } else {
      t.payload = in_.substr(pos_, len);
      pos_ += len;
    }
    t.kind = TokenKind::Binary;
    t.bytes = in_.substr(start, pos_ - start);
  }
  return t;
}

bool isNonTextDestination(std::string_view word) {
  // Sorted for a binary search.
  static constexpr std::array<std::string_view, 72> kWords = {
      "atnauthor", "atndate", "atnicn", "atnid", "atnparent", "atnref", "atntime", "author",
      "bkmkend", "bkmkstart", "buptim", "category", "colorschememapping", "colortbl", "comment", "company",
      "creatim", "datafield", "datastore", "doccomm", "docvar", "falt", "fchars", "ffdeftext",
      "ffentrymcr", "ffexitmcr", "ffformat", "ffhelptext", "ffl", "ffname", "ffstattext", "filetbl",
      "fldinst", "fontemb", "fontfile", "fonttbl", "formfield", "generator", "hlinkbase", "info",
      "keywords", "latentstyles", "lchars", "listoverridetable", "listtable", "listtext", "manager", "mmathPr",
      "nonshppict", "objclass", "objdata", "objname", "operator", "panose", "pgdsctbl", "pict",
      "pntext", "printim", "revtbl", "revtim", "rsidtbl", "sn", "stylesheet", "subject",
      "sv", "themedata", "title", "userprops", "xmlattrname", "xmlattrvalue", "xmlname", "xmlnstbl",
  };
  static_assert(std::is_sorted(kWords.begin(), kWords.end()));
  return std::binary_search(kWords.begin(), kWords.end(), word);
}

}  // namespace yig::rtf
