#include "documents/docx_convert.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <unordered_map>

#include "documents/docx_text.h"
#include "documents/docx_xml.h"
#include "documents/docx_zip.h"

namespace yig::docs::docx {
namespace {

constexpr std::string_view kMainNamespace = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr std::size_t kMaxDepth = 1000;

enum SlotIndex { kAscii = 0, kHAnsi = 1, kEastAsia = 2, kCs = 3 };
constexpr std::array<std::string_view, 4> kSlotNames = {"ascii", "hAnsi", "eastAsia", "cs"};
constexpr std::array<std::string_view, 4> kThemeNames = {"asciiTheme", "hAnsiTheme", "eastAsiaTheme", "cstheme"};

bool startsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }
bool endsWith(std::string_view s, std::string_view p) {
  return s.size() >= p.size() && s.substr(s.size() - p.size()) == p;
}

// The part whose list levels draw their labels in fonts of their own.
constexpr std::string_view kNumberingPart = "word/numbering.xml";

// The parts whose runs hold the document's text.
bool isTextPart(std::string_view name) {
  if (name == "word/document.xml" || name == "word/footnotes.xml" || name == "word/endnotes.xml" ||
      name == "word/comments.xml" || name == "word/glossary/document.xml") {
    return true;
  }
  for (std::string_view stem : {"word/header", "word/footer"}) {
    if (startsWith(name, stem) && endsWith(name, ".xml") && name.find('/', stem.size()) == std::string_view::npos) {
      return true;
    }
  }
  return false;
}

// A font slot as one level of formatting sets it: a name, or a theme font.
struct Slot {
  std::string value;
  bool theme = false;
  bool set = false;
};

struct RunProps {
  std::array<Slot, 4> slots;
  std::optional<std::string> hint;
  std::optional<bool> cs, rtl;
  std::string rStyle;

  void overlay(const RunProps& o) {
    for (std::size_t i = 0; i < 4; ++i) {
      if (o.slots[i].set) slots[i] = o.slots[i];
    }
    if (o.hint) hint = o.hint;
    if (o.cs) cs = o.cs;
    if (o.rtl) rtl = o.rtl;
  }
};

// "<w:b/>", "<w:b w:val="0"/>": on unless the value says off.
bool toggle(std::string_view tag, const std::string& valName) {
  auto v = xml::attribute(tag, valName);
  return !v || !(*v == "0" || *v == "false" || *v == "off");
}

// Reads the direct children of a <w:rPr> element (its bytes, well formed).
RunProps parseRunProps(std::string_view rPr, const std::string& w) {
  RunProps p;
  xml::Tokenizer t(rPr);
  for (;;) {
    const xml::Token tok = t.next();
    if (tok.kind == xml::Kind::End || tok.kind == xml::Kind::Error) break;
    if ((tok.kind != xml::Kind::StartTag && tok.kind != xml::Kind::EmptyTag) ||
        t.depth() != (tok.kind == xml::Kind::StartTag ? 2u : 1u)) {
      continue;
    }
    const std::string_view name = tok.name;
    if (!startsWith(name, w)) continue;
    const std::string_view local = name.substr(w.size());
    if (local == "rFonts") {
      for (std::size_t i = 0; i < 4; ++i) {
        auto theme = xml::attribute(tok.bytes, w + std::string(kThemeNames[i]));
        auto plain = xml::attribute(tok.bytes, w + std::string(kSlotNames[i]));
        if (theme && !theme->empty()) {
          p.slots[i] = {*theme, true, true};
        } else if (plain && !plain->empty()) {
          p.slots[i] = {*plain, false, true};
        }
      }
      if (auto h = xml::attribute(tok.bytes, w + "hint")) p.hint = *h;
    } else if (local == "cs") {
      p.cs = toggle(tok.bytes, w + "val");
    } else if (local == "rtl") {
      p.rtl = toggle(tok.bytes, w + "val");
    } else if (local == "rStyle") {
      if (auto v = xml::attribute(tok.bytes, w + "val")) p.rStyle = *v;
    }
  }
  return p;
}

// The prefix the part binds to the WordprocessingML namespace ("w:"), from
// its root tag; nothing when the part does not use it.
std::optional<std::string> mainPrefix(std::string_view rootTag) {
  std::size_t at = 0;
  while ((at = rootTag.find("xmlns:", at)) != std::string_view::npos) {
    const std::size_t eq = rootTag.find('=', at);
    if (eq == std::string_view::npos) break;
    std::string prefix(rootTag.substr(at + 6, eq - at - 6));
    while (!prefix.empty() && (prefix.back() == ' ' || prefix.back() == '\t' || prefix.back() == '\r' || prefix.back() == '\n')) prefix.pop_back();
    auto v = xml::attribute(rootTag, "xmlns:" + prefix);
    if (v && *v == kMainNamespace) return prefix + ":";
    at = eq;
  }
  return std::nullopt;
}

struct Theme {
  // [major/minor][latin, ea, cs]
  std::array<std::array<std::string, 3>, 2> fonts;
  std::array<std::map<std::string, std::string>, 2> scripts;  // script -> typeface
};

Theme parseTheme(std::string_view xmlText) {
  Theme theme;
  xml::Tokenizer t(xmlText);
  int which = -1;
  for (;;) {
    const xml::Token tok = t.next();
    if (tok.kind == xml::Kind::End || tok.kind == xml::Kind::Error) break;
    const std::string_view name = tok.name;
    const std::size_t colon = name.find(':');
    const std::string_view local = colon == std::string_view::npos ? name : name.substr(colon + 1);
    if (tok.kind == xml::Kind::EndTag) {
      if (local == "majorFont" || local == "minorFont") which = -1;
      continue;
    }
    if (tok.kind != xml::Kind::StartTag && tok.kind != xml::Kind::EmptyTag) continue;
    if (local == "majorFont") which = 0;
    else if (local == "minorFont") which = 1;
    if (which < 0) continue;
    const auto typeface = xml::attribute(tok.bytes, "typeface");
    if (!typeface) continue;
    const std::size_t w = static_cast<std::size_t>(which);
    if (local == "latin") theme.fonts[w][0] = *typeface;
    else if (local == "ea") theme.fonts[w][1] = *typeface;
    else if (local == "cs") theme.fonts[w][2] = *typeface;
    else if (local == "font") {
      if (auto script = xml::attribute(tok.bytes, "script")) theme.scripts[w][*script] = *typeface;
    }
  }
  return theme;
}

std::string scriptOfLanguage(std::string_view lang) {
  if (lang == "zh-TW" || lang == "zh-HK" || lang == "zh-MO") return "Hant";
  if (startsWith(lang, "zh")) return "Hans";
  if (startsWith(lang, "ja")) return "Jpan";
  if (startsWith(lang, "ko")) return "Hang";
  if (startsWith(lang, "bo") || startsWith(lang, "dz")) return "Tibt";
  if (startsWith(lang, "ar") || startsWith(lang, "fa") || startsWith(lang, "ur")) return "Arab";
  if (startsWith(lang, "he")) return "Hebr";
  if (startsWith(lang, "hi")) return "Deva";
  return {};
}

struct Style {
  std::string basedOn;
  RunProps props;
};

// What the package says about fonts outside the text parts.
struct FontContext {
  std::string w = "w:";
  RunProps defaults;
  std::unordered_map<std::string, Style> styles;
  std::string defaultParagraphStyle;
  Theme theme;
  std::string eastAsiaScript, bidiScript;

