#include "documents/odt_convert.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <tuple>
#include <unordered_map>

#include "documents/docx_text.h"
#include "documents/docx_xml.h"
#include "documents/docx_zip.h"

namespace yig::docs::odt {
namespace {

using docx::Piece;
using docx::SourceChar;
using docx::TextConverter;

constexpr std::string_view kTextNamespace = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr std::size_t kMaxDepth = 1000;

enum SlotIndex { kWestern = 0, kAsian = 1, kComplex = 2 };

bool endsWithName(std::string_view path, std::string_view tail) {
  if (path.size() < tail.size()) return false;
  for (std::size_t i = 0; i < tail.size(); ++i) {
    char c = path[path.size() - tail.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != tail[i]) return false;
  }
  return true;
}

// The first family of a font-family value, without its quotes.
std::string firstFamily(std::string value) {
  const std::size_t comma = value.find(',');
  if (comma != std::string::npos) value.resize(comma);
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!value.empty() && blank(value.back())) value.pop_back();
  std::size_t start = 0;
  while (start < value.size() && blank(value[start])) ++start;
  value.erase(0, start);
  if (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

using Fonts = std::array<std::optional<std::string>, 3>;

struct Style {
  std::string parent;
  Fonts family;
};

// The styles and font faces one part defines.
struct StyleSet {
  std::unordered_map<std::string, std::string> faces;  // face name -> family
  std::unordered_map<std::string, Style> styles;       // "family:name"
  std::optional<Style> defaults;                        // the paragraph default style
  std::set<std::string> names;                          // every style name (for new ones)
};

// The font families a <style:text-properties> tag sets, each slot on its own:
// a font face of the part by name, or a family given directly.
void readFonts(std::string_view tag, const std::unordered_map<std::string, std::string>& faces, Fonts& family) {
  static constexpr std::array<std::array<std::string_view, 2>, 3> kAttributes = {{
      {"style:font-name", "fo:font-family"},
      {"style:font-name-asian", "style:font-family-asian"},
      {"style:font-name-complex", "style:font-family-complex"},
  }};
  for (std::size_t i = 0; i < 3; ++i) {
    if (auto face = xml::attribute(tag, kAttributes[i][0])) {
      auto it = faces.find(*face);
      family[i] = it != faces.end() ? it->second : firstFamily(*face);
    } else if (auto f = xml::attribute(tag, kAttributes[i][1])) {
      family[i] = firstFamily(*f);
    }
  }
}

void readStyles(std::string_view xmlText, StyleSet& set) {
  xml::Tokenizer t(xmlText);
  Style* current = nullptr;
  for (;;) {
    const xml::Token tok = t.next();
    if (tok.kind == xml::Kind::End || tok.kind == xml::Kind::Error) break;
    if (tok.kind == xml::Kind::EndTag) {
      if (tok.name == "style:style" || tok.name == "style:default-style") current = nullptr;
      continue;
    }
    if (tok.kind != xml::Kind::StartTag && tok.kind != xml::Kind::EmptyTag) continue;
    if (tok.name == "style:font-face") {
      auto name = xml::attribute(tok.bytes, "style:name");
      auto family = xml::attribute(tok.bytes, "svg:font-family");
      if (name && family) set.faces[*name] = firstFamily(*family);
    } else if (tok.name == "style:style") {
      const std::string name = xml::attribute(tok.bytes, "style:name").value_or("");
      const std::string family = xml::attribute(tok.bytes, "style:family").value_or("");
      set.names.insert(name);
      current = &set.styles[family + ":" + name];
      current->parent = xml::attribute(tok.bytes, "style:parent-style-name").value_or("");
      if (tok.kind == xml::Kind::EmptyTag) current = nullptr;
    } else if (tok.name == "style:default-style") {
      if (xml::attribute(tok.bytes, "style:family").value_or("") == "paragraph") {
        set.defaults.emplace();
        current = &*set.defaults;
      }
      if (tok.kind == xml::Kind::EmptyTag) current = nullptr;
    } else if (tok.name == "style:text-properties" && current != nullptr) {
      readFonts(tok.bytes, set.faces, current->family);
    }
  }
}

// The slots (bits 1 Western, 2 Asian, 4 complex) that may draw `c`.
unsigned slotsFor(char16_t c, bool national) {
  if (c >= 0x0F00 && c <= 0x0FFF) return (1u << kWestern) | (1u << kComplex);
  if (c < 0x80) return 1u << kWestern;
  if (c >= 0xE000 && c <= 0xF8FF) return 7u;
  if (docx::isCjk(c)) return (1u << kAsian) | (national ? 1u << kWestern : 0u);
  return (1u << kWestern) | (national ? 1u << kAsian : 0u);
}

struct Resolved {
  std::array<std::optional<Encoding>, 3> encoding;
  std::array<int, 3> samFont{-1, -1, -1};
};

// Whether a font of `e` draws `c` in a span resolved as `r` (and which
// Sambhota font, into `samFont`).
bool drawnIn(char16_t c, const Resolved& r, Encoding e, int* samFont = nullptr) {
  if (!docx::isSourceChar(c, e)) return false;
  const unsigned slots = slotsFor(c, info(e).national);
  for (std::size_t i = 0; i < 3; ++i) {
    if ((slots & (1u << i)) != 0 && r.encoding[i] == e) {
      if (samFont != nullptr) *samFont = r.samFont[i];
      return true;
    }
  }
  return false;
}

// A font face declaration for `family` named `name`.
std::string faceDeclaration(const std::string& name, const std::string& family, bool symbol) {
  return "<style:font-face style:name=\"" + xml::escape(name) + "\" svg:font-family=\"&apos;" + xml::escape(family) +
         "&apos;\"" + (symbol ? " style:font-charset=\"x-symbol\"" : "") + "/>";
}

// A text style drawing in the font face `face` (when not empty), red when `red`.
std::string textStyle(const std::string& name, const std::string& parent, const std::string& face, bool red) {
  std::string properties;
  if (!face.empty()) {
    properties += " style:font-name=\"" + xml::escape(face) + "\" style:font-name-asian=\"" + xml::escape(face) +
                  "\" style:font-name-complex=\"" + xml::escape(face) + "\"";
  }
  if (red) properties += " fo:color=\"#ff0000\"";
  return "<style:style style:name=\"" + xml::escape(name) + "\" style:family=\"text\"" +
         (parent.empty() ? std::string() : " style:parent-style-name=\"" + xml::escape(parent) + "\"") +
         "><style:text-properties" + properties + "/></style:style>";
}

// The character styles made for the labels of numbered list levels. A
// number's label takes its fonts from the level's character style
// (text:style-name; LibreOffice does not draw it in the fonts of the level's
// own text properties, which only a bullet's character uses), and only a
// common style is found from there, so these are common styles of
// styles.xml, whichever part the list style is in.
struct LabelStyles {
  struct Made {
    std::string name, parent, font;
    bool symbol = false, red = false;
  };
  std::vector<Made> made;
  std::map<std::tuple<std::string, std::string, bool>, std::string> byKey;  // parent, font, red -> name
  int count = 0;
};

// A list level style, kept back whole until its end, then written with its
// label converted.
struct Level {
  std::size_t depth = 0;
  bool bullet = false;
  std::string start, body, end;
  std::size_t propsAt = std::string::npos;  // the text properties in `body`
  std::string_view props;
};

class PartRewriter {
 public:
  // Without a converter the part is only read, counting the characters each
  // encoding's fonts draw.
  // Styles for the labels of numbered list levels are made in `labels`
  // (without it, those labels are left as they are).
  PartRewriter(std::string_view xmlText, const StyleSet& own, const StyleSet* common, TextConverter* converter,
               Encoding from, LabelStyles* labels = nullptr)
      : tok_(xmlText), own_(own), common_(common), converter_(converter), from_(from), labels_(labels) {
    if (converter != nullptr) out_.reserve(xmlText.size() + xmlText.size() / 4);
  }

  // From the start of the body on, what is written is handed to `stream` a
  // piece at a time, to be compressed while the rest is made; head() then
  // holds what came before the body, with the new styles and font faces
  // declared, and output() the end of the body.
  void streamTo(zip::Streamed* stream) {
    stream_ = stream;
    out_ = std::string();  // the head is small; the body goes a piece at a time
  }

  bool run() {
    const bool read = xml::forEachToken(tok_, kMaxDepth, error_, [this](const xml::Token& t) {
      token(t);
      if (streaming_ && out_.size() >= zip::Streamed::kPiece) {
        stream_->add(std::move(out_));
        out_ = stream_->room();
        out_.reserve(zip::Streamed::kPiece + zip::Streamed::kPiece / 4);
      }
    });
    if (!read) return false;
    flush();
    if (changed_) declare();
    return true;
  }

  bool changed() const { return changed_; }
  std::string& output() { return out_; }
  std::string& head() { return head_; }
  const std::string& error() const { return error_; }
  const std::array<std::size_t, kEncodingCount>& seen() const { return seen_; }

 private:
  struct Frame {
    enum Kind { Other, Paragraph, Span } kind = Other;
    std::string style;
  };

  void token(const xml::Token& t) {
    if (!rootSeen_ && (t.kind == xml::Kind::StartTag || t.kind == xml::Kind::EmptyTag)) {
      rootSeen_ = true;
      active_ = xml::attribute(t.bytes, "xmlns:text") == std::string(kTextNamespace);
    }
    if (!active_) {
      out_.append(t.bytes);
      return;
    }
    const bool inParagraph = !frames_.empty() && frames_.back().kind != Frame::Other;
    // Spans and marks between two pieces of text do not end a unit that spans them.
    const bool between = t.kind == xml::Kind::Text ? inParagraph
                         : t.kind == xml::Kind::EmptyTag
                             ? t.name == "text:bookmark" || t.name == "text:bookmark-start" ||
                                   t.name == "text:bookmark-end" || t.name == "text:soft-page-break"
                             : t.name == "text:span" || t.name == "text:a";
    if (!pending_.empty() && !between) flush();
    if (streaming_) {
      // the places of declarations are all before the body
    } else if (t.kind == xml::Kind::StartTag || t.kind == xml::Kind::EmptyTag) {
      const std::string_view n = t.name;
      if (n == "office:font-face-decls" || n == "office:automatic-styles") {
        Insert& at = n == "office:automatic-styles" ? styles_ : faces_;
        at.found = true;
        if (t.kind == xml::Kind::EmptyTag) {
          at.offset = out_.size();
          at.empty = true;
          at.emptyLength = t.bytes.size();
        }
      }
      if (!beforeFirst_ && (n == "office:styles" || n == "office:automatic-styles" || n == "office:master-styles" ||
                            n == "office:body")) {
        beforeFirst_ = out_.size();
      }
      if (!beforeBody_ && (n == "office:master-styles" || n == "office:body")) beforeBody_ = out_.size();
      if (stream_ != nullptr && n == "office:body" && t.kind == xml::Kind::StartTag) {
        head_ = std::move(out_);
        out_.clear();
        out_.reserve(zip::Streamed::kPiece + zip::Streamed::kPiece / 4);
        streaming_ = true;
      }
    } else if (t.kind == xml::Kind::EndTag && (t.name == "office:font-face-decls" || t.name == "office:automatic-styles")) {
      (t.name == "office:automatic-styles" ? styles_ : faces_).offset = out_.size();
    }
    if (t.kind == xml::Kind::StartTag) {
      Frame f;
      if (t.name == "text:p" || t.name == "text:h") {
        f.kind = Frame::Paragraph;
      } else if (t.name == "text:span" || t.name == "text:a") {
        f.kind = Frame::Span;
      }
      if (f.kind != Frame::Other) f.style = xml::attribute(t.bytes, "text:style-name").value_or("");
      frames_.push_back(std::move(f));
    } else if (t.kind == xml::Kind::EndTag && !frames_.empty()) {
      frames_.pop_back();
    }
    if (t.kind == xml::Kind::Text && inParagraph) {
      text(t);
      return;
    }
    if (!pending_.empty()) {
      pending_.push_back({std::string(t.bytes), {}, false});
      return;
    }
    if (level_ || t.name == "text:list-level-style-bullet" || t.name == "text:list-level-style-number" ||
        t.name == "text:outline-level-style") {
      levelToken(t);
      return;
    }
    out_.append(t.bytes);
  }

  void levelToken(const xml::Token& t) {
    const std::size_t depth = tok_.depth();
    if (!level_) {
      if (t.kind != xml::Kind::StartTag && t.kind != xml::Kind::EmptyTag) {
        out_.append(t.bytes);
        return;
      }
      level_.emplace();
      level_->bullet = t.name == "text:list-level-style-bullet";
      level_->depth = depth;
      level_->start.assign(t.bytes);
      if (t.kind == xml::Kind::EmptyTag) {
        // <x .../> becomes <x ...></x>, should it need text properties.
        level_->start.erase(level_->start.size() - 2);
        while (!level_->start.empty() && (level_->start.back() == ' ' || level_->start.back() == '\t' ||
                                          level_->start.back() == '\r' || level_->start.back() == '\n')) {
          level_->start.pop_back();
        }
        level_->start += '>';
        level_->end = "</" + std::string(t.name) + ">";
        finishLevel(t.bytes);
      }
      return;
    }
    Level& l = *level_;
    if (t.kind == xml::Kind::EndTag && depth + 1 == l.depth) {
      l.end.assign(t.bytes);
      finishLevel({});
      return;
    }
    if (t.name == "style:text-properties" && l.propsAt == std::string::npos &&
        ((t.kind == xml::Kind::EmptyTag && depth == l.depth) || (t.kind == xml::Kind::StartTag && depth == l.depth + 1))) {
      l.propsAt = l.body.size();
      l.props = t.bytes;
    }
    l.body.append(t.bytes);
  }

  // The label of the level kept back: converted when a font of the source
  // encoding draws it. A bullet is drawn in the fonts of the level's text
  // properties over its character style; a number's prefix and suffix (and
  // the text around the numbers in LibreOffice's loext:num-list-format) in
  // those of its character style alone.
  void finishLevel(std::string_view asWritten) {
    Level l = std::move(*level_);
    level_.reset();
    auto keep = [&] {
      if (!asWritten.empty()) {
        out_.append(asWritten);
      } else {
        out_ += l.start + l.body + l.end;
      }
    };
    struct Text {
      std::string attribute;
      std::vector<std::u16string> literals;  // the text between the numbers' places
      std::vector<std::u16string> places;    // those places ("%1%")
    };
    std::vector<Text> texts;
    for (const char* name : {"text:bullet-char", "style:num-prefix", "style:num-suffix", "loext:num-list-format"}) {
      if (l.bullet != (std::string_view(name) == "text:bullet-char")) continue;
      const auto value = xml::attribute(l.start, name);
      if (!value || value->empty()) continue;
      Text t{name, {u""}, {}};
      const std::u16string v = xml::toUtf16(*value);
      for (std::size_t i = 0; i < v.size(); ++i) {
        // "%1%": a number's place in the list format
        std::size_t j = i + 1;
        while (name == std::string_view("loext:num-list-format") && v[i] == u'%' && j < v.size() && v[j] >= u'0' &&
               v[j] <= u'9') {
          ++j;
        }
        if (j > i + 1 && j < v.size() && v[j] == u'%') {
          t.places.push_back(v.substr(i, j + 1 - i));
          t.literals.emplace_back();
          i = j;
          continue;
        }
        t.literals.back() += v[i];
      }
      texts.push_back(std::move(t));
    }
    Fonts fonts = defaultFonts();
    const std::string charStyle = xml::attribute(l.start, "text:style-name").value_or("");
    if (!charStyle.empty()) apply(fonts, "text", charStyle);
    if (l.bullet && !l.props.empty()) readFonts(l.props, own_.faces, fonts);
    const Resolved r = resolvedOf(fonts);
    std::vector<SourceChar> chars;
    std::uint32_t origin = 0;
    for (const Text& t : texts) {
      for (const std::u16string& literal : t.literals) {
        for (char16_t c : literal) {
          if (converter_ == nullptr) {
            for (std::size_t e = 0; e < kEncodingCount; ++e) {
              if (drawnIn(c, r, static_cast<Encoding>(e))) ++seen_[e];
            }
            continue;
          }
          SourceChar sc{c, false, -1, origin};
          int sam = -1;
          if (drawnIn(c, r, from_, &sam) && !(from_ == Encoding::SAM && sam < 0)) {
            sc.source = true;
            sc.samFont = static_cast<std::int8_t>(sam);
          }
          chars.push_back(sc);
        }
        chars.push_back({u'%', false, -1, origin + 1});  // a number's place, or the end of a text
        origin += 2;
      }
    }
    if (converter_ == nullptr || (!l.bullet && labels_ == nullptr)) {
      keep();
      return;
    }
    const docx::Label label = docx::convertLabel(*converter_, chars, 0);
    if (!label.font && !label.red) {
      keep();
      return;
    }
    changed_ = true;
    std::string font;
    if (label.font) {
      font = xml::toUtf8(converter_->fontName(*label.font));
      origin = 0;
      for (const Text& t : texts) {
        std::u16string value;
        for (std::size_t k = 0; k < t.literals.size(); ++k, origin += 2) {
          if (k > 0) value += t.places[k - 1];
          value += label.text[origin];
        }
        l.start = xml::withAttribute(l.start, t.attribute, xml::toUtf8(value));
      }
    }
    if (!l.bullet) {
      l.start = xml::withAttribute(l.start, "text:style-name",
                                   labelStyle(charStyle, font, label.font && label.font->font == Encoding::SAM, label.red));
      out_ += l.start + l.body + l.end;
      return;
    }
    std::string props = l.props.empty() ? std::string("<style:text-properties/>") : std::string(l.props);
    if (label.font) {
      const std::string face = faceFor(font, label.font->font == Encoding::SAM);
      for (const char* name : {"style:font-name", "style:font-name-asian", "style:font-name-complex"}) {
        props = xml::withAttribute(props, name, face);
      }
    }
    if (label.red) props = xml::withAttribute(props, "fo:color", "#ff0000");
    if (l.props.empty()) {
      l.body += props;
    } else {
      l.body.replace(l.propsAt, l.props.size(), props);
    }
    out_ += l.start + l.body + l.end;
  }

  // The name of a common character style over `parent` drawing in `font`
  // (and red when `red`), made on first use.
  std::string labelStyle(const std::string& parent, const std::string& font, bool symbol, bool red) {
    auto [it, made] = labels_->byKey.try_emplace({parent, font, red});
    if (!made) return it->second;
    std::string name;
    do {
      name = "Yigsgyur_L" + std::to_string(++labels_->count);
    } while (own_.names.count(name) != 0 || (common_ != nullptr && common_->names.count(name) != 0));
    it->second = name;
    labels_->made.push_back({name, parent, font, symbol, red});
    return name;
  }

  const Style* find(const std::string& key) const {
    auto it = own_.styles.find(key);
    if (it != own_.styles.end()) return &it->second;
    if (common_ != nullptr) {
      it = common_->styles.find(key);
      if (it != common_->styles.end()) return &it->second;
    }
    return nullptr;
  }

  // Each slot set by the style and those it inherits from (nearest wins).
  void apply(Fonts& fonts, const std::string& family, const std::string& name) const {
    std::vector<const Style*> chain;
    std::string at = name;
    while (!at.empty() && chain.size() < 64) {
      const Style* s = find(family + ":" + at);
      if (s == nullptr) break;
      chain.push_back(s);
      at = s->parent;
    }
    for (auto s = chain.rbegin(); s != chain.rend(); ++s) {
      for (std::size_t i = 0; i < 3; ++i) {
        if ((*s)->family[i]) fonts[i] = (*s)->family[i];
      }
    }
  }

  const Resolved& resolve() {
    std::size_t start = frames_.size();
    while (start > 0 && frames_[start - 1].kind != Frame::Paragraph) --start;
    std::string key;
    for (std::size_t i = start == 0 ? 0 : start - 1; i < frames_.size(); ++i) {
      if (frames_[i].kind != Frame::Other) key += frames_[i].style + '\x01';
    }
    auto it = cache_.find(key);
    if (it != cache_.end()) return it->second;
    Fonts fonts = defaultFonts();
    for (std::size_t i = start == 0 ? 0 : start - 1; i < frames_.size(); ++i) {
      if (frames_[i].kind == Frame::Paragraph) apply(fonts, "paragraph", frames_[i].style);
      if (frames_[i].kind == Frame::Span) apply(fonts, "text", frames_[i].style);
    }
    if (cache_.size() > 4096) cache_.clear();
    return cache_.emplace(std::move(key), resolvedOf(fonts)).first->second;
  }

  // The fonts of the default paragraph style.
  Fonts defaultFonts() const {
    const std::optional<Style>& defaults = own_.defaults ? own_.defaults : (common_ ? common_->defaults : own_.defaults);
    return defaults ? defaults->family : Fonts{};
  }

  static Resolved resolvedOf(const Fonts& fonts) {
    Resolved r;
    for (std::size_t i = 0; i < 3; ++i) {
      if (!fonts[i]) continue;
      const std::u16string name = xml::toUtf16(*fonts[i]);
      r.encoding[i] = encodingOfFontName(name);
      if (r.encoding[i] == Encoding::SAM) {
        auto index = sambhotaFontIndex(name);
        if (index) r.samFont[i] = static_cast<int>(*index);
        else r.encoding[i].reset();
      }
    }
    return r;
  }

  // Text in a paragraph: kept back while it, and the text after it, may
  // hold one unit, then converted together.
  void text(const xml::Token& t) {
    const Resolved& r = resolve();
    const std::u16string text = xml::toUtf16(xml::unescape(t.bytes));
    if (converter_ == nullptr) {
      for (char16_t c : text) {
        for (std::size_t e = 0; e < kEncodingCount; ++e) {
          if (drawnIn(c, r, static_cast<Encoding>(e))) ++seen_[e];
        }
      }
      return;
    }
    Segment seg;
    seg.raw.assign(t.bytes);
    seg.text = true;
    seg.chars.reserve(text.size());
    bool any = false;
    for (char16_t c : text) {
      SourceChar sc{c, false, -1, 0};
      int sam = -1;
      if (drawnIn(c, r, from_, &sam)) {
        sc.source = true;
        sc.samFont = static_cast<std::int8_t>(sam);
      }
      any = any || sc.source;
      seg.chars.push_back(sc);
    }
    if (!any) {
      flush();
      out_.append(t.bytes);
      return;
    }
    pending_.push_back(std::move(seg));
  }

  void flush() {
    if (pending_.empty()) return;
    std::vector<Segment> segments;
    segments.swap(pending_);
    std::vector<SourceChar> all;
    for (std::size_t k = 0; k < segments.size(); ++k) {
      for (SourceChar sc : segments[k].chars) {
        sc.origin = static_cast<std::uint32_t>(k);
        all.push_back(sc);
      }
    }
    std::vector<Piece> pieces;
    converter_->convert(all, pieces);
    std::vector<std::vector<Piece>> perSegment(segments.size());
    for (Piece& p : pieces) perSegment[p.origin].push_back(std::move(p));
    for (std::size_t k = 0; k < segments.size(); ++k) {
      if (!segments[k].text) {
        out_.append(segments[k].raw);
        continue;
      }
      std::size_t length = 0;
      bool differs = false;
      for (const Piece& p : perSegment[k]) {
        differs = differs || p.font || p.red;
        length += p.text.size();
      }
      if (!differs && length == segments[k].chars.size()) {
        out_.append(segments[k].raw);
        continue;
      }
      changed_ = true;
      for (const Piece& p : perSegment[k]) {
        const std::string escaped = xml::escape(xml::toUtf8(p.text));
        if (!p.font && !p.red) {
          out_ += escaped;
          continue;
        }
        out_ += "<text:span text:style-name=\"" + styleFor(p) + "\">" + escaped + "</text:span>";
      }
    }
  }

  // The automatic style for converted (or red) text, made on first use.
  std::string styleFor(const Piece& p) {
    std::string font;
    if (p.font) font = xml::toUtf8(converter_->fontName(p));
    const std::string key = font + (p.red ? "\x01red" : "");
    auto it = newStyles_.find(key);
    if (it != newStyles_.end()) return it->second.name;
    std::string name;
    do {
      name = "Yigsgyur_T" + std::to_string(++styleCount_);
    } while (own_.names.count(name) != 0 || (common_ != nullptr && common_->names.count(name) != 0));
    newStyles_[key] = {name, textStyle(name, {}, font.empty() ? font : faceFor(font, p.font == Encoding::SAM), p.red)};
    styleOrder_.push_back(key);
    return name;
  }

  std::string faceFor(const std::string& family, bool symbol) {
    for (const auto& [name, f] : own_.faces) {
      if (f == family) return name;
    }
    auto it = newFaces_.find(family);
    if (it != newFaces_.end()) return it->second.first;
    std::string name = family;
    while (own_.faces.count(name) != 0) name += "_yig";
    newFaces_[family] = {name, faceDeclaration(name, family, symbol)};
    faceOrder_.push_back(family);
    return name;
  }

  struct Insert {
    bool found = false;
    bool empty = false;
    std::size_t offset = std::string::npos;
    std::size_t emptyLength = 0;
  };

  // Adds the new styles and font faces to the part's declarations.
  void declare() {
    std::string& out = streaming_ ? head_ : out_;
    std::string styles, faces;
    for (const auto& key : styleOrder_) styles += newStyles_[key].text;
    for (const auto& family : faceOrder_) faces += newFaces_[family].second;
    auto place = [&](const Insert& at, const std::string& element, const std::string& content,
                     std::size_t fallback) -> std::pair<std::size_t, std::string> {
      if (content.empty()) return {std::string::npos, {}};
      if (at.found && at.empty) {
        out.erase(at.offset, at.emptyLength);
        return {at.offset, "<" + element + ">" + content + "</" + element + ">"};
      }
      if (at.found && at.offset != std::string::npos) return {at.offset, content};
      return {fallback, "<" + element + ">" + content + "</" + element + ">"};
    };
    // The later place first, so that the earlier offset stays right.
    auto s = place(styles_, "office:automatic-styles", styles, beforeBody_.value_or(out.size()));
    if (s.first != std::string::npos) out.insert(s.first, s.second);
    auto f = place(faces_, "office:font-face-decls", faces, beforeFirst_.value_or(0));
    if (f.first != std::string::npos) out.insert(f.first, f.second);
  }

  xml::Tokenizer tok_;
  const StyleSet& own_;
  const StyleSet* common_;
  TextConverter* converter_;
  Encoding from_;
  LabelStyles* labels_;
  std::optional<Level> level_;
  zip::Streamed* stream_ = nullptr;
  bool streaming_ = false;  // the body has begun: out_ goes to stream_
  std::string head_;        // what came before it
  std::array<std::size_t, kEncodingCount> seen_{};
  std::string out_, error_;
  std::vector<Frame> frames_;
  struct Segment {
    std::string raw;               // the bytes as they stand
    std::vector<SourceChar> chars;  // text: its characters
    bool text = false;
  };
  std::vector<Segment> pending_;
  std::unordered_map<std::string, Resolved> cache_;
  struct NewStyle {
    std::string name, text;
  };
  std::map<std::string, NewStyle> newStyles_;
  std::vector<std::string> styleOrder_;
  std::map<std::string, std::pair<std::string, std::string>> newFaces_;
  std::vector<std::string> faceOrder_;
  int styleCount_ = 0;
  Insert styles_, faces_;
  std::optional<std::size_t> beforeFirst_, beforeBody_;
  bool rootSeen_ = false, active_ = true, changed_ = false;
};

// `xml` with the label styles made declared among its common styles, and the
// font faces they draw in among its font faces where it has none of them.
std::string withLabelStyles(const std::string& xml, const LabelStyles& labels) {
  std::unordered_map<std::string, std::string> faces;  // family -> face name
  std::set<std::string> faceNames;
  struct Place {
    std::size_t offset = std::string::npos, erase = 0;  // the end tag, or the empty element
    std::optional<std::size_t> before;                  // where the element is made when there is none
  } facePlace, stylePlace;
  xml::Tokenizer t(xml);
  for (;;) {
    const xml::Token tok = t.next();
    if (tok.kind == xml::Kind::End || tok.kind == xml::Kind::Error) break;
    const bool open = tok.kind == xml::Kind::StartTag || tok.kind == xml::Kind::EmptyTag;
    const std::string_view n = tok.name;
    if (open && n == "style:font-face") {
      const auto name = xml::attribute(tok.bytes, "style:name");
      const auto family = xml::attribute(tok.bytes, "svg:font-family");
      if (name) faceNames.insert(*name);
      if (name && family) faces.emplace(firstFamily(*family), *name);
    }
    for (auto [element, place] : {std::pair{"office:font-face-decls", &facePlace}, std::pair{"office:styles", &stylePlace}}) {
      if (n != element || place->offset != std::string::npos) continue;
      if (tok.kind == xml::Kind::EndTag || tok.kind == xml::Kind::EmptyTag) place->offset = tok.offset;
      if (tok.kind == xml::Kind::EmptyTag) place->erase = tok.bytes.size();
    }
    if (open && !facePlace.before &&
        (n == "office:styles" || n == "office:automatic-styles" || n == "office:master-styles" || n == "office:body")) {
      facePlace.before = tok.offset;
    }
    if (open && !stylePlace.before &&
        (n == "office:automatic-styles" || n == "office:master-styles" || n == "office:body")) {
      stylePlace.before = tok.offset;
    }
  }
  std::string newFaces, newStyles;
  for (const LabelStyles::Made& m : labels.made) {
    std::string face;
    if (!m.font.empty()) {
      auto it = faces.find(m.font);
      if (it == faces.end()) {
        std::string name = m.font;
        while (faceNames.count(name) != 0) name += "_yig";
        faceNames.insert(name);
        newFaces += faceDeclaration(name, m.font, m.symbol);
        it = faces.emplace(m.font, name).first;
      }
      face = it->second;
    }
    newStyles += textStyle(m.name, m.parent, face, m.red);
  }
  struct Edit {
    std::size_t offset, erase;
    std::string text;
  };
  std::vector<Edit> edits;
  for (auto [element, place, text] : {std::tuple{"office:styles", &stylePlace, &newStyles},
                                      std::tuple{"office:font-face-decls", &facePlace, &newFaces}}) {
    if (text->empty()) continue;
    const std::string whole = "<" + std::string(element) + ">" + *text + "</" + element + ">";
    if (place->offset != std::string::npos) {
      edits.push_back({place->offset, place->erase, place->erase != 0 ? whole : *text});
    } else if (place->before) {
      edits.push_back({*place->before, 0, whole});
    }
  }
  std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.offset > b.offset; });
  std::string out = xml;
  for (const Edit& e : edits) out.replace(e.offset, e.erase, e.text);
  return out;
}

}  // namespace

