#include "documents/docx_xml.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "documents/text_decoding.h"

namespace yig::docs::xml {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

constexpr std::array<bool, 256> kNameChars = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) {
    table[static_cast<std::size_t>(c)] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                                         c == '_' || c == ':' || c == '-' || c == '.' || c >= 0x80;
  }
  return table;
}();

bool isNameChar(unsigned char c) { return kNameChars[c]; }

bool isNameStart(unsigned char c) { return isNameChar(c) && !(c >= '0' && c <= '9') && c != '-' && c != '.'; }

// Decodes one UTF-8 sequence at s[i]; returns its length, 0 when invalid.
std::size_t utf8At(std::string_view s, std::size_t i, std::uint32_t& cp) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
  const unsigned char c = b(0);
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  std::size_t n = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(k) & 0x3F);
  }
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

// The short way through utf8At for three bytes (most non-Latin text):
// true, with `cp` set, when s[i] starts a sequence utf8At takes.
bool threeBytesAt(std::string_view s, std::size_t i, std::uint32_t& cp) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
  if ((b(0) & 0xF0) != 0xE0 || i + 2 >= s.size() || (b(1) & 0xC0) != 0x80 || (b(2) & 0xC0) != 0x80) return false;
  cp = ((b(0) & 0x0Fu) << 12) | ((b(1) & 0x3Fu) << 6) | (b(2) & 0x3Fu);
  return cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF);
}

// The length of the run of Tibetan characters (U+0F00..U+0FFF, three bytes
// each: E0 BC..BF 80..BF) at s[i], the bulk of this program's text.
std::size_t tibetanRun(std::string_view s, std::size_t i) {
  const std::size_t start = i;
  while (i + 2 < s.size() && static_cast<unsigned char>(s[i]) == 0xE0 &&
         (static_cast<unsigned char>(s[i + 1]) & 0xFC) == 0xBC && (static_cast<unsigned char>(s[i + 2]) & 0xC0) == 0x80) {
    i += 3;
  }
  return i - start;
}

bool isXmlChar(std::uint32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
         (cp >= 0x10000 && cp <= 0x10FFFF);
}

// The reference at s[i] ('&'): its length and the character it stands for;
// 0 when it is not one the tokenizer accepts.
std::size_t referenceAt(std::string_view s, std::size_t i, std::uint32_t& cp) {
  const std::size_t semi = s.find(';', i);
  if (semi == std::string_view::npos || semi - i > 12) return 0;
  const std::string_view body = s.substr(i + 1, semi - i - 1);
  if (body == "lt") cp = '<';
  else if (body == "gt") cp = '>';
  else if (body == "amp") cp = '&';
  else if (body == "quot") cp = '"';
  else if (body == "apos") cp = '\'';
  else if (body.size() >= 2 && body[0] == '#') {
    const bool hex = body[1] == 'x';
    std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty()) return 0;
    std::uint32_t v = 0;
    for (char c : digits) {
      int d;
      if (c >= '0' && c <= '9') d = c - '0';
      else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
      else return 0;
      v = v * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
      if (v > 0x10FFFF) return 0;
    }
    if (!isXmlChar(v)) return 0;
    cp = v;
  } else {
    return 0;
  }
  return semi - i + 1;
}

// Characters only (comments, character data, instructions).
bool validChars(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t cp = 0;
    const std::size_t n = utf8At(text, i, cp);
    if (n == 0 || !isXmlChar(cp)) return false;
    i += n;
  }
  return true;
}

}  // namespace

Token Tokenizer::fail(std::string message) {
  if (error_.empty()) error_ = std::move(message) + " (at byte " + std::to_string(pos_) + ")";
  Token t;
  t.kind = Kind::Error;
  t.offset = pos_;
  return t;
}

// Character data: valid characters, and & only as a reference.
bool Tokenizer::checkText(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (b >= 0x20 && b < 0x80 && b != '&' && b != '<') {
      ++i;
      continue;
    }
    if (const std::size_t n = tibetanRun(text, i); n > 0) {
      i += n;
      continue;
    }
    std::uint32_t cp = 0;
    if (threeBytesAt(text, i, cp) && cp <= 0xFFFD) {
      i += 3;
      continue;
    }
    if (text[i] == '&') {
      const std::size_t n = referenceAt(text, i, cp);
      if (n == 0) return false;
      i += n;
      continue;
    }
    if (text[i] == '<') return false;
    const std::size_t n = utf8At(text, i, cp);
    if (n == 0 || !isXmlChar(cp)) return false;
    i += n;
  }
  return true;
}