  // Each slot set by the style and those it is based on (nearest wins).
  void applyStyle(RunProps& p, const std::string& id) const {
    std::vector<const Style*> chain;
    std::string at = id;
    while (!at.empty() && chain.size() < 64) {
      auto it = styles.find(at);
      if (it == styles.end()) break;
      chain.push_back(&it->second);
      at = it->second.basedOn;
    }
    for (auto s = chain.rbegin(); s != chain.rend(); ++s) p.overlay((*s)->props);
  }

  std::string themeFont(const std::string& name) const {
    const std::size_t which = startsWith(name, "major") ? 0 : 1;
    const std::string_view kind = std::string_view(name).substr(5);
    if (kind == "EastAsia") {
      if (!theme.fonts[which][1].empty()) return theme.fonts[which][1];
      auto it = theme.scripts[which].find(eastAsiaScript);
      return it == theme.scripts[which].end() ? std::string() : it->second;
    }
    if (kind == "Bidi") {
      if (!theme.fonts[which][2].empty()) return theme.fonts[which][2];
      auto it = theme.scripts[which].find(bidiScript);
      return it == theme.scripts[which].end() ? std::string() : it->second;
    }
    return theme.fonts[which][0];
  }
};

void readStyles(std::string_view xmlText, FontContext& ctx) {
  xml::Tokenizer t(xmlText);
  const std::string& w = ctx.w;
  std::vector<std::string_view> names;
  Style* style = nullptr;
  bool inDefaults = false;
  std::size_t rPrStart = std::string_view::npos;
  for (;;) {
    const xml::Token tok = t.next();
    if (tok.kind == xml::Kind::End || tok.kind == xml::Kind::Error) break;
    if (tok.kind == xml::Kind::StartTag || tok.kind == xml::Kind::EmptyTag) {
      const std::string_view parent = names.empty() ? std::string_view() : names.back();
      if (tok.name == w + "style") {
        std::string id = xml::attribute(tok.bytes, w + "styleId").value_or("");
        style = &ctx.styles[id];
        if (xml::attribute(tok.bytes, w + "type").value_or("") == "paragraph" &&
            toggle(tok.bytes, w + "default") && xml::attribute(tok.bytes, w + "default")) {
          ctx.defaultParagraphStyle = id;
        }
      } else if (tok.name == w + "rPrDefault") {
        inDefaults = true;
      } else if (tok.name == w + "basedOn" && style != nullptr && parent == w + "style") {
        style->basedOn = xml::attribute(tok.bytes, w + "val").value_or("");
      } else if (tok.name == w + "rPr" && (parent == w + "style" || (inDefaults && parent == w + "rPrDefault"))) {
        if (tok.kind == xml::Kind::StartTag) rPrStart = tok.offset;
      }
      if (tok.kind == xml::Kind::StartTag) names.push_back(tok.name);
    } else if (tok.kind == xml::Kind::EndTag) {
      if (!names.empty()) names.pop_back();
      if (tok.name == w + "rPr" && rPrStart != std::string_view::npos) {
        const std::string_view bytes = xmlText.substr(rPrStart, tok.offset + tok.bytes.size() - rPrStart);
        RunProps p = parseRunProps(bytes, w);
        if (inDefaults) {
          ctx.defaults = p;
        } else if (style != nullptr) {
          style->props = p;
        }
        rPrStart = std::string_view::npos;
      } else if (tok.name == w + "style") {
        style = nullptr;
      } else if (tok.name == w + "rPrDefault") {
        inDefaults = false;
      }
    }
  }
}

// The fonts a run is drawn in, resolved, with what they stand for.
struct Resolved {
  std::array<std::optional<Encoding>, 4> encoding;
  std::array<int, 4> samFont{-1, -1, -1, -1};
  bool csRun = false;
  bool eastAsiaHint = false;
};

// What the fonts of properties worked out to the end stand for.
Resolved resolveSlots(const RunProps& p, const FontContext& ctx) {
  Resolved r;
  for (std::size_t i = 0; i < 4; ++i) {
    const Slot& s = p.slots[i];
    if (!s.set) continue;
    const std::string name = s.theme ? ctx.themeFont(s.value) : s.value;
    const std::u16string n = xml::toUtf16(name);
    r.encoding[i] = encodingOfFontName(n);
    if (r.encoding[i] == Encoding::SAM) {
      auto index = sambhotaFontIndex(n);
      r.samFont[i] = index ? static_cast<int>(*index) : -1;
      if (!index) r.encoding[i].reset();
    }
  }
  r.csRun = p.cs.value_or(false) || p.rtl.value_or(false);
  r.eastAsiaHint = p.hint.value_or("") == "eastAsia";
  return r;
}

// The slots (bits 1 ascii, 2 hAnsi, 4 eastAsia, 8 cs) that may draw `c`: the
// one Word's table gives, and the one LibreOffice uses where they differ.
enum CharClass { kTibetan, kBasicLatin, kPrivateUse, kCjk, kOtherChar, kCharClasses };

CharClass charClass(char16_t c) {
  if (c >= 0x0F00 && c <= 0x0FFF) return kTibetan;
  if (c < 0x80) return kBasicLatin;
  if (c >= 0xE000 && c <= 0xF8FF) return kPrivateUse;
  if (isCjk(c)) return kCjk;
  return kOtherChar;
}

// The same for every character of a class.
unsigned slotsFor(CharClass k, const Resolved& r, bool national) {
  if (r.csRun) return 1u << kCs;
  switch (k) {
    case kTibetan: return (1u << kAscii) | (1u << kHAnsi) | (1u << kCs);
    case kBasicLatin: return 1u << kAscii;
    case kPrivateUse: return 15u;
    case kCjk: return (1u << kEastAsia) | (national ? (1u << kAscii) | (1u << kHAnsi) : 0u);
    default: return (1u << kAscii) | (1u << kHAnsi) | ((r.eastAsiaHint || national) ? (1u << kEastAsia) : 0u);
  }
}

// The slot whose font draws a class of characters in a run resolved as `r`
// when that font is one of `from`; -1 when it is not.
int sourceSlot(CharClass k, const Resolved& r, Encoding from, bool national) {
  const unsigned slots = slotsFor(k, r, national);
  for (std::size_t i = 0; i < 4; ++i) {
    if ((slots & (1u << i)) != 0 && r.encoding[i] == from) return static_cast<int>(i);
  }
  return -1;
}

// The encoding drawing `c` in a run resolved as `r`, for a conversion from
// `from`; nothing when it is not drawn in a font of `from`. `national` is
// info(from).national, looked up once by callers that test many characters.
bool drawnIn(char16_t c, const Resolved& r, Encoding from, bool national, int& samFont) {
  if (!isSourceChar(c, from)) return false;
  const int slot = sourceSlot(charClass(c), r, from, national);
  if (slot < 0) return false;
  samFont = r.samFont[static_cast<std::size_t>(slot)];
  return true;
}

bool drawnIn(char16_t c, const Resolved& r, Encoding from, int& samFont) {
  return drawnIn(c, r, from, info(from).national, samFont);
}

// Elements of a run's properties that come after w:color, in schema order.
bool afterColor(std::string_view local) {
  static const std::set<std::string_view> kAfter = {
      "spacing", "w", "kern", "position", "sz", "szCs", "highlight", "u", "effect", "bdr", "shd", "fitText",
      "vertAlign", "rtl", "cs", "em", "lang", "eastAsianLayout", "specVanish", "oMath", "rPrChange"};
  return kAfter.count(local) != 0;
}

// The run's properties with `font` in every font slot (when not empty) and
// red as its colour (when `red`), every other property kept in its place.
std::string rewriteRunProps(std::string_view rPr, const std::string& w, const std::string& font, bool red) {
  std::string open = "<" + w + "rPr>", close = "</" + w + "rPr>";
  struct Part {
    std::string_view local;
    std::string_view bytes;
  };
  std::vector<Part> parts;
  if (!rPr.empty()) {
    xml::Tokenizer t(rPr);
    std::size_t childStart = 0;
    for (;;) {
      const xml::Token tok = t.next();
      if (tok.kind == xml::Kind::End || tok.kind == xml::Kind::Error) break;
      const std::size_t d = t.depth();
      if (tok.kind == xml::Kind::StartTag && d == 1) {
        open.assign(tok.bytes);
        continue;
      }
      if (tok.kind == xml::Kind::EndTag && d == 0) {
        close.assign(tok.bytes);
        break;
      }
      if (tok.kind == xml::Kind::StartTag && d == 2) childStart = tok.offset;
      const std::string_view local = startsWith(tok.name, w) ? tok.name.substr(w.size()) : std::string_view();
      if (tok.kind == xml::Kind::EmptyTag && d == 1) {
        parts.push_back({local, tok.bytes});
      } else if (tok.kind == xml::Kind::EndTag && d == 1) {
        parts.push_back({local, rPr.substr(childStart, tok.offset + tok.bytes.size() - childStart)});
      } else if (d == 1 && (tok.kind == xml::Kind::Text || tok.kind == xml::Kind::Comment)) {
        parts.push_back({{}, tok.bytes});
      }
    }
  }
  const std::string fonts = font.empty() ? std::string()
                                         : "<" + w + "rFonts " + w + "ascii=\"" + xml::escape(font) + "\" " + w +
                                               "hAnsi=\"" + xml::escape(font) + "\" " + w + "eastAsia=\"" +
                                               xml::escape(font) + "\" " + w + "cs=\"" + xml::escape(font) + "\"/>";
  const std::string color = red ? "<" + w + "color " + w + "val=\"FF0000\"/>" : std::string();
  std::string out = open;
  bool fontsDone = fonts.empty(), colorDone = color.empty();
  for (const Part& p : parts) {
    if (!fontsDone && p.local != "rStyle" && !p.local.empty()) {
      out += fonts;
      fontsDone = true;
    }
    if (!colorDone && afterColor(p.local)) {
      out += color;
      colorDone = true;
    }
    if ((!fonts.empty() && p.local == "rFonts") || (!color.empty() && p.local == "color")) continue;
    out.append(p.bytes);
  }
  if (!fontsDone) out += fonts;
  if (!colorDone) out += color;
  out += close;
  return out;
}

class PartRewriter {
 public:
  PartRewriter(std::string_view xmlText, const FontContext& ctx, TextConverter* converter, Encoding from,
               std::set<std::pair<std::string, int>>* usedFonts)
      : tok_(xmlText), ctx_(ctx), w_(ctx.w), converter_(converter), from_(from), used_(usedFonts) {
    if (converter != nullptr) out_.reserve(xmlText.size() + xmlText.size() / 4);
  }

