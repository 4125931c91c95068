#include "ui/encoding_choices.h"

#include <cmath>

#include "engine/codec/cp936.h"

namespace yig::ui {

const std::array<EncodingChoice, 7>& encodingChoices() {
  static const std::array<EncodingChoice, 7> rows{{
      {0, u"BZD", u"班智达", u" BZD;"},
      {1, u"TY", u"同元", u" CHINATIBET; TIBET;"},
      // The Fangzheng font name as an RTF font table writes it: GBK byte escapes.
      {2, u"FZ", u"方正", u"\\'b7\\'bd\\'d5\\'fd\\'b2\\'d8\\'ce\\'c4\\"},
      {3, u"HG", u"华光", u" A-Tibetan; JBHGZW"},
      {4, u"HIMA", u"Himalaya(基本集)", u"Himalaya;Monlam;Tibetan ; Uni;????;"},
      {5, u"SAM", u"Sambhota", u"Dedris;Ededris;"},
      {6, u"HKA", u"藏文编码扩展集A", u"_Unicode;Sunshine"},
  }};
  return rows;
}

const EncodingChoice& choiceRow(int index) { return encodingChoices()[static_cast<std::size_t>(index % 10)]; }

std::optional<int> sourceFromFontName(const QString& name) {
  if (name.toLower().contains(u"dedris")) return 5;
  if (name.contains(u"Himalaya") || name.contains(u"Monlam") || name.contains(u"Tibetan ") ||
      name.contains(u" Uni"))
    return 4;
  if (name == u"CHINATIBET" || name == u"TIBETBT") return 1;
  if (name.left(6) == u"JBHGZW" || name == u"A-Tibetan") return 3;
  if (name.left(4) == u"方正藏文" && !name.contains(u"_Unicode")) return 2;
  if (name.left(3) == u"BZD") return 0;
  if (name.right(7) == u"Unicode") return 6;
  return std::nullopt;
}

std::optional<PasteGuess> guessFromPastedText(const QString& text, int limit) {
  const QString head = text.left(limit);
  auto any = [&](auto&& test) {
    for (QChar c : head)
      if (test(c.unicode())) return true;
    return false;
  };
  if (any([](char16_t c) { return c >= 0xF300 && c <= 0xF8FE; }))
    return PasteGuess{6, QStringLiteral("方正藏文新白体_Unicode")};
  if (any([](char16_t c) { return c >= 0x0F00 && c <= 0x0FCE; }))
    return PasteGuess{4, QStringLiteral("Microsoft Himalaya")};
  if (head.contains(QChar(0x5A25))) return PasteGuess{3, QStringLiteral("A-Tibetan")};
  if (head.contains(QChar(0xFF03))) return PasteGuess{2, QStringLiteral("方正藏文新白体")};
  // National-standard text of the TY fonts uses double-byte codes whose trail
  // byte lies below 0xA0, outside the GB2312 area.
  if (any([](char16_t c) {
        const auto bytes = cp936::encodeChar(c);
        return bytes && bytes->size() == 2 && static_cast<unsigned char>((*bytes)[0]) >= 0x80 &&
               static_cast<unsigned char>((*bytes)[1]) < 0xA0;
      }))
    return PasteGuess{1, QStringLiteral("CHINATIBET")};
  if (any([](char16_t c) { return c == 0xFE3D || c == 0xFE40; })) return PasteGuess{0, QStringLiteral("BZDBT")};
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
  static constexpr std::string_view kWord = "\\fs";
  std::string out;
  out.reserve(rtf.size() + rtf.size() / 16);
  std::size_t pos = rtf.find(kWord);
  out.append(rtf.substr(0, pos));
  while (pos != std::string_view::npos) {
    if (betweenPieces) betweenPieces(context);
    const std::size_t begin = pos + kWord.size();
    const std::size_t next = rtf.find(kWord, begin);
    std::string piece(rtf.substr(begin, next == std::string_view::npos ? std::string_view::npos : next - begin));
    std::size_t digits = 0;
    while (digits < 4 && digits < piece.size() && piece[digits] >= '0' && piece[digits] <= '9') ++digits;
    // Up to three leading digits form the size; four or more are no size word.
    if (digits > 0 && digits < 4) {
      const int n = std::stoi(piece.substr(0, digits));
      const int m = static_cast<int>(std::floor((1 + f) * n + 0.8));
      const std::string from = std::to_string(n);
      const std::size_t at = piece.find(from);
      if (at != std::string::npos) piece.replace(at, from.size(), std::to_string(m));
    }
    out.append(kWord);
    out.append(piece);
    pos = next;
  }
  return out;
}

}  // namespace yig::ui