// A tag read in one pass: where its '>' is, and whether it is an end or an
// empty-element tag, when it is well formed in the usual way (a name, then
// attributes name="value", each once and after a blank). Nothing when it is
// anything else; next() then reads it the long way, which also says what is wrong.
std::size_t Tokenizer::plainTag(std::string_view rest, bool& end, bool& empty, std::size_t& nameEnd) {
  const std::size_t n = rest.size();
  std::size_t k = 1;
  end = n > 1 && rest[1] == '/';
  empty = false;
  if (end) k = 2;
  if (k >= n || !isNameStart(static_cast<unsigned char>(rest[k]))) return std::string_view::npos;
  while (k < n && isNameChar(static_cast<unsigned char>(rest[k]))) ++k;
  nameEnd = k;
  names_.clear();
  for (;;) {
    const std::size_t before = k;
    while (k < n && isBlank(rest[k])) ++k;
    if (k >= n) return std::string_view::npos;
    if (rest[k] == '>') return k;
    if (rest[k] == '/' && !end && k + 1 < n && rest[k + 1] == '>') {
      empty = true;
      return k + 1;
    }
    if (end || k == before || !isNameStart(static_cast<unsigned char>(rest[k]))) return std::string_view::npos;
    const std::size_t start = k;
    while (k < n && isNameChar(static_cast<unsigned char>(rest[k]))) ++k;
    const std::string_view name = rest.substr(start, k - start);
    for (auto seen : names_) {
      if (seen == name) return std::string_view::npos;
    }
    names_.push_back(name);
    while (k < n && isBlank(rest[k])) ++k;
    if (k >= n || rest[k] != '=') return std::string_view::npos;
    ++k;
    while (k < n && isBlank(rest[k])) ++k;
    if (k >= n || (rest[k] != '"' && rest[k] != '\'')) return std::string_view::npos;
    const std::size_t close = rest.find(rest[k], k + 1);
    if (close == std::string_view::npos || !checkText(rest.substr(k + 1, close - k - 1))) return std::string_view::npos;
    k = close + 1;
  }
}

// The inside of a tag after its name: attributes name="value", each once.
bool Tokenizer::checkTag(std::string_view rest, bool end) {
  names_.clear();
  std::vector<std::string_view>& names = names_;
  std::size_t i = 0;
  for (;;) {
    const std::size_t before = i;
    while (i < rest.size() && isBlank(rest[i])) ++i;
    if (i == rest.size()) return true;
    if (end || i == before) return false;  // end tags take no attributes; attributes need a blank before them
    const std::size_t start = i;
    if (!isNameStart(static_cast<unsigned char>(rest[i]))) return false;
    while (i < rest.size() && isNameChar(static_cast<unsigned char>(rest[i]))) ++i;
    const std::string_view name = rest.substr(start, i - start);
    for (auto n : names) {
      if (n == name) return false;
    }
    names.push_back(name);
    while (i < rest.size() && isBlank(rest[i])) ++i;
    if (i == rest.size() || rest[i] != '=') return false;
    ++i;
    while (i < rest.size() && isBlank(rest[i])) ++i;
    if (i == rest.size() || (rest[i] != '"' && rest[i] != '\'')) return false;
    const char quote = rest[i++];
    const std::size_t close = rest.find(quote, i);
    if (close == std::string_view::npos || !checkText(rest.substr(i, close - i))) return false;
    i = close + 1;
  }
}