  // What is written is handed to `stream` a piece at a time, to be
  // compressed while the rest is made; output() then holds only the end.
  void streamTo(zip::Streamed* stream) {
    stream_ = stream;
    out_.reserve(zip::Streamed::kPiece + zip::Streamed::kPiece / 4);
  }

  bool run() {
    const bool read = xml::forEachToken(tok_, kMaxDepth, error_, [this](const xml::Token& t) {
      token(t);
      if (stream_ != nullptr && out_.size() >= zip::Streamed::kPiece) {
        stream_->add(std::move(out_));
        out_ = stream_->room();
        out_.reserve(zip::Streamed::kPiece + zip::Streamed::kPiece / 4);
      }
    });
    if (!read) return false;
    flushPending();
    return true;
  }

  bool changed() const { return changed_; }
  std::string& output() { return out_; }
  const std::string& error() const { return error_; }
  const std::array<std::size_t, kEncodingCount>& seen() const { return seen_; }

 private:
  // Bytes that are a stretch of the part are kept as a view of it; they
  // are copied once something else joins them (a run rewritten inside).
  class Stretch {
   public:
    void append(std::string_view s) {
      if (!owned_ && (view_.empty() || view_.data() + view_.size() == s.data())) {
        view_ = view_.empty() ? s : std::string_view(view_.data(), view_.size() + s.size());
        return;
      }
      owned().append(s);
    }
    std::string& owned() {
      if (!owned_) {
        own_.assign(view_);
        owned_ = true;
      }
      return own_;
    }
    std::string_view view() const { return owned_ ? std::string_view(own_) : view_; }

