#include "documents/docx_text.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <set>

#include "documents/docx_xml.h"
#include "engine/mapping_table.h"
#include "engine/unit_matcher.h"

namespace yig::docs::docx {

struct TextConverter::Direction {
  Encoding from, to;
  std::shared_ptr<const MappingTable> map;
  std::unique_ptr<UnitMatcher> matcher;
  std::vector<std::uint32_t> value;  // national: character -> index; Sambhota: font * 256 + glyph -> index
  std::vector<std::u16string> values{std::u16string()};
  std::vector<std::pair<int, char16_t>> samWritten;  // per matcher value: font index and glyph
};

namespace {

bool isTibetan(char16_t c) { return c >= 0x0F00 && c <= 0x0FFF; }

void append(std::vector<Piece>& out, std::u16string_view text, std::optional<Encoding> font, int samFont, bool red,
            std::uint32_t origin) {
  if (!out.empty()) {
    Piece& last = out.back();
    if (last.origin == origin && last.font == font && last.samFont == samFont && last.red == red) {
      if (text.size() == 1) {
        last.text.push_back(text[0]);  // most of what is written
      } else {
        last.text += text;
      }
      return;
    }
  }
  Piece p;
  p.text = text;
  p.font = font;
  p.samFont = static_cast<std::int8_t>(samFont);
  p.red = red;
  p.origin = origin;
  out.push_back(std::move(p));
}

}  // namespace

bool isCjk(char16_t c) {
  return (c >= 0x2E80 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE6F) ||
         (c >= 0xFF00 && c <= 0xFFEF);
}

std::unique_ptr<TextConverter> TextConverter::create(Encoding from, Encoding to, const conv::Options& options,
                                                     std::string& error) {
  if (from == to) {
    error = "the source and target encodings are the same";
    return nullptr;
  }
  auto converter = std::make_unique<TextConverter>(from, to, options);
  if (!converter->error().empty()) {
    error = xml::toUtf8(converter->error());
    return nullptr;
  }
  return converter;
}

TextConverter::TextConverter(Encoding from, Encoding to, const conv::Options& options)
    : family_(options.sambhotaFamily) {
  std::vector<std::pair<Encoding, Encoding>> steps;
  if (from != Encoding::HIMA && to != Encoding::HIMA) {
    steps = {{from, Encoding::HIMA}, {Encoding::HIMA, to}};
  } else {
    steps = {{from, to}};
  }
  for (auto [f, t] : steps) {
    auto d = stage(f, t, options);
    if (!d) {
      error_ = u"找不到" + std::u16string(info(f == Encoding::HIMA ? t : f).code) + u"转换表！";
      return;
    }
    stages_.push_back(std::move(d));
  }
}

// The lookups of one direction are made once per process for the built-in
// tables (a batch or a fuzz run makes a converter per document); user tables
// are read each time.
std::shared_ptr<const TextConverter::Direction> TextConverter::stage(Encoding f, Encoding t,
                                                                   const conv::Options& options) {
  const TableSource& source = options.tables ? *options.tables : builtinTables();
  if (&source == &builtinTables()) {
    static std::mutex mutex;
    static std::map<std::pair<Encoding, Encoding>, std::shared_ptr<const Direction>> made;
    std::lock_guard lock(mutex);
    auto& cached = made[{f, t}];
    if (!cached) cached = makeStage(f, t, source);
    return cached;
  }
  return makeStage(f, t, source);
}

std::shared_ptr<const TextConverter::Direction> TextConverter::makeStage(Encoding f, Encoding t,
                                                                       const TableSource& source) {
  auto d = std::make_shared<Direction>();
  d->from = f;
  d->to = t;
  const Encoding other = f == Encoding::HIMA ? t : f;
  const std::string code(info(other).table);
  TableDirection direction;
  if (other == Encoding::SAM) {
    direction = f == Encoding::HIMA ? TableDirection::UnicodeToSambhota : TableDirection::SambhotaToUnicode;
  } else {
    direction = f == Encoding::HIMA ? TableDirection::UnicodeToNational : TableDirection::NationalToUnicode;
  }
  d->map = SharedMappingTable(code, direction, source);
  if (!d->map) return nullptr;
  if (f == Encoding::HIMA) {
    d->matcher = std::make_unique<UnitMatcher>(*d->map);
    if (t == Encoding::SAM) {
      // Values are "f<10+font> <glyph>".
      d->samWritten.resize(d->matcher->valueCount(), {-1, 0});
      for (std::size_t i = 0; i < d->samWritten.size(); ++i) {
        const std::u16string& v = d->matcher->valueAt(i);
        int font = 0;
        std::size_t k = 1;
        while (k < v.size() && v[k] >= u'0' && v[k] <= u'9' && font < 100) font = font * 10 + (v[k++] - u'0');
        if (!v.empty() && v[0] == u'f' && k + 2 == v.size() && v[k] == u' ' && font >= 10 && font <= 39 &&
            v[k + 1] <= 0xFF) {
          d->samWritten[i] = {font - 10, v[k + 1]};
        }
      }
    }
  } else if (f == Encoding::SAM) {
    // Keys are "Dedris-<suffix> <glyph>".
    d->value.assign(kSambhotaFontsPerFamily * 256, 0);
    d->map->forEach([&](std::u16string_view key, std::u16string_view value) {
      if (key.size() < 3 || value.empty()) return;
      const std::size_t blank = key.rfind(u' ', key.size() - 2);
      if (blank == std::u16string_view::npos || blank + 2 != key.size()) return;
      auto index = sambhotaFontIndex(key.substr(0, blank));
      if (!index || key.back() > 0xFF) return;
      d->value[*index * 256 + key.back()] = static_cast<std::uint32_t>(d->values.size());
      d->values.emplace_back(value);
    });
  } else {
    d->value.assign(0x10000, 0);
    d->map->forEach([&](std::u16string_view key, std::u16string_view value) {
      if (key.size() != 1 || value.empty()) return;
      d->value[key[0]] = static_cast<std::uint32_t>(d->values.size());
      d->values.emplace_back(value);
    });
  }
  return d;
}

TextConverter::~TextConverter() = default;

std::u16string TextConverter::fontName(const Piece& p) const {
  if (p.font == Encoding::SAM) {
    const std::string_view family = sambhotaFamilyName(family_);
    std::u16string name(family.begin(), family.end());
    name += u'-';
    const std::string_view suffix = kSambhotaSuffixes[static_cast<std::size_t>(std::max<int>(0, p.samFont))];
    name.append(suffix.begin(), suffix.end());
    return name;
  }
  return std::u16string(info(p.font.value_or(Encoding::HIMA)).targetFontName);
}

void TextConverter::red(std::u16string_view text, std::uint64_t offset) {
  ++stats_.red;
  if (stats_.firstRed.size() < conv::kRedSamples) stats_.firstRed.push_back({offset, std::u16string(text)});
}

void TextConverter::convert(const std::vector<SourceChar>& chars, std::vector<Piece>& out, std::uint64_t offset) {
  if (!error_.empty() || stages_.empty()) return;
  const Direction& first = *stages_[0];
  if (stages_.size() == 1) {
    if (first.from == Encoding::HIMA) {
      fromUnicode(first, chars, std::nullopt, out, offset);
    } else {
      toUnicode(first, chars, out, offset);
    }
    return;
  }
  // Through Unicode: what the first step wrote in the Unicode font is the
  // source text of the second.
  std::vector<Piece> middle;
  const std::size_t converted = stats_.converted;
  toUnicode(first, chars, middle, offset);
  stats_.converted = converted;
  std::vector<SourceChar> unicode;
  for (const Piece& p : middle) {
    if (p.font == Encoding::HIMA && !p.red) {
      for (char16_t c : p.text) unicode.push_back({c, isTibetan(c), -1, p.origin});
      continue;
    }
    if (!unicode.empty()) {
      fromUnicode(*stages_[1], unicode, Encoding::HIMA, out, offset);
      unicode.clear();
    }
    append(out, p.text, p.font, p.samFont, p.red, p.origin);
  }
  if (!unicode.empty()) fromUnicode(*stages_[1], unicode, Encoding::HIMA, out, offset);
}

void TextConverter::toUnicode(const Direction& d, const std::vector<SourceChar>& chars, std::vector<Piece>& out,
                              std::uint64_t offset) {
  for (const SourceChar& sc : chars) {
    const char16_t c = sc.ch;
    if (!sc.source) {
      append(out, std::u16string_view(&c, 1), std::nullopt, -1, false, sc.origin);
      continue;
    }
    std::uint32_t v = 0;
    bool mark = false;
    if (d.from == Encoding::SAM) {
      const char16_t glyph = c >= 0xF000 ? static_cast<char16_t>(c - 0xF000) : c;
      if (sc.samFont >= 0 && glyph < 256) v = d.value[static_cast<std::size_t>(sc.samFont) * 256 + glyph];
      mark = v == 0 && glyph != u' ';
    } else {
      v = d.value[c];
    }
    if (v == 0) {
      append(out, std::u16string_view(&c, 1), std::nullopt, -1, mark, sc.origin);
      if (mark) red(std::u16string_view(&c, 1), offset);
      continue;
    }
    append(out, d.values[v], Encoding::HIMA, -1, false, sc.origin);
    ++stats_.converted;
  }
}

void TextConverter::fromUnicode(const Direction& d, const std::vector<SourceChar>& chars, std::optional<Encoding> keepFont,
                                std::vector<Piece>& out, std::uint64_t offset) {
  const std::size_t n = chars.size();
  std::size_t i = 0;
  while (i < n) {
    const char16_t c = chars[i].ch;
    if (!chars[i].source || !isTibetan(c)) {
      append(out, std::u16string_view(&c, 1), keepFont, -1, false, chars[i].origin);
      ++i;
      continue;
    }
    UnitMatcher::Hit best{nullptr, false, UnitMatcher::kNoIndex};
    std::size_t matched = 0;
    std::uint64_t packed = 0;
    for (std::size_t j = 1; j <= UnitMatcher::kMaxUnit && i + j <= n; ++j) {
      const SourceChar& next = chars[i + j - 1];
      if (!next.source || !isTibetan(next.ch)) break;
      packed = UnitMatcher::extend(packed, next.ch);
      const UnitMatcher::Hit h = d.matcher->findPacked(packed);
      if (h.value != nullptr && !h.value->empty()) {
        best = h;
        matched = j;
      }
      if (!h.extends) break;
    }
    bool written = false;
    if (matched > 0) {
      if (d.to == Encoding::SAM) {
        int font = -1;
        char16_t glyph = 0;
        if (best.index != UnitMatcher::kNoIndex) {
          font = d.samWritten[best.index].first;
          glyph = d.samWritten[best.index].second;
        }
        if (font >= 0) {
          const char16_t g = static_cast<char16_t>(0xF000 + glyph);
          append(out, std::u16string_view(&g, 1), Encoding::SAM, font, false, chars[i].origin);
          written = true;
        }
      } else {
        const bool combiningFirst = c >= 0x0F71 && c <= 0x0FBD && c != 0x0F7F && c != 0x0F85;
        append(out, std::u16string_view(best.value->data(), 1), d.to, -1, combiningFirst, chars[i].origin);
        if (combiningFirst) {
          std::u16string unit;
          for (std::size_t k = i; k < i + matched; ++k) unit += chars[k].ch;
          red(unit, offset);
        }
        written = true;
      }
    }
    if (!written) {
      append(out, std::u16string_view(&c, 1), keepFont, -1, true, chars[i].origin);
      red(std::u16string_view(&c, 1), offset);
      ++i;
      continue;
    }
    ++stats_.converted;
    i += matched;
  }
}

Label convertLabel(TextConverter& converter, const std::vector<SourceChar>& chars, std::uint64_t offset) {
  Label label;
  std::uint32_t origins = 0;
  for (const SourceChar& c : chars) {
    label.sources += c.source ? 1 : 0;
    origins = std::max(origins, c.origin + 1);
  }
  if (label.sources == 0) return label;
  const conv::Stats before = converter.stats();
  std::vector<Piece> pieces;
  converter.convert(chars, pieces, offset);
  label.text.resize(origins);
  std::set<std::pair<Encoding, int>> fonts;
  for (const Piece& p : pieces) {
    label.text[p.origin] += p.text;
    if (p.font) fonts.insert({*p.font, p.samFont});
    label.red = label.red || p.red;
  }
  if (label.red || fonts.size() > 1) {
    converter.keepAsIs(before, label.sources);
    label.red = true;
  } else if (!fonts.empty()) {
    label.font.emplace();
    label.font->font = fonts.begin()->first;
    label.font->samFont = static_cast<std::int8_t>(fonts.begin()->second);
  }
  return label;
}

}  // namespace yig::docs::docx