bool isOdtName(std::string_view path) { return endsWithName(path, ".odt") || endsWithName(path, ".ott"); }
bool isFodtName(std::string_view path) { return endsWithName(path, ".fodt"); }

namespace {

// The two parts of an .odt that hold text, read with their styles; styles.xml
// holds the common styles content.xml refers to.
struct OdtParts {
  std::unique_ptr<zip::Package> pkg;
  std::optional<std::size_t> styles, content;
  std::string stylesXml, contentXml;
  StyleSet common, own;

  bool read(std::string_view odt, std::string& error) {
    pkg = zip::Package::open(odt, error);
    if (!pkg) return false;
    content = pkg->find("content.xml");
    if (!content) {
      error = "not an OpenDocument text: the package has no content.xml";
      return false;
    }
    styles = pkg->find("styles.xml");
    if (styles && !pkg->read(*styles, stylesXml, error)) return false;
    if (!pkg->read(*content, contentXml, error)) return false;
    readStyles(stylesXml, common);
    readStyles(contentXml, own);
    return true;
  }

  // Runs a rewriter over each part present; false, with `error` set, when one
  // is not well-formed.
  // Label styles go to styles.xml (when there is one); content.xml is handed
  // to `contentStream` as it is made.
  template <typename Done>
  bool each(TextConverter* converter, Encoding from, std::string& error, Done done, LabelStyles* labels = nullptr,
            zip::Streamed* contentStream = nullptr) {
    for (const auto& [index, xmlText, set, shared] :
         {std::tuple{styles, std::string_view(stylesXml), &common, static_cast<const StyleSet*>(nullptr)},
          std::tuple{content, std::string_view(contentXml), &own, static_cast<const StyleSet*>(&common)}}) {
      if (!index) continue;
      PartRewriter rewriter(xmlText, *set, shared, converter, from, styles ? labels : nullptr);
      if (index == content && contentStream != nullptr) rewriter.streamTo(contentStream);
      if (!rewriter.run()) {
        error = "'" + pkg->name(*index) + "' is not well-formed XML: " + rewriter.error();
        return false;
      }
      done(*index, rewriter);
    }
    return true;
  }
};

}  // namespace