   private:
    std::string_view view_;
    std::string own_;
    bool owned_ = false;
  };
  struct Child {
    enum Kind { Opaque, RPr, Text, Sym } kind = Opaque;
    Stretch bytes;
    Stretch text;          // Text: the characters, references resolved
    std::string_view tag;  // Text: the element's qualified name
    bool plain = true;     // Text: only character data inside
    std::size_t depth = 0;
  };
  struct Run {
    std::size_t depth = 0;
    std::string_view startTag;
    std::vector<Child> children;
    bool inChild = false;
    std::uint64_t offset = 0;
  };
  struct Para {
    std::size_t depth;
    std::string style;
  };

  std::string& sink() {
    if (!runs_.empty()) {
      Run& r = runs_.back();
      if (r.inChild) return r.children.back().bytes.owned();
      r.children.push_back({});
      return r.children.back().bytes.owned();
    }
    return out_;
  }

  bool is(std::string_view name, std::string_view local) const {
    return name.size() == w_.size() + local.size() && startsWith(name, w_) && name.substr(w_.size()) == local;
  }

  void token(const xml::Token& t) {
    const std::size_t depth = tok_.depth();  // after the token
    if (!rootSeen_ && (t.kind == xml::Kind::StartTag || t.kind == xml::Kind::EmptyTag)) {
      rootSeen_ = true;
      // Parts that do not use the usual prefix are left as they are.
      auto prefix = mainPrefix(t.bytes);
      if (!prefix || *prefix != w_) active_ = false;
    }
    if (!active_) {
      out_.append(t.bytes);
      return;
    }
    if (!runs_.empty()) {
      Run& r = runs_.back();
      if (r.inChild) {
        Child& c = r.children.back();
        const bool closes = t.kind == xml::Kind::EndTag && depth == r.depth;
        if (c.kind == Child::Text && !closes) {
          if (t.kind == xml::Kind::Text && t.bytes.find('&') == std::string_view::npos) {
            c.text.append(t.bytes);
          } else if (t.kind == xml::Kind::Text) {
            xml::appendUnescaped(c.text.owned(), t.bytes);
          } else if (t.kind == xml::Kind::CData) {
            c.text.append(t.bytes.substr(9, t.bytes.size() - 12));
          } else {
            c.plain = false;
          }
        }
        if (c.kind == Child::Opaque && is(t.name, "r") && t.kind == xml::Kind::StartTag) {
          beginRun(t, depth);  // a run inside a drawing or text box
          return;
        }
        if (c.kind == Child::Opaque) trackParagraphs(t, depth);
        c.bytes.append(t.bytes);
        if (closes) r.inChild = false;
        return;
      }
      // A direct child of the run.
      if (t.kind == xml::Kind::EndTag && depth == r.depth - 1) {
        endRun(t);
        return;
      }
      Child c;
      c.bytes.append(t.bytes);
      if (t.kind == xml::Kind::StartTag) {
        if (is(t.name, "rPr")) c.kind = Child::RPr;
        else if (is(t.name, "t") || is(t.name, "delText")) c.kind = Child::Text;
        c.tag = t.name;
        r.children.push_back(std::move(c));
        r.inChild = true;
        if (r.children.back().kind == Child::Opaque) trackParagraphs(t, depth);
        return;
      }
      if (t.kind == xml::Kind::EmptyTag) {
        if (is(t.name, "sym")) c.kind = Child::Sym;
        else if (is(t.name, "t") || is(t.name, "delText")) c.kind = Child::Text;
        c.tag = t.name;
      }
      r.children.push_back(std::move(c));
      return;
    }
    if (is(t.name, "r") && t.kind == xml::Kind::StartTag) {
      beginRun(t, depth);
      return;
    }
    if (!pending_.empty()) {
      // Marks that stand between two runs do not end a unit that spans them.
      const bool blank = t.kind == xml::Kind::Text && t.bytes.find_first_not_of(" \t\r\n") == std::string_view::npos;
      const bool mark = t.kind == xml::Kind::EmptyTag &&
                        (is(t.name, "bookmarkStart") || is(t.name, "bookmarkEnd") || is(t.name, "proofErr") ||
                         is(t.name, "commentRangeStart") || is(t.name, "commentRangeEnd") || is(t.name, "permStart") ||
                         is(t.name, "permEnd"));
      if (blank || mark) {
        Pending p;
        p.raw = t.bytes;
        pending_.push_back(std::move(p));
        return;
      }
      flushPending();
    }
    trackParagraphs(t, depth);
    out_.append(t.bytes);
  }

  void trackParagraphs(const xml::Token& t, std::size_t depth) {
    if (t.kind == xml::Kind::StartTag && is(t.name, "p")) {
      paras_.push_back({depth, {}});
    } else if (t.kind == xml::Kind::EndTag && is(t.name, "p")) {
      if (!paras_.empty()) paras_.pop_back();
    } else if ((t.kind == xml::Kind::EmptyTag || t.kind == xml::Kind::StartTag) && is(t.name, "pStyle") &&
               !paras_.empty()) {
      const std::size_t expected = paras_.back().depth + (t.kind == xml::Kind::StartTag ? 2 : 1);
      if (depth == expected) paras_.back().style = xml::attribute(t.bytes, w_ + "val").value_or("");
    } else if (t.kind == xml::Kind::StartTag && is(t.name, "tbl")) {
      tables_.push_back({depth, {}});
    } else if (t.kind == xml::Kind::EndTag && is(t.name, "tbl")) {
      if (!tables_.empty()) tables_.pop_back();
    } else if ((t.kind == xml::Kind::EmptyTag || t.kind == xml::Kind::StartTag) && is(t.name, "tblStyle") &&
               !tables_.empty()) {
      const std::size_t expected = tables_.back().depth + (t.kind == xml::Kind::StartTag ? 2 : 1);
      if (depth == expected) tables_.back().style = xml::attribute(t.bytes, w_ + "val").value_or("");
    }
  }

  void beginRun(const xml::Token& t, std::size_t depth) {
    Run r;
    r.depth = depth;
    r.startTag = t.bytes;
    r.offset = t.offset;
    r.children.reserve(4);  // properties, text and a few more, in one allocation
    runs_.push_back(std::move(r));
  }

