#include "documents/word_xml.h"

#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "documents/text_decoding.h"
#include "engine/encodings.h"

namespace yig::docs {
namespace {

struct Tag {
  std::string_view name;
  std::vector<std::pair<std::string_view, std::string_view>> attributes;
  bool closing = false;      // </name>
  bool selfClosing = false;  // <name/>

  std::optional<std::string_view> attribute(std::string_view key) const {
    for (const auto& [k, v] : attributes) {
      if (k == key) return v;
    }
    return std::nullopt;
  }
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Parses the inside of "<...>".
Tag parseTag(std::string_view inside) {
  Tag tag;
  if (!inside.empty() && inside[0] == '/') {
    tag.closing = true;
    inside.remove_prefix(1);
  }
  if (!inside.empty() && inside.back() == '/') {
    tag.selfClosing = true;
    inside.remove_suffix(1);
  }
  std::size_t i = 0;
  while (i < inside.size() && !isSpace(inside[i])) ++i;
  tag.name = inside.substr(0, i);
  while (i < inside.size()) {
    while (i < inside.size() && isSpace(inside[i])) ++i;
    const std::size_t keyStart = i;
    while (i < inside.size() && inside[i] != '=' && !isSpace(inside[i])) ++i;
    const std::string_view key = inside.substr(keyStart, i - keyStart);
    while (i < inside.size() && isSpace(inside[i])) ++i;
    if (i >= inside.size() || inside[i] != '=') {
      if (key.empty()) break;
      continue;
    }
    ++i;
    while (i < inside.size() && isSpace(inside[i])) ++i;
    if (i >= inside.size()) break;
    const char quote = inside[i];
    if (quote != '"' && quote != '\'') break;
    const std::size_t valueEnd = inside.find(quote, i + 1);
    if (valueEnd == std::string_view::npos) break;
    tag.attributes.emplace_back(key, inside.substr(i + 1, valueEnd - i - 1));
    i = valueEnd + 1;
  }
  return tag;
}

// Character data with the XML entities resolved.
std::u16string xmlText(std::string_view raw) {
  std::string bytes;
  bytes.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '&') {
      bytes += raw[i];
      continue;
    }
    const std::size_t semi = raw.find(';', i);
    if (semi == std::string_view::npos || semi - i > 10) {
      bytes += '&';
      continue;
    }
    const std::string_view entity = raw.substr(i + 1, semi - i - 1);
    char32_t code = 0;
    if (entity == "lt") code = '<';
    else if (entity == "gt") code = '>';
    else if (entity == "amp") code = '&';
    else if (entity == "quot") code = '"';
    else if (entity == "apos") code = '\'';
    else if (entity.size() > 1 && entity[0] == '#') {
      const bool hex = entity[1] == 'x' || entity[1] == 'X';
      code = static_cast<char32_t>(std::strtoul(std::string(entity.substr(hex ? 2 : 1)).c_str(), nullptr, hex ? 16 : 10));
      if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
    }
    if (code == 0) {
      bytes += '&';
      continue;
    }
    std::u16string one;
    if (code < 0x10000) {
      one += static_cast<char16_t>(code);
    } else {
      one += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      one += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
    bytes += encodeUtf8(one);
    i = semi;
  }
  return decodeUtf8Lenient(bytes);
}

struct RunProps {
  std::optional<std::u16string> ascii, hAnsi, fareast, cs;
  std::optional<int> size;
  std::optional<std::optional<rt::Color>> color;
  std::optional<bool> bold, italic, underline, strike;