Token Tokenizer::next() {
  if (!error_.empty()) return fail(error_);
  Token t;
  t.offset = pos_;
  if (pos_ >= xml_.size()) {
    if (!sawRoot_) return fail("no root element");
    if (!open_.empty()) return fail("the document is cut off: <" + std::string(open_.back()) + "> is not closed");
    t.kind = Kind::End;
    return t;
  }
  const std::string_view rest = xml_.substr(pos_);
  if (rest[0] != '<') {
    std::size_t end = rest.find('<');
    if (end == std::string_view::npos) end = rest.size();
    std::string_view text = rest.substr(0, end);
    if (open_.empty()) {
      // Outside the root only blanks (and a byte-order mark at the start).
      std::string_view blanks = text;
      if (pos_ == 0 && blanks.substr(0, 3) == "\xEF\xBB\xBF") blanks.remove_prefix(3);
      for (char c : blanks) {
        if (!isBlank(c)) return fail("text outside the root element");
      }
    } else if (!checkText(text)) {
      return fail("bad character or entity reference in text");
    }
    t.kind = Kind::Text;
    t.bytes = text;
    pos_ += end;
    return t;
  }
  auto take = [&](std::size_t n, Kind k) {
    t.kind = k;
    t.bytes = rest.substr(0, n);
    pos_ += n;
    return t;
  };
  if (rest.substr(0, 4) == "<!--") {
    const std::size_t end = rest.find("-->", 4);
    if (end == std::string_view::npos) return fail("unterminated comment");
    if (!validChars(rest.substr(4, end - 4))) return fail("bad character in a comment");
    return take(end + 3, Kind::Comment);
  }
  if (rest.substr(0, 9) == "<![CDATA[") {
    if (open_.empty()) return fail("character data outside the root element");
    const std::size_t end = rest.find("]]>", 9);
    if (end == std::string_view::npos) return fail("unterminated character data section");
    if (!validChars(rest.substr(9, end - 9))) return fail("bad character in character data");
    return take(end + 3, Kind::CData);
  }
  if (rest.substr(0, 2) == "<!") {
    if (rest.substr(0, 9) == "<!DOCTYPE") return fail("document type declarations are not accepted");
    return fail("unknown markup declaration");
  }
  if (rest.substr(0, 2) == "<?") {
    const std::size_t end = rest.find("?>", 2);
    if (end == std::string_view::npos) return fail("unterminated processing instruction");
    if (!validChars(rest.substr(2, end - 2))) return fail("bad character in a processing instruction");
    return take(end + 2, Kind::Instruction);
  }
  bool end = false, empty = false;
  std::size_t nameEnd = 0;
  std::size_t i = plainTag(rest, end, empty, nameEnd);
  if (i != std::string_view::npos) {
    t.name = rest.substr(end ? 2 : 1, nameEnd - (end ? 2 : 1));
    return tag(t, rest, i, end, empty);
  }
  // Anything else: find its end outside quoted values.
  i = 1;
  char quote = 0;
  for (; i < rest.size(); ++i) {
    const char c = rest[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      break;
    } else if (c == '<') {
      return fail("'<' inside a tag");
    }
  }
  if (i >= rest.size()) return fail("the document is cut off inside a tag");
  end = rest[1] == '/';
  empty = !end && rest[i - 1] == '/';
  std::size_t nameStart = end ? 2 : 1;
  nameEnd = nameStart;
  if (nameEnd >= i || !isNameStart(static_cast<unsigned char>(rest[nameEnd]))) return fail("bad tag name");
  while (nameEnd < i && isNameChar(static_cast<unsigned char>(rest[nameEnd]))) ++nameEnd;
  t.name = rest.substr(nameStart, nameEnd - nameStart);
  const std::string_view attrs = rest.substr(nameEnd, (empty ? i - 1 : i) - nameEnd);
  if (!checkTag(attrs, end)) return fail("malformed tag <" + std::string(t.name) + ">");
  return tag(t, rest, i, end, empty);
}

// A tag whose '>' is at rest[i], checked but for how it nests.
Token Tokenizer::tag(Token& t, std::string_view rest, std::size_t i, bool end, bool empty) {
  if (end) {
    if (open_.empty() || open_.back() != t.name) return fail("</" + std::string(t.name) + "> closes no open element");
    open_.pop_back();
  } else {
    if (open_.empty()) {
      if (sawRoot_) return fail("a second root element");
      sawRoot_ = true;
    }
    if (!empty) open_.push_back(t.name);
  }
  t.kind = end ? Kind::EndTag : empty ? Kind::EmptyTag : Kind::StartTag;
  t.bytes = rest.substr(0, i + 1);
  pos_ += i + 1;
  return t;
}

std::optional<ValueSpan> valueSpan(std::string_view tag, std::string_view name) {
  std::size_t i = 0;
  while (i < tag.size()) {
    const std::size_t at = tag.find(name, i);
    if (at == std::string_view::npos) return std::nullopt;
    i = at + name.size();
    if (at == 0 || !isBlank(tag[at - 1])) continue;
    std::size_t j = i;
    while (j < tag.size() && isBlank(tag[j])) ++j;
    if (j >= tag.size() || tag[j] != '=') continue;
    ++j;
    while (j < tag.size() && isBlank(tag[j])) ++j;
    if (j >= tag.size() || (tag[j] != '"' && tag[j] != '\'')) continue;
    const char quote = tag[j];
    const std::size_t close = tag.find(quote, j + 1);
    if (close == std::string_view::npos) return std::nullopt;
    return ValueSpan{j + 1, close - j - 1, quote};
  }
  return std::nullopt;
}