  // The fonts of a run; runs formatted alike in paragraphs of one style
  // (most of a document) are worked out once.
  const Resolved& resolveRun(const Run& run) {
    std::string& key = key_;
    key.clear();
    if (!paras_.empty()) key += paras_.back().style;
    key += '\x01';
    if (!tables_.empty()) key += tables_.back().style;
    key += '\x01';
    const Child* rPr = nullptr;
    for (const Child& c : run.children) {
      if (c.kind == Child::RPr) {
        rPr = &c;
        key += c.bytes.view();
        break;
      }
    }
    auto it = resolved_.find(key);
    if (it != resolved_.end()) return it->second;
    if (resolved_.size() > 4096) resolved_.clear();
    const RunProps direct = rPr ? parseRunProps(rPr->bytes.view(), w_) : RunProps{};
    return resolved_.emplace(key, resolve(direct)).first->second;
  }

  Resolved resolve(const RunProps& direct) const {
    RunProps p = ctx_.defaults;
    // A table's style lies between the document defaults and the paragraph's.
    if (!tables_.empty()) ctx_.applyStyle(p, tables_.back().style);
    std::string pStyle = paras_.empty() ? std::string() : paras_.back().style;
    if (pStyle.empty()) pStyle = ctx_.defaultParagraphStyle;
    ctx_.applyStyle(p, pStyle);
    if (!direct.rStyle.empty()) ctx_.applyStyle(p, direct.rStyle);
    p.overlay(direct);
    return resolveSlots(p, ctx_);
  }

  // The characters of a text child, each with whether a source font draws it.
  std::vector<SourceChar> sourceChars(const std::u16string& text, const Resolved& r, bool& any) {
    std::vector<SourceChar> chars;
    chars.reserve(text.size());
    const bool national = info(from_).national;
    std::array<int, kCharClasses> slots;  // what drawnIn finds, per class of character
    for (std::size_t k = 0; k < kCharClasses; ++k) slots[k] = sourceSlot(static_cast<CharClass>(k), r, from_, national);
    for (char16_t c : text) {
      const int slot = isSourceChar(c, from_) ? slots[charClass(c)] : -1;
      const bool source = slot >= 0;
      const int sam = source ? r.samFont[static_cast<std::size_t>(slot)] : -1;
      if (source && from_ == Encoding::SAM && sam < 0) {
        chars.push_back({c, false, -1});
        continue;
      }
      any = any || source;
      chars.push_back({c, source, static_cast<std::int8_t>(sam)});
    }
    return chars;
  }

  void noteEncodings(const std::u16string& text, const Resolved& r) {
    for (char16_t c : text) {
      for (std::size_t e = 0; e < kEncodingCount; ++e) {
        int sam = -1;
        if (drawnIn(c, r, static_cast<Encoding>(e), sam)) ++seen_[e];
      }
    }
  }

  // A run read whole: its children and, for those that hold text, the
  // characters with whether a source font draws them.
  struct Prepared {
    Run run;
    std::string_view end;
    std::vector<std::optional<std::vector<SourceChar>>> chars;  // per child
  };
  struct Pending {
    std::optional<Prepared> run;
    std::string_view raw;  // when not a run: bytes between runs
  };

  void endRun(const xml::Token& end) {
    Prepared p;
    p.run = std::move(runs_.back());
    runs_.pop_back();
    p.end = end.bytes;
    const Resolved resolved = resolveRun(p.run);
    bool any = false;
    p.chars.resize(p.run.children.size());
    for (std::size_t i = 0; i < p.run.children.size(); ++i) {
      const Child& c = p.run.children[i];
      std::u16string& text = text_;
      text.clear();
      Resolved r = resolved;
      if (c.kind == Child::Text && c.plain) {
        xml::appendUtf16(text, c.text.view());
      } else if (c.kind == Child::Sym) {
        // A symbol names its own font; its code is the character, or F000 + byte.
        const std::string font = xml::attribute(c.bytes.view(), w_ + "font").value_or("");
        const std::string code = xml::attribute(c.bytes.view(), w_ + "char").value_or("");
        if (code.empty() || code.size() > 4 || code.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
          continue;
        }
        text.assign(1, static_cast<char16_t>(std::stoul(code, nullptr, 16)));
        const std::u16string n = xml::toUtf16(font);
        r = Resolved{};
        for (std::size_t k = 0; k < 4; ++k) {
          r.encoding[k] = encodingOfFontName(n);
          if (r.encoding[k] == Encoding::SAM) {
            auto index = sambhotaFontIndex(n);
            r.samFont[k] = index ? static_cast<int>(*index) : -1;
          }
        }
      } else {
        continue;
      }
      if (converter_ == nullptr) {
        noteEncodings(text, r);
        continue;
      }
      p.chars[i] = sourceChars(text, r, any);
    }
    if (!any) {
      // Nothing to convert: the run as it was, and it ends a unit.
      if (runs_.empty()) flushPending();
      std::string& dest = sink();
      dest.append(p.run.startTag);
      for (const Child& c : p.run.children) dest.append(c.bytes.view());
      dest.append(p.end);
      return;
    }
    if (runs_.empty()) {
      // Consecutive runs in source fonts are converted together, so that a
      // unit split over two runs is still one unit.
      Pending item;
      item.run = std::move(p);
      pending_.push_back(std::move(item));
      return;
    }
    std::vector<Pending> alone(1);
    alone[0].run = std::move(p);
    convertRuns(alone, sink());
  }

  void flushPending() {
    if (pending_.empty()) return;
    flushing_.swap(pending_);
    convertRuns(flushing_, out_);
    flushing_.clear();
  }

  void convertRuns(std::vector<Pending>& items, std::string& dest) {
    std::vector<SourceChar>& all = all_;
    std::vector<std::pair<std::size_t, std::size_t>>& origins = origins_;  // (item, child) per origin number
    all.clear();
    origins.clear();
    for (std::size_t k = 0; k < items.size(); ++k) {
      if (!items[k].run) continue;
      auto& chars = items[k].run->chars;
      for (std::size_t i = 0; i < chars.size(); ++i) {
        if (!chars[i]) continue;
        const auto origin = static_cast<std::uint32_t>(origins.size());
        origins.emplace_back(k, i);
        for (SourceChar sc : *chars[i]) {
          sc.origin = origin;
          all.push_back(sc);
        }
      }
    }
    std::vector<Piece>& pieces = pieces_;
    pieces.clear();
    std::uint64_t offset = 0;
    for (const Pending& item : items) {
      if (item.run) {
        offset = item.run->run.offset;
        break;
      }
    }
    converter_->convert(all, pieces, offset);
    // Each child's pieces in the order written, one stretch per origin.
    const auto byOrigin = [](const Piece& a, const Piece& b) { return a.origin < b.origin; };
    if (!std::is_sorted(pieces.begin(), pieces.end(), byOrigin)) std::stable_sort(pieces.begin(), pieces.end(), byOrigin);
    std::size_t at = 0, o = 0;
    for (std::size_t k = 0; k < items.size(); ++k) {
      if (!items[k].run) {
        dest.append(items[k].raw);
        continue;
      }
      childPieces_.assign(items[k].run->chars.size(), {});
      for (; o < origins.size() && origins[o].first == k; ++o) {
        const std::size_t first = at;
        while (at < pieces.size() && pieces[at].origin == o) ++at;
        childPieces_[origins[o].second] = std::span<const Piece>(pieces.data() + first, at - first);
      }
      emitRun(*items[k].run, childPieces_, dest);
    }
  }