  void mergeFrom(const RunProps& o) {
    if (o.ascii) ascii = o.ascii;
    if (o.hAnsi) hAnsi = o.hAnsi;
    if (o.fareast) fareast = o.fareast;
    if (o.cs) cs = o.cs;
    if (o.size) size = o.size;
    if (o.color) color = o.color;
    if (o.bold) bold = o.bold;
    if (o.italic) italic = o.italic;
    if (o.underline) underline = o.underline;
    if (o.strike) strike = o.strike;
  }
};

bool onOff(const Tag& tag) {
  const auto v = tag.attribute("w:val");
  return !v || !(*v == "off" || *v == "false" || *v == "0" || *v == "none");
}

// Reads one property element inside <w:rPr>.
void readProperty(const Tag& tag, RunProps& props) {
  if (tag.name == "w:rFonts") {
    if (auto v = tag.attribute("w:ascii"); v && !v->empty()) props.ascii = xmlText(*v);
    if (auto v = tag.attribute("w:h-ansi"); v && !v->empty()) props.hAnsi = xmlText(*v);
    if (auto v = tag.attribute("w:fareast"); v && !v->empty()) props.fareast = xmlText(*v);
    if (auto v = tag.attribute("w:cs"); v && !v->empty()) props.cs = xmlText(*v);
  } else if (tag.name == "w:sz") {
    if (auto v = tag.attribute("w:val")) props.size = std::atoi(std::string(*v).c_str());
  } else if (tag.name == "w:color") {
    const auto v = tag.attribute("w:val");
    if (!v || *v == "auto" || v->size() != 6) {
      props.color = std::optional<rt::Color>();
    } else {
      const unsigned long rgb = std::strtoul(std::string(*v).c_str(), nullptr, 16);
      props.color = rt::Color{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                              static_cast<std::uint8_t>(rgb)};
    }
  } else if (tag.name == "w:b") {
    props.bold = onOff(tag);
  } else if (tag.name == "w:i") {
    props.italic = onOff(tag);
  } else if (tag.name == "w:u") {
    props.underline = onOff(tag);
  } else if (tag.name == "w:strike") {
    props.strike = onOff(tag);
  }
}

class WordXmlReader {
 public:
  rt::Document read(std::string_view xml) {
    base_ = document_.defaultFormat();
    std::size_t i = 0;
    while (i < xml.size()) {
      const std::size_t open = xml.find('<', i);
      if (open == std::string_view::npos) break;
      if (inText_ && open > i) text_ += xmlText(xml.substr(i, open - i));
      if (xml.compare(open, 4, "<!--") == 0) {
        const std::size_t end = xml.find("-->", open);
        i = end == std::string_view::npos ? xml.size() : end + 3;
        continue;
      }
      if (xml.compare(open, 9, "<![CDATA[") == 0) {
        const std::size_t end = xml.find("]]>", open);
        if (inText_) text_ += decodeUtf8Lenient(xml.substr(open + 9, (end == std::string_view::npos ? xml.size() : end) - open - 9));
        i = end == std::string_view::npos ? xml.size() : end + 3;
        continue;
      }
      const std::size_t close = xml.find('>', open);
      if (close == std::string_view::npos) break;
      if (xml[open + 1] != '?' && xml[open + 1] != '!') handle(parseTag(xml.substr(open + 1, close - open - 1)));
      i = close + 1;
    }
    flushRun();
    return std::move(document_);
  }