docx::Outcome convertOdt(std::string_view odt, Encoding from, Encoding to, const conv::Options& options,
                         std::string& out) {
  docx::Outcome outcome;
  out.clear();
  auto converter = TextConverter::create(from, to, options, outcome.error);
  if (!converter) return outcome;
  OdtParts parts;
  if (!parts.read(odt, outcome.error)) return outcome;
  std::map<std::size_t, std::string> replaced;
  std::map<std::size_t, zip::Streamed*> streamed;
  zip::Streamed stream;
  LabelStyles labels;
  const bool read = parts.each(
      converter.get(), from, outcome.error,
      [&](std::size_t index, PartRewriter& rewriter) {
        if (!rewriter.changed()) return;
        if (index == parts.content) {
          stream.head(std::move(rewriter.head()));
          stream.add(std::move(rewriter.output()));
          streamed.emplace(index, &stream);
        } else {
          replaced.emplace(index, std::move(rewriter.output()));
        }
        outcome.changedParts.push_back(parts.pkg->name(index));
      },
      &labels, &stream);
  if (!read) return outcome;
  if (!labels.made.empty()) {
    auto it = replaced.find(*parts.styles);
    if (it == replaced.end()) {
      it = replaced.emplace(*parts.styles, parts.stylesXml).first;
      outcome.changedParts.push_back(parts.pkg->name(*parts.styles));
    }
    it->second = withLabelStyles(it->second, labels);
  }
  outcome.stats = converter->stats();
  if (!parts.pkg->write(replaced, streamed, out, outcome.error)) out.clear();
  return outcome;
}