  // Writes a run: as it was when none of its text changed, else split into
  // runs of one formatting each.
  void emitRun(const Prepared& p, const std::vector<std::span<const Piece>>& pieces, std::string& dest) {
    const Run& run = p.run;
    std::vector<bool> changedChild(run.children.size(), false);
    bool changedRun = false;
    for (std::size_t i = 0; i < run.children.size(); ++i) {
      if (!p.chars[i]) continue;
      std::size_t length = 0;
      bool differs = false;
      for (const Piece& piece : pieces[i]) {
        differs = differs || piece.font || piece.red;
        length += piece.text.size();
      }
      // A child whose characters went into a unit of the run before changes too.
      differs = differs || length != p.chars[i]->size();
      changedChild[i] = differs;
      changedRun = changedRun || differs;
    }
    if (!changedRun) {
      dest.append(run.startTag);
      for (const Child& c : run.children) dest.append(c.bytes.view());
      dest.append(p.end);
      return;
    }
    changed_ = true;
    const Child* rPr = nullptr;
    for (const Child& c : run.children) {
      if (c.kind == Child::RPr) {
        rPr = &c;
        break;
      }
    }
    // Consecutive output with the same formatting shares one run.
    struct Group {
      std::optional<Encoding> font;
      int samFont = -1;
      bool red = false;
      std::string content;
    };
    std::vector<Group> groups;
    auto groupFor = [&](std::optional<Encoding> font, int samFont, bool red) -> std::string& {
      if (groups.empty() || groups.back().font != font || groups.back().samFont != samFont || groups.back().red != red) {
        groups.push_back({font, samFont, red, {}});
      }
      return groups.back().content;
    };
    for (std::size_t i = 0; i < run.children.size(); ++i) {
      const Child& c = run.children[i];
      if (c.kind == Child::RPr) continue;
      if (!changedChild[i]) {
        const bool blank = c.bytes.view().find_first_not_of(" \t\r\n") == std::string_view::npos;
        if (blank && !groups.empty()) {
          groups.back().content.append(c.bytes.view());
        } else {
          groupFor(std::nullopt, -1, false).append(c.bytes.view());
        }
        continue;
      }
      const std::string_view tag = c.kind == Child::Text ? c.tag : std::string_view(textTag_);
      for (const Piece& piece : pieces[i]) {
        std::string& g = groupFor(piece.font, piece.font ? piece.samFont : -1, piece.red);
        g += '<';
        g += tag;
        g += " xml:space=\"preserve\">";
        xml::appendEscaped(g, piece.text);
        g += "</";
        g += tag;
        g += '>';
      }
    }
    const std::string_view rPrBytes = rPr ? rPr->bytes.view() : std::string_view();
    for (const Group& g : groups) {
      dest.append(run.startTag);
      if (!g.font && !g.red) {
        dest.append(rPrBytes);
      } else {
        dest.append(targetProps(rPrBytes, g.font, g.samFont, g.red));
      }
      dest.append(g.content);
      dest.append(p.end);
    }
  }

  // A run's properties set in a target font or red. Most runs of a document
  // share a few formattings, so each is rewritten once.
  const std::string& targetProps(std::string_view rPr, std::optional<Encoding> target, int samFont, bool red) {
    std::string& key = key_;
    key.clear();
    key += static_cast<char>(target ? static_cast<int>(*target) + 1 : 0);
    key += static_cast<char>(samFont + 1);
    key += red ? '1' : '0';
    key.append(rPr);
    auto it = props_.find(key);
    if (it != props_.end()) return it->second;
    if (props_.size() > 4096) props_.clear();
    std::string font;
    if (target) {
      Piece piece;
      piece.font = target;
      piece.samFont = static_cast<std::int8_t>(samFont);
      font = xml::toUtf8(converter_->fontName(piece));
      if (used_ != nullptr) used_->insert({font, info(*target).targetCharset});
    }
    return props_.emplace(key, rewriteRunProps(rPr, w_, font, red)).first->second;
  }

  xml::Tokenizer tok_;
  const FontContext& ctx_;
  const std::string& w_;
  TextConverter* converter_;
  Encoding from_;
  std::set<std::pair<std::string, int>>* used_;
  std::string out_, error_;
  std::vector<Run> runs_;
  std::vector<Pending> pending_, flushing_;
  // Kept between runs for their room: what convertRuns works with.
  std::vector<SourceChar> all_;
  std::vector<std::pair<std::size_t, std::size_t>> origins_;
  std::vector<Piece> pieces_;
  std::vector<std::span<const Piece>> childPieces_;
  std::string key_;  // a look-up key being made (resolveRun, targetProps)
  zip::Streamed* stream_ = nullptr;
  std::vector<Para> paras_, tables_;
  std::unordered_map<std::string, Resolved> resolved_;
  std::unordered_map<std::string, std::string> props_;  // see targetProps
  const std::string textTag_ = w_ + "t";
  std::u16string text_;  // the text of the child endRun is at
  std::array<std::size_t, kEncodingCount> seen_{};  // characters drawn in each encoding's fonts
  bool rootSeen_ = false, active_ = true, changed_ = false;
};

// List labels. Each level of a list in numbering.xml draws its label
// (w:lvlText, where "%1".."%9" stand for the numbers) in fonts of its own, so
// numbering.xml is a part that holds text: a label in a font of the source
// encoding shows as garbage once the paragraphs around it are converted, unless
// it is converted too. The level's w:rPr formats the label alone, over the
// formatting of the paragraph it numbers (never the paragraph's own runs, which
// resolve without it); the paragraph is taken to be in the level's own
// paragraph style (w:pStyle, the style that brings this level with it), or else
// in the default one. A label has one formatting, so its converted text is
// written only when one target font draws all of it; a label that would need
// several (Sambhota glyphs of two fonts), or holds a character that cannot be
// converted, is kept as it was and marked red.
class NumberingRewriter {
 public:
  NumberingRewriter(std::string_view xmlText, const FontContext& ctx, TextConverter* converter, Encoding from,
                    std::set<std::pair<std::string, int>>* usedFonts)
      : xml_(xmlText), ctx_(ctx), w_(ctx.w), converter_(converter), from_(from), used_(usedFonts) {}