std::optional<std::string> attribute(std::string_view tag, std::string_view name) {
  const auto span = valueSpan(tag, name);
  if (!span) return std::nullopt;
  return unescape(tag.substr(span->offset, span->length));
}

std::string quotedValue(std::string_view value, char quote) {
  std::string escaped = escape(value);
  if (quote == '\'') {
    for (std::size_t q = 0; (q = escaped.find('\'', q)) != std::string::npos; q += 6) escaped.replace(q, 1, "&apos;");
  }
  return escaped;
}

std::string withAttribute(std::string_view tag, std::string_view name, std::string_view value) {
  std::string out(tag);
  if (const auto span = valueSpan(tag, name)) {
    out.replace(span->offset, span->length, quotedValue(value, span->quote));
    return out;
  }
  std::size_t end = out.size() - 1;  // at '>'
  if (end > 0 && out[end - 1] == '/') --end;
  out.insert(end, " " + std::string(name) + "=\"" + quotedValue(value, '"') + "\"");
  return out;
}

std::string unescape(std::string_view text) {
  std::string out;
  appendUnescaped(out, text);
  return out;
}

void appendUnescaped(std::string& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t amp = text.find('&', i);
    if (amp == std::string_view::npos) {
      out.append(text.substr(i));
      return;
    }
    out.append(text.substr(i, amp - i));
    i = amp;
    std::uint32_t cp = 0;
    const std::size_t n = referenceAt(text, i, cp);
    if (n == 0) {
      out += text[i++];
    } else {
      appendUtf8(out, cp);
      i += n;
    }
  }
}

std::string escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

namespace {

// UTF-16 written as UTF-8 (a lone surrogate as U+FFFD), escaped for element
// content when `Escape`; through a buffer, a block at a time.
template <bool Escape>
void appendUtf8Of(std::string& out, std::u16string_view utf16) {
  char buffer[1024];
  std::size_t n = 0;
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    if (n > sizeof buffer - 8) {
      out.append(buffer, n);
      n = 0;
    }
    std::uint32_t cp = utf16[i];
    if (cp < 0x80) {
      if constexpr (Escape) {
        const char* entity = cp == '&' ? "&amp;" : cp == '<' ? "&lt;" : cp == '>' ? "&gt;" : cp == '"' ? "&quot;" : nullptr;
        if (entity != nullptr) {
          const std::size_t length = std::strlen(entity);
          std::memcpy(buffer + n, entity, length);
          n += length;
          continue;
        }
      }
      buffer[n++] = static_cast<char>(cp);
      continue;
    }
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[++i] - 0xDC00);
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x800) {
      buffer[n++] = static_cast<char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
      buffer[n++] = static_cast<char>(0xE0 | (cp >> 12));
      buffer[n++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    } else {
      buffer[n++] = static_cast<char>(0xF0 | (cp >> 18));
      buffer[n++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      buffer[n++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    buffer[n++] = static_cast<char>(0x80 | (cp & 0x3F));
  }
  out.append(buffer, n);
}

}  // namespace

void appendUtf16(std::u16string& out, std::string_view utf8) {
  const std::size_t start = out.size();
  out.resize(start + utf8.size());
  char16_t* at = out.data() + start;
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      *at++ = b;
      ++i;
      continue;
    }
    if (const std::size_t n = tibetanRun(utf8, i); n > 0) {
      for (const std::size_t end = i + n; i < end; i += 3) {
        *at++ = static_cast<char16_t>(0x0F00 | ((static_cast<unsigned char>(utf8[i + 1]) & 0x03u) << 6) |
                                      (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu));
      }
      continue;
    }
    std::uint32_t cp = 0;
    if (threeBytesAt(utf8, i, cp)) {
      *at++ = static_cast<char16_t>(cp);
      i += 3;
      continue;
    }
    std::size_t n = utf8At(utf8, i, cp);
    if (n == 0) {
      cp = 0xFFFD;
      n = 1;
    }
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      *at++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *at++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      *at++ = static_cast<char16_t>(cp);
    }
  }
  out.resize(static_cast<std::size_t>(at - out.data()));
}

std::u16string toUtf16(std::string_view utf8) {
  std::u16string out;
  appendUtf16(out, utf8);
  return out;
}

std::string toUtf8(std::u16string_view utf16) {
  std::string out;
  appendUtf8Of<false>(out, utf16);
  return out;
}

void appendEscaped(std::string& out, std::u16string_view utf16) { appendUtf8Of<true>(out, utf16); }

}  // namespace yig::docs::xml
