#include "ui/encoding_choices.h"

#include <cmath>

#include "engine/codec/cp936.h"
#include "engine/encodings.h"
#include "richtext/rtf_lexer.h"

namespace yig::ui {

const std::array<EncodingChoice, 7>& encodingChoices() {
  static const std::array<EncodingChoice, 7> rows = [] {
    std::array<EncodingChoice, 7> r{};
    for (std::size_t i = 0; i < r.size(); ++i) {
      const EncodingInfo& e = encodings()[i];
      r[i] = {static_cast<int>(e.id), e.code, e.chineseName, e.sourceFontList};
    }
    return r;
  }();
  return rows;
}

const EncodingChoice& choiceRow(int index) { return encodingChoices()[static_cast<std::size_t>(index % 10)]; }

std::optional<int> sourceFromFontName(const QString& name) {
  const std::optional<Encoding> e = encodingOfFontName(name.toStdU16String());
  if (!e) return std::nullopt;
  return static_cast<int>(*e);
}

namespace {

// The source choice and the font of an encoding, as a paste applies them.
PasteGuess pasteGuessOf(Encoding e) {
  return PasteGuess{static_cast<int>(e), QStringView(info(e).targetFontName).toString()};
}

}  // namespace

std::optional<PasteGuess> guessFromPastedText(const QString& text, int limit) {
  const QString head = text.left(limit);
  auto any = [&](auto&& test) {
    for (QChar c : head)
      if (test(c.unicode())) return true;
    return false;
  };
  if (any([](char16_t c) { return c >= 0xF300 && c <= 0xF8FE; })) return pasteGuessOf(Encoding::HKA);
  if (any([](char16_t c) { return c >= 0x0F00 && c <= 0x0FCE; })) return pasteGuessOf(Encoding::HIMA);
  if (head.contains(QChar(0x5A25))) return pasteGuessOf(Encoding::HG);
  if (head.contains(QChar(0xFF03))) return pasteGuessOf(Encoding::FZ);
  // National-standard text of the TY fonts uses double-byte codes whose trail
  // byte lies below 0xA0, outside the GB2312 area.
  if (any([](char16_t c) {
        const auto bytes = cp936::encodeChar(c);
        return bytes && bytes->size() == 2 && static_cast<unsigned char>((*bytes)[0]) >= 0x80 &&
               static_cast<unsigned char>((*bytes)[1]) < 0xA0;
      }))
    return pasteGuessOf(Encoding::TY);
  if (any([](char16_t c) { return c == 0xFE3D || c == 0xFE40; })) return pasteGuessOf(Encoding::BZD);
  return std::nullopt;
}

const std::array<SizeName, 16>& chineseSizeNames() {
  static const std::array<SizeName, 16> names{{
      {u"初号", 42}, {u"小初", 36}, {u"一号", 26}, {u"小一", 24}, {u"二号", 22},  {u"小二", 18},
      {u"三号", 16}, {u"小三", 15}, {u"四号", 14}, {u"小四", 12}, {u"五号", 10.5}, {u"小五", 9},
      {u"六号", 7.5}, {u"小六", 6.5}, {u"七号", 5.5}, {u"八号", 5},
  }};
  return names;
}

const std::array<const char16_t*, 18>& numericSizes() {
  static const std::array<const char16_t*, 18> sizes{u"5",  u"5.5", u"6.5", u"7.5", u"8",  u"9",
                                                     u"10.5", u"12", u"16",  u"18",  u"22", u"24",
                                                     u"26", u"28",  u"36",  u"42",  u"48", u"72"};
  return sizes;
}

std::optional<double> sizeTextToPoints(const QString& text) {
  for (const SizeName& s : chineseSizeNames())
    if (text == QString::fromUtf16(s.name)) return s.points;
  bool ok = false;
  const double points = text.trimmed().toDouble(&ok);
  if (!ok || !(points > 0) || points > 1638) return std::nullopt;
  return points;
}

QString pointsToSizeText(double points) { return QString::number(points, 'g', 6); }

std::string scaleRtfFontSizes(std::string_view rtf, int direction, void (*betweenPieces)(void*), void* context) {
  const double f = direction == 0 ? -0.2 : 0.2;
  std::string out;
  out.reserve(rtf.size() + rtf.size() / 16);
  // Only real \fs words change: the same letters in text ("\\fs12"), in
  // binary data or in longer words stay as they are.
  rtf::Lexer lexer(rtf);
  for (rtf::Token t = lexer.next(); t.kind != rtf::TokenKind::End; t = lexer.next()) {
    if (!t.is("fs") || !t.hasParam || t.overlong) {
      out.append(t.bytes);
      continue;
    }
    if (betweenPieces) betweenPieces(context);
    const std::string_view number = t.bytes.substr(3);
    std::size_t digits = 0;
    while (digits < number.size() && number[digits] >= '0' && number[digits] <= '9') ++digits;
    // Up to three digits form the size; four or more, or a sign, are no size.
    if (digits == 0 || digits > 3) {
      out.append(t.bytes);
      continue;
    }
    const int n = t.param;
    const int m = static_cast<int>(std::floor((1 + f) * n + 0.8));
    out.append("\\fs");
    out.append(std::to_string(m));
    out.append(number.substr(digits));
  }
  return out;
}

}  // namespace yig::ui