  bool run() {
    xml::Tokenizer tok(xml_);
    bool rootSeen = false, active = true;
    Level level;
    bool inLevel = false;
    const bool read = xml::forEachToken(tok, kMaxDepth, error_, [&](const xml::Token& t) {
      const std::size_t depth = tok.depth();
      if (!rootSeen && (t.kind == xml::Kind::StartTag || t.kind == xml::Kind::EmptyTag)) {
        rootSeen = true;
        const auto prefix = mainPrefix(t.bytes);
        active = prefix && *prefix == w_;
      }
      if (!active) return;
      if (t.kind == xml::Kind::StartTag && is(t.name, "lvl")) {
        level = Level{};
        level.depth = depth;
        inLevel = true;
        return;
      }
      if (!inLevel) return;
      if (t.kind == xml::Kind::EmptyTag && depth == level.depth && is(t.name, "lvlText")) {
        level.text = t.bytes;
        level.textAt = t.offset;
      } else if (t.kind == xml::Kind::EmptyTag && depth == level.depth && is(t.name, "pStyle")) {
        level.style = xml::attribute(t.bytes, w_ + "val").value_or("");
      } else if (is(t.name, "rPr") && t.kind == xml::Kind::StartTag && depth == level.depth + 1) {
        level.rPrAt = t.offset;
      } else if (is(t.name, "rPr") && t.kind == xml::Kind::EndTag && depth == level.depth) {
        level.rPr = xml_.substr(level.rPrAt, t.offset + t.bytes.size() - level.rPrAt);
      } else if (is(t.name, "rPr") && t.kind == xml::Kind::EmptyTag && depth == level.depth) {
        level.rPr = t.bytes;
        level.rPrAt = t.offset;
      } else if (t.kind == xml::Kind::EndTag && depth + 1 == level.depth && is(t.name, "lvl")) {
        label(level, t.offset);
        inLevel = false;
      }
    });
    return read;
  }

  bool changed() const { return !edits_.empty(); }
  // The part with the labels rewritten.
  std::string output() {
    std::stable_sort(edits_.begin(), edits_.end(), [](const Edit& a, const Edit& b) { return a.offset < b.offset; });
    std::string out;
    std::size_t at = 0;
    for (const Edit& e : edits_) {
      out.append(xml_, at, e.offset - at);
      out += e.bytes;
      at = e.offset + e.length;
    }
    out.append(xml_, at);
    return out;
  }
  const std::string& error() const { return error_; }
  const std::array<std::size_t, kEncodingCount>& seen() const { return seen_; }

 private:
  struct Level {
    std::size_t depth = 0;
    std::string_view text, rPr;
    std::size_t textAt = 0, rPrAt = 0;
    std::string style;  // the paragraph style that brings the level with it
  };
  struct Edit {
    std::size_t offset, length;
    std::string bytes;
  };

  bool is(std::string_view name, std::string_view local) const {
    return name.size() == w_.size() + local.size() && startsWith(name, w_) && name.substr(w_.size()) == local;
  }

  // The value of the label's w:val replaced; the rest of its tag as it was.
  void replaceValue(const Level& level, std::u16string_view value) {
    const auto span = xml::valueSpan(level.text, w_ + "val");
    if (!span) return;
    edits_.push_back({level.textAt + span->offset, span->length, xml::quotedValue(xml::toUtf8(value), span->quote)});
  }

  void label(const Level& level, std::size_t endAt) {
    if (level.text.empty()) return;
    const auto value = xml::attribute(level.text, w_ + "val");
    if (!value || value->empty()) return;
    RunProps props = ctx_.defaults;
    ctx_.applyStyle(props, level.style.empty() ? ctx_.defaultParagraphStyle : level.style);
    props.overlay(parseRunProps(level.rPr, w_));
    const Resolved r = resolveSlots(props, ctx_);
    const std::u16string text = xml::toUtf16(*value);
    if (converter_ == nullptr) {
      for (char16_t c : text) {
        for (std::size_t e = 0; e < kEncodingCount; ++e) {
          int sam = -1;
          if (drawnIn(c, r, static_cast<Encoding>(e), sam)) ++seen_[e];
        }
      }
      return;
    }
    std::vector<SourceChar> chars;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char16_t c = text[i];
      if (c == u'%' && i + 1 < text.size() && text[i + 1] >= u'1' && text[i + 1] <= u'9') {
        chars.push_back({c, false, -1});
        chars.push_back({text[++i], false, -1});  // a number's place
        continue;
      }
      int sam = -1;
      const bool source = drawnIn(c, r, from_, sam) && !(from_ == Encoding::SAM && sam < 0);
      chars.push_back({c, source, static_cast<std::int8_t>(sam)});
    }
    const Label converted = convertLabel(*converter_, chars, level.textAt);
    if (!converted.font && !converted.red) return;  // nothing took a target font
    std::string font;
    if (converted.font) {
      font = xml::toUtf8(converter_->fontName(*converted.font));
      if (used_ != nullptr) used_->insert({font, info(*converted.font->font).targetCharset});
      replaceValue(level, converted.text[0]);
    }
    const bool red = converted.red;
    const std::string rPr = rewriteRunProps(level.rPr, w_, font, red);
    if (level.rPr.empty()) {
      edits_.push_back({endAt, 0, rPr});
    } else {
      edits_.push_back({level.rPrAt, level.rPr.size(), rPr});
    }
  }

  std::string_view xml_;
  const FontContext& ctx_;
  const std::string& w_;
  TextConverter* converter_;
  Encoding from_;
  std::set<std::pair<std::string, int>>* used_;
  std::vector<Edit> edits_;
  std::string error_;
  std::array<std::size_t, kEncodingCount> seen_{};
};

// Runs a rewriter (or scan) over a part; false, with `error` set, when the
// part is not well-formed.
template <class Rewriter>
bool runOver(Rewriter& rewriter, const std::string& part, std::string& error) {
  if (rewriter.run()) return true;
  error = "'" + part + "' is not well-formed XML: " + rewriter.error();
  return false;
}

std::string hexByte(int v) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[(v >> 4) & 15], kDigits[v & 15]};
}