 private:
  void handle(const Tag& tag) {
    const std::string_view name = tag.name;
    if (tag.closing) {
      if (name == "w:t") {
        inText_ = false;
      } else if (name == "w:rPr") {
        inRunProps_ = false;
      } else if (name == "w:r") {
        flushRun();
        inRun_ = false;
      } else if (name == "w:style") {
        if (!styleId_.empty()) styles_[styleId_] = styleProps_;
        styleId_.clear();
        inStyle_ = false;
      } else if (name == "w:font") {
        fontName_.clear();
      }
      return;
    }
    if (name == "w:font") {
      if (auto v = tag.attribute("w:name")) fontName_ = xmlText(*v);
    } else if (name == "w:charset" && !fontName_.empty()) {
      if (auto v = tag.attribute("w:val")) charsets_[fontName_] = static_cast<int>(std::strtol(std::string(*v).c_str(), nullptr, 16));
    } else if (name == "w:style") {
      inStyle_ = !tag.selfClosing;
      styleProps_ = RunProps{};
      styleId_ = std::string(tag.attribute("w:styleId").value_or(""));
    } else if (name == "w:body") {
      inBody_ = true;
    } else if (name == "w:p" && inBody_) {
      flushRun();
      if (paragraphs_++ > 0) text_ += u'\r';
      paragraphProps_ = RunProps{};
      flushRun();
    } else if (name == "w:pStyle" && inBody_) {
      if (auto v = tag.attribute("w:val")) {
        if (auto s = styles_.find(std::string(*v)); s != styles_.end()) paragraphProps_ = s->second;
      }
    } else if (name == "w:r" && inBody_) {
      flushRun();
      inRun_ = true;
      runProps_ = paragraphProps_;
    } else if (name == "w:rPr") {
      inRunProps_ = !tag.selfClosing;
    } else if (inRunProps_ && inStyle_ && !inBody_) {
      readProperty(tag, styleProps_);
    } else if (inRunProps_ && inRun_) {
      if (name == "w:rStyle") {
        if (auto v = tag.attribute("w:val")) {
          if (auto s = styles_.find(std::string(*v)); s != styles_.end()) runProps_.mergeFrom(s->second);
        }
      } else {
        readProperty(tag, runProps_);
      }
    } else if (inRun_ && name == "w:t") {
      inText_ = !tag.selfClosing;
    } else if (inRun_ && name == "w:tab") {
      text_ += u'\t';
    } else if (inRun_ && (name == "w:br" || name == "w:cr")) {
      text_ += u'\v';
    }
  }

  // Appends the text collected so far in the format of the current run.
  void flushRun() {
    if (text_.empty()) return;
    rt::CharFormat format = base_;
    const RunProps& p = inRun_ ? runProps_ : paragraphProps_;
    bool cjk = false;
    for (const char16_t c : text_) cjk = cjk || (c >= 0x2E80 && c < 0xF300) || (c >= 0xFE30 && c <= 0xFFEF);
    std::optional<std::u16string> font;
    if (cjk && p.fareast) font = p.fareast;
    if (!font) font = p.ascii ? p.ascii : p.hAnsi ? p.hAnsi : p.fareast;
    if (!font && p.cs) font = p.cs;
    if (font) {
      format.font.name = *font;
      if (auto c = charsets_.find(*font); c != charsets_.end()) {
        format.font.charset = c->second;
      } else {
        bool ascii = true;
        for (const char16_t c : *font) ascii = ascii && c < 0x80;
        format.font.charset = !ascii || isNationalFontName(*font) ? 134 : 0;
      }
    }
    if (p.size && *p.size > 0) format.sizeHalfPoints = *p.size;
    if (p.color) format.color = *p.color;
    if (p.bold) format.bold = *p.bold;
    if (p.italic) format.italic = *p.italic;
    if (p.underline) format.underline = *p.underline;
    if (p.strike) format.strike = *p.strike;
    document_.append(text_, format);
    text_.clear();
  }

  rt::Document document_;
  rt::CharFormat base_;
  std::unordered_map<std::string, RunProps> styles_;
  std::unordered_map<std::u16string, int> charsets_;
  std::u16string fontName_;
  std::string styleId_;
  RunProps styleProps_, paragraphProps_, runProps_;
  std::u16string text_;
  std::size_t paragraphs_ = 0;
  bool inBody_ = false, inStyle_ = false, inRun_ = false, inRunProps_ = false, inText_ = false;
};

}  // namespace

bool isWordXml(std::string_view xml) {
  return xml.substr(0, 4096).find("<w:wordDocument") != std::string_view::npos;
}

std::optional<rt::Document> readWordXml(std::string_view xml) {
  if (!isWordXml(xml)) return std::nullopt;
  return WordXmlReader().read(xml);
}

}  // namespace yig::docs