docx::Outcome convertFodt(std::string_view fodt, Encoding from, Encoding to, const conv::Options& options,
                          std::string& out) {
  docx::Outcome outcome;
  out.clear();
  auto converter = TextConverter::create(from, to, options, outcome.error);
  if (!converter) return outcome;
  StyleSet set;
  readStyles(fodt, set);
  LabelStyles labels;
  PartRewriter rewriter(fodt, set, nullptr, converter.get(), from, &labels);
  if (!rewriter.run()) {
    outcome.error = "not well-formed XML: " + rewriter.error();
    return outcome;
  }
  outcome.stats = converter->stats();
  if (rewriter.changed()) outcome.changedParts.push_back("content");
  out = labels.made.empty() ? std::move(rewriter.output()) : withLabelStyles(rewriter.output(), labels);
  return outcome;
}

std::vector<docx::PartEncodings> odtEncodings(std::string_view odt, std::string& error) {
  std::vector<docx::PartEncodings> result;
  OdtParts parts;
  if (!parts.read(odt, error)) return result;
  const bool read = parts.each(nullptr, Encoding::HIMA, error, [&](std::size_t index, const PartRewriter& scan) {
    result.push_back(docx::partEncodings(parts.pkg->name(index), scan.seen()));
  });
  if (!read) result.clear();
  return result;
}

std::vector<docx::PartEncodings> fodtEncodings(std::string_view fodt, std::string& error) {
  StyleSet set;
  readStyles(fodt, set);
  PartRewriter scan(fodt, set, nullptr, nullptr, Encoding::HIMA);
  if (!scan.run()) {
    error = "not well-formed XML: " + scan.error();
    return {};
  }
  return {docx::partEncodings("content", scan.seen())};
}

}  // namespace yig::docs::odt