// The font table with the fonts in `used` declared where it lacks them.
std::string declareFonts(const std::string& table, const std::set<std::pair<std::string, int>>& used, const std::string& w) {
  std::set<std::string> declared;
  xml::Tokenizer t(table);
  std::size_t closeAt = std::string::npos;
  for (;;) {
    const xml::Token tok = t.next();
    if (tok.kind == xml::Kind::End || tok.kind == xml::Kind::Error) break;
    if ((tok.kind == xml::Kind::StartTag || tok.kind == xml::Kind::EmptyTag) && tok.name == w + "font") {
      if (auto n = xml::attribute(tok.bytes, w + "name")) declared.insert(*n);
    }
    if (tok.kind == xml::Kind::EndTag && t.depth() == 0) closeAt = tok.offset;
  }
  if (closeAt == std::string::npos) return table;
  std::string add;
  for (const auto& [name, charset] : used) {
    if (!declared.insert(name).second) continue;
    add += "<" + w + "font " + w + "name=\"" + xml::escape(name) + "\"><" + w + "charset " + w + "val=\"" +
           hexByte(charset) + "\"/><" + w + "family " + w + "val=\"auto\"/><" + w + "pitch " + w +
           "val=\"variable\"/></" + w + "font>";
  }
  if (add.empty()) return table;
  return table.substr(0, closeAt) + add + table.substr(closeAt);
}

// Reads what the text parts need from the package: styles, theme, settings.
bool readContext(zip::Package& pkg, FontContext& ctx, std::string& error) {
  std::string bytes;
  if (auto i = pkg.find("word/theme/theme1.xml")) {
    if (!pkg.read(*i, bytes, error)) return false;
    ctx.theme = parseTheme(bytes);
  }
  if (auto i = pkg.find("word/settings.xml")) {
    if (!pkg.read(*i, bytes, error)) return false;
    xml::Tokenizer t(bytes);
    for (;;) {
      const xml::Token tok = t.next();
      if (tok.kind == xml::Kind::End || tok.kind == xml::Kind::Error) break;
      if (tok.kind == xml::Kind::EmptyTag && tok.name == ctx.w + "themeFontLang") {
        ctx.eastAsiaScript = scriptOfLanguage(xml::attribute(tok.bytes, ctx.w + "eastAsia").value_or(""));
        ctx.bidiScript = scriptOfLanguage(xml::attribute(tok.bytes, ctx.w + "bidi").value_or(""));
      }
    }
  }
  if (auto i = pkg.find("word/styles.xml")) {
    if (!pkg.read(*i, bytes, error)) return false;
    readStyles(bytes, ctx);
  }
  return true;
}

}  // namespace

bool isDocxName(std::string_view path) {
  std::string tail(path.substr(path.size() >= 5 ? path.size() - 5 : 0));
  for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return tail == ".docx" || tail == ".docm" || tail == ".dotx" || tail == ".dotm";
}

Outcome convertDocx(std::string_view docx, Encoding from, Encoding to, const conv::Options& options, std::string& out) {
  Outcome outcome;
  out.clear();
  auto converter = TextConverter::create(from, to, options, outcome.error);
  if (!converter) return outcome;
  auto pkg = zip::Package::open(docx, outcome.error);
  if (!pkg) return outcome;
  if (!pkg->find("word/document.xml")) {
    outcome.error = "not a Word document: the package has no word/document.xml";
    return outcome;
  }
  FontContext ctx;
  if (!readContext(*pkg, ctx, outcome.error)) return outcome;
  std::map<std::size_t, std::string> replaced;
  std::map<std::size_t, zip::Streamed*> streamed;
  std::vector<std::unique_ptr<zip::Streamed>> streams;
  std::set<std::pair<std::string, int>> used;
  std::string bytes;
  std::optional<NumberingRewriter> labels;
  for (std::size_t i = 0; i < pkg->size(); ++i) {
    if (pkg->name(i) == kNumberingPart) {
      if (!pkg->read(i, bytes, outcome.error)) return outcome;
      labels.emplace(bytes, ctx, converter.get(), from, &used);
      if (!runOver(*labels, pkg->name(i), outcome.error)) return outcome;
      if (labels->changed()) {
        replaced.emplace(i, labels->output());
        outcome.changedParts.push_back(pkg->name(i));
      }
      continue;
    }
    if (!isTextPart(pkg->name(i))) continue;
    if (!pkg->read(i, bytes, outcome.error)) return outcome;
    PartRewriter rewriter(bytes, ctx, converter.get(), from, &used);
    auto stream = std::make_unique<zip::Streamed>();
    rewriter.streamTo(stream.get());
    if (!runOver(rewriter, pkg->name(i), outcome.error)) return outcome;
    if (rewriter.changed()) {
      stream->add(std::move(rewriter.output()));
      streamed.emplace(i, stream.get());
      streams.push_back(std::move(stream));
      outcome.changedParts.push_back(pkg->name(i));
    }
  }
  if (auto i = pkg->find("word/fontTable.xml"); i && !used.empty()) {
    if (!pkg->read(*i, bytes, outcome.error)) return outcome;
    std::string table = declareFonts(bytes, used, ctx.w);
    if (table != bytes) replaced.emplace(*i, std::move(table));
  }
  outcome.stats = converter->stats();
  if (!pkg->write(replaced, streamed, out, outcome.error)) out.clear();
  return outcome;
}

PartEncodings partEncodings(std::string part, const std::array<std::size_t, kEncodingCount>& characters) {
  PartEncodings p{std::move(part), {}, characters};
  for (std::size_t e = 0; e < kEncodingCount; ++e) {
    if (characters[e] != 0) p.encodings.push_back(static_cast<Encoding>(e));
  }
  return p;
}

std::vector<PartEncodings> docxEncodings(std::string_view docx, std::string& error) {
  std::vector<PartEncodings> result;
  auto pkg = zip::Package::open(docx, error);
  if (!pkg) return result;
  FontContext ctx;
  if (!readContext(*pkg, ctx, error)) return result;
  std::string bytes;
  for (std::size_t i = 0; i < pkg->size(); ++i) {
    if (pkg->name(i) == kNumberingPart) {
      if (!pkg->read(i, bytes, error)) return {};
      NumberingRewriter scan(bytes, ctx, nullptr, Encoding::HIMA, nullptr);
      if (!runOver(scan, pkg->name(i), error)) return {};
      result.push_back(partEncodings(pkg->name(i), scan.seen()));
      continue;
    }
    if (!isTextPart(pkg->name(i))) continue;
    if (!pkg->read(i, bytes, error)) return {};
    PartRewriter scan(bytes, ctx, nullptr, Encoding::HIMA, nullptr);
    if (!runOver(scan, pkg->name(i), error)) return {};
    result.push_back(partEncodings(pkg->name(i), scan.seen()));
  }
  return result;
}

}  // namespace yig::docs::docx
