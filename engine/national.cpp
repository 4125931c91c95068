// Conversions between Unicode Tibetan and the national-standard font encodings
// (BZD, TY, FZ, HG, HKA). Both read and write the document's RTF as a string:
// the body is cut at every "\f", and only runs in the fonts of the source
// encoding are rewritten, unit by unit, through the encoding's mapping table.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "engine/codec/cp936.h"
#include "engine/conversion_engine.h"
#include "engine/engine_internals.h"
#include "engine/rtf_pieces.h"
#include "engine/unit_matcher.h"

namespace yig {

namespace {

using rtfpieces::isDigit;

constexpr std::string_view kFangzheng = "\\'b7\\'bd\\'d5\\'fd\\'b2\\'d8\\'ce\\'c4\\'d0\\'c2\\'b0\\'d7\\'cc\\'e5";

struct NationalEncoding {
  std::u16string_view code;
  std::string_view targetFontEntry;   // inserted as font 99 when writing this encoding
  std::u16string_view missingMessage;  // shown when a document holds none of its fonts
};

const std::array<NationalEncoding, 5>& nationalEncodings() {
  static const std::string fz = "{\\f99\\fnil\\fprq2\\fcharset134 " + std::string(kFangzheng) + ";}";
  static const std::string hka = "{\\f99\\fnil\\fprq2\\fcharset134 " + std::string(kFangzheng) + "_Unicode;}";
  static const std::array<NationalEncoding, 5> table = {{
      {u"TY", "{\\f99\\fnil\\fprq2\\fcharset134 CHINATIBET;}", u"原文本中无同元藏文！"},
      {u"BZD", "{\\f99\\fnil\\fprq2\\fcharset134 BZDBT;}", u"原文本中无班智达藏文！"},
      {u"FZ", fz, u"原文本中无方正藏文！"},
      {u"HG", "{\\f99\\fnil\\fprq2\\fcharset134 A-Tibetan;}", u"原文本中无华光藏文！"},
      {u"HKA", hka, u"原文本中无方正藏文Unicode或其它藏文编码字符集扩展集A类型的藏文！"},
  }};
  return table;
}

const NationalEncoding* findEncoding(std::u16string_view code) {
  for (const auto& e : nationalEncodings()) {
    if (e.code == code) return &e;
  }
  return nullptr;
}

constexpr std::u16string_view kNoUnicodeTibetan = u"原文本中无Himalaya类型藏文基本集编码！";
constexpr std::string_view kHimalayaEntry = "{\\f99\\fnil\\fcharset0 Microsoft Himalaya;}";

// Counts the pieces the body splits into at "\f" without building them.
std::size_t countPieces(std::string_view body) {
  return rtfpieces::countOccurrences(body, "\\f") + 1;
}

// Calls f(index, piece) for every piece of the body cut at "\f".
template <class F>
void forEachPiece(std::string_view body, F&& f) {
  std::size_t index = 0, start = 0;
  std::size_t next = body.find("\\f");
  while (next != std::string_view::npos) {
    f(index++, body.substr(start, next - start));
    start = next;
    next = body.find("\\f", start + 2);
  }
  f(index, body.substr(start));
}

// Copies `piece` from `from` up to the next backslash in one append.
std::size_t copyPlain(std::string& out, std::string_view piece, std::size_t k) {
  std::size_t next = piece.find('\\', k + 1);
  if (next == std::string_view::npos) next = piece.size();
  out.append(piece.data() + k, next - k);
  return next;
}

// Shared start of both directions: steps 1 and 2 (closing brace, body marker)
// with the refusals; false when the request ends here.
bool prepare(ConversionEngine& e, std::string& zz, rtfpieces::SplitDocument& doc) {
  if (!rtfpieces::cutFinalBrace(zz)) {
    EngineInternals::refuse(e, rtfpieces::Refusal::NoClosingBrace);
    return false;
  }
  rtfpieces::Refusal why = rtfpieces::splitDocument(zz, doc);
  if (why != rtfpieces::Refusal::None) {
    EngineInternals::refuse(e, why);
    return false;
  }
  return true;
}

}  // namespace

void ConversionEngine::WJZH_HIMA_QT(std::string& zz, std::u16string dstcode) {
  if (zz.empty()) return;
  upperCaseCode(dstcode);
  rtfpieces::SplitDocument doc;
  if (!prepare(*this, zz, doc)) return;

  if (proceed != kTrue) {
    std::string list = narrowCode(host_.sourceFontList());
    if (!rtfpieces::containsAnyListItem(doc.header, list)) {
      EngineInternals::stopWithMessage(*this, kNoUnicodeTibetan);
      return;
    }
  }

  std::string header(doc.header);
  if (const NationalEncoding* enc = findEncoding(dstcode)) rtfpieces::insertFontEntry(header, enc->targetFontEntry);
  std::string red = rtfpieces::addRedColour(header);
  std::string tags = rtfpieces::unicodeTibetanFontTags(header);
  if (tags.empty() && unicodeSourceRequest_) {
    EngineInternals::stopWithMessage(*this, kNoUnicodeTibetan);
    return;
  }
  std::string_view fallbackFont = rtfpieces::firstFontTag(tags);

  auto map = SharedMappingTable(narrowCode(dstcode), TableDirection::UnicodeToNational, tables_);
  if (!map) {
    EngineInternals::stopWithMessage(*this, u"找不到" + dstcode + u"转换表！");
    return;
  }
  UnitMatcher matcher(*map);
  // "\f99 " and the escape of each value's first character, written once.
  std::vector<std::string> written(matcher.valueCount());
  for (std::size_t i = 0; i < written.size(); ++i) {
    written[i] = "\\f99 ";
    rtfpieces::appendUnicodeEscape(written[i], matcher.valueAt(i)[0]);
  }

  std::string_view body = doc.body;
  std::size_t pieceCount = countPieces(body);
  std::string out;
  out.reserve(header.size() + body.size() + body.size() / 2 + 16);
  out += header;
  const std::size_t bodyStart = out.size();
  header.clear();
  host_.progressStarted();

  bool inTibetan = false;
  std::size_t units = 0, reds = 0;

  auto convert = [&](std::string_view piece) {
    std::size_t k = 0;
    const std::size_t n = piece.size();
    char16_t key[UnitMatcher::kMaxUnit];
    while (k < n) {
      if (piece[k] != '\\') {
        k = copyPlain(out, piece, k);
        continue;
      }
      auto first = rtfpieces::fourDigitEscape(piece, k);
      if (!first) {
        k = copyPlain(out, piece, k);
        continue;
      }
      // Longest match over up to seven consecutive escapes.
      const std::u16string* value = nullptr;
      std::uint32_t valueIndex = UnitMatcher::kNoIndex;
      std::size_t matched = 0;
      key[0] = first->ch;
      for (std::size_t j = 1; j <= UnitMatcher::kMaxUnit; ++j) {
        if (j > 1) {
          auto esc = rtfpieces::fourDigitEscape(piece, k + 7 * (j - 1));
          if (!esc) break;
          key[j - 1] = esc->ch;
        }
        UnitMatcher::Hit hit = matcher.find(key, j);
        if (hit.value != nullptr) {
          value = hit.value;
          valueIndex = hit.index;
          matched = j;
        }
        if (!hit.extends) break;
      }
      if (value == nullptr) {
        out += fallbackFont;
        rtfpieces::appendRedStart(out, red);
        out.append(piece.data() + k, 7);
        rtfpieces::appendRedEnd(out, piece, k + 7);
        sfywzh = kTrue;
        ++reds;
        k += 7;
        continue;
      }
      char16_t c = key[0];
      bool combiningFirst = c >= 0x0F71 && c <= 0x0FBD && c != 0x0F7F && c != 0x0F85;
      if (combiningFirst) rtfpieces::appendRedStart(out, red);
      if (valueIndex != UnitMatcher::kNoIndex) {
        out += written[valueIndex];
      } else {
        out += "\\f99 ";
        rtfpieces::appendUnicodeEscape(out, (*value)[0]);
      }
      if (combiningFirst) {
        rtfpieces::appendRedEnd(out, piece, k + 7 * matched);
        sfywzh = kTrue;
        ++reds;
      }
      ++units;
      k += 7 * matched;
    }
  };

  forEachPiece(body, [&](std::size_t index, std::string_view piece) {
    host_.processEvents();
    host_.setProgress(rtfpieces::progressPercent(index, pieceCount));
    bool startsFont = piece.size() >= 2 && piece[0] == '\\' && piece[1] == 'f';
    bool c3Digit = piece.size() >= 3 && isDigit(piece[2]);
    bool doConvert = false;
    if (!startsFont && !c3Digit) {
      doConvert = inTibetan;
    } else {
      // " \fN;" or " \fNN;"; a font number of three or more digits is never a
      // Unicode Tibetan font (its first two digits must not pass for one).
      std::size_t len = piece.size() > 3 && isDigit(piece[3]) ? 4 : 3;
      bool longNumber = len == 4 && piece.size() > 4 && isDigit(piece[4]);
      char tag[6];
      std::size_t tagLen = 0;
      tag[tagLen++] = ' ';
      for (std::size_t i = 0; i < len && i < piece.size(); ++i) tag[tagLen++] = piece[i];
      tag[tagLen++] = ';';
      if (!longNumber && c3Digit && tags.find(std::string_view(tag, tagLen)) != std::string::npos) {
        inTibetan = true;
        doConvert = true;
      } else if (c3Digit) {
        inTibetan = false;
      } else {
        doConvert = inTibetan;
      }
    }
    if (doConvert) {
      convert(piece);
    } else {
      out += piece;
    }
  });

  host_.setProgress(100);
  host_.progressStopped();
  out += '}';
  stats_.unitsConverted += units;
  stats_.redMarks += reds;
  if (reds > 0 || rtfpieces::containsRedMark(std::string_view(out).substr(bodyStart), red)) sfywzh = kTrue;
  std::string().swap(zz);
  map.reset();
  EngineInternals::writeWorkArea(*this, out, true);
}

void ConversionEngine::WJZH_QT_HIMA(std::string& zz, std::u16string srccode) {
  if (zz.empty()) return;
  upperCaseCode(srccode);
  rtfpieces::SplitDocument doc;
  if (!prepare(*this, zz, doc)) return;

  const NationalEncoding* enc = findEncoding(srccode);
  std::string patterns = narrowCode(host_.sourceFontList());
  if (!rtfpieces::containsAnyListItem(doc.header, patterns)) {
    EngineInternals::stopWithMessage(*this, enc ? enc->missingMessage : u"原文本中无所选编码的藏文！");
    return;
  }

  // Source font tags: "\fN" of every font-table entry that names a source font.
  std::vector<std::string> sourceTags;
  std::string_view previousNumber;
  rtfpieces::forEachFontEntry(doc.header, [&](std::string_view entry) {
    entry.remove_prefix(2);  // without its "\f" the entry starts with the font number
    if (!rtfpieces::containsAnyListItem(entry, patterns)) return;
    bool unicodeFont = entry.find("_Unicode") != std::string_view::npos;
    if (srccode == u"FZ" && unicodeFont) return;
    if (srccode == u"HKA" && !unicodeFont) return;
    std::string_view number;
    if (entry.size() > 1 && entry[1] == '\\') {
      number = entry.substr(0, 1);
    } else if (entry.size() > 2 && entry[2] == '\\') {
      number = entry.substr(0, 2);
    } else {
      number = previousNumber;
    }
    if (number.empty()) return;
    previousNumber = number;
    std::string tag = "\\f";
    tag.append(number.data(), number.size());
    sourceTags.push_back(std::move(tag));
  });

  auto map = SharedMappingTable(narrowCode(srccode), TableDirection::NationalToUnicode, tables_);
  if (!map) {
    EngineInternals::stopWithMessage(*this, u"找不到" + srccode + u"转换表！");
    return;
  }
  // For every character with a value: "\f99 " and an escape per value character.
  std::vector<std::uint32_t> renderIndex(0x10000, 0);
  std::vector<std::string> rendered(1);
  map->forEach([&](std::u16string_view key, std::u16string_view value) {
    if (key.size() != 1 || value.empty()) return;
    std::string text;
    for (char16_t ch : value) {
      text += "\\f99 ";
      rtfpieces::appendUnicodeEscape(text, ch, 'U');
    }
    renderIndex[key[0]] = static_cast<std::uint32_t>(rendered.size());
    rendered.push_back(std::move(text));
  });

  std::string header(doc.header);
  rtfpieces::insertFontEntry(header, kHimalayaEntry);
  std::string red = rtfpieces::addRedColour(header);

  std::string_view body = doc.body;
  std::size_t pieceCount = countPieces(body);
  std::string out;
  out.reserve(header.size() + body.size() * 2 + 16);
  out += header;
  const std::size_t bodyStart = out.size();
  header.clear();
  host_.progressStarted();

  bool inSource = false;
  std::string_view currentTag;
  std::size_t units = 0, reds = 0;

  // Writes the value of `ch`; false when the table has none.
  auto writeValue = [&](char16_t ch) {
    std::uint32_t i = renderIndex[ch];
    if (i == 0) return false;
    out += rendered[i];
    ++units;
    return true;
  };

  auto convert = [&](std::string_view piece, std::size_t k) {
    const std::size_t n = piece.size();
    while (k < n) {
      if (piece[k] != '\\') {
        k = copyPlain(out, piece, k);
        continue;
      }
      if (auto pair = rtfpieces::bytePairEscape(piece, k)) {
        auto ch = cp936::decodePair(static_cast<std::uint8_t>(*pair >> 8), static_cast<std::uint8_t>(*pair & 0xFF));
        if (!ch) {
          // Not a character of code page 936: nothing can stand for it in
          // Unicode, so the bytes stay as they are.
          out.append(piece.data() + k, 8);
        } else if (!writeValue(*ch)) {
          rtfpieces::appendUnicodeEscape(out, *ch, 'U');
        }
        k += 8;
        continue;
      }
      if (auto esc = rtfpieces::shortUnicodeEscape(piece, k)) {
        if (!writeValue(esc->ch)) {
          out += currentTag;
          rtfpieces::appendRedStart(out, red);
          rtfpieces::appendUnicodeEscape(out, esc->ch, 'U');
          rtfpieces::appendRedEnd(out, piece, k + esc->length);
          sfywzh = kTrue;
          ++reds;
        }
        k += esc->length;
        continue;
      }
      k = copyPlain(out, piece, k);
    }
  };

  // A font control word ends at a blank, a backslash, a line break or the end.
  auto endsWord = [](std::string_view piece, std::size_t i) {
    return i >= piece.size() || piece[i] == ' ' || piece[i] == '\\' || piece[i] == '\r' || piece[i] == '\n';
  };

  forEachPiece(body, [&](std::size_t index, std::string_view piece) {
    host_.processEvents();
    host_.setProgress(rtfpieces::progressPercent(index, pieceCount));
    if (piece.size() < 3 || !isDigit(piece[2])) {
      if (inSource) {
        convert(piece, 0);
      } else {
        out += piece;
      }
      return;
    }
    std::size_t tagLen;
    if (endsWord(piece, 3)) {
      tagLen = 3;
    } else if (endsWord(piece, 4)) {
      tagLen = 4;
    } else {
      out += piece;  // a font number of three or more digits: the state stays
      return;
    }
    std::string_view tag = piece.substr(0, tagLen);
    auto it = std::find(sourceTags.begin(), sourceTags.end(), tag);
    if (it != sourceTags.end()) {
      inSource = true;
      currentTag = *it;
      convert(piece, tagLen);
    } else {
      inSource = false;
      currentTag = {};
      out += piece;
    }
  });

  host_.setProgress(100);
  host_.progressStopped();
  out += '}';
  stats_.unitsConverted += units;
  stats_.redMarks += reds;
  if (reds > 0 || rtfpieces::containsRedMark(std::string_view(out).substr(bodyStart), red)) sfywzh = kTrue;
  std::string().swap(zz);
  map.reset();
  EngineInternals::writeWorkArea(*this, out, false);
}

}  // namespace yig
