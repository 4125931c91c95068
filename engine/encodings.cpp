#include "engine/encodings.h"

#include <string>

namespace yig {
namespace {

// The Fangzheng family name as an RTF font table writes it (GBK byte escapes).
constexpr std::u16string_view kFangzhengFontList = u"\\'b7\\'bd\\'d5\\'fd\\'b2\\'d8\\'ce\\'c4\\";

char16_t lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

// A font name made comparable: lower case, without blanks around it and
// without a parenthesised suffix such as " (Body CS)".
std::u16string normalise(std::u16string_view name) {
  std::size_t paren = name.find(u'(');
  if (paren != std::u16string_view::npos && paren > 0) name = name.substr(0, paren);
  while (!name.empty() && (name.front() == u' ' || name.front() == u'\t')) name.remove_prefix(1);
  while (!name.empty() && (name.back() == u' ' || name.back() == u'\t' || name.back() == u';')) name.remove_suffix(1);
  std::u16string out(name);
  for (char16_t& c : out) c = lower(c);
  return out;
}

bool startsWith(std::u16string_view s, std::u16string_view p) { return s.substr(0, p.size()) == p; }
bool contains(std::u16string_view s, std::u16string_view p) { return s.find(p) != std::u16string_view::npos; }

}  // namespace

const std::array<EncodingInfo, kEncodingCount>& encodings() {
  static const std::array<EncodingInfo, kEncodingCount> table = {{
      {Encoding::BZD, u"BZD", u"班智达", u"པཎྜི་ཏ", u" BZD;", u"BZDBT", 134, "BZD", u"原文本中无班智达藏文！", true},
      {Encoding::TY, u"TY", u"同元", u"དོན་ཡོད།", u" CHINATIBET; TIBET;", u"CHINATIBET", 134, "TY",
       u"原文本中无同元藏文！", true},
      {Encoding::FZ, u"FZ", u"方正", u"ཧྥང་ཀྲིང་།", kFangzhengFontList, u"方正藏文新白体", 134, "FZ",
       u"原文本中无方正藏文！", true},
      {Encoding::HG, u"HG", u"华光", u"ཧྭ་ཀོང་།", u" A-Tibetan; JBHGZW", u"A-Tibetan", 134, "HG",
       u"原文本中无华光藏文！", true},
      {Encoding::HIMA, u"HIMA", u"Himalaya(基本集)", u"ཧི་མ་ལ་ཡ།(རྩ་བ་རྣམས།)", u"Himalaya;Monlam;Tibetan ; Uni;????;",
       u"Microsoft Himalaya", 0, "", u"原文本中无Himalaya类型藏文基本集编码！", false},
      {Encoding::SAM, u"SAM", u"Sambhota", u"སཾ་བྷོ་ཊ།", u"Dedris;Ededris;", u"Ededris-a", 2, "SAM",
       u"原文本中无桑布扎2.0编码！", false},
      {Encoding::HKA, u"HKA", u"藏文编码扩展集A", u"བོད་ཡིག་ཨང་རིམ་ཁ་སྐོང་རྣམས།A", u"_Unicode;Sunshine",
       u"方正藏文新白体_Unicode", 134, "HKA", u"原文本中无方正藏文Unicode或其它藏文编码字符集扩展集A类型的藏文！", true},
  }};
  return table;
}

std::optional<Encoding> encodingFromCode(std::u16string_view code) {
  for (const EncodingInfo& e : encodings()) {
    if (e.code.size() != code.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < code.size() && same; ++i) same = lower(e.code[i]) == lower(code[i]);
    if (same) return e.id;
  }
  return std::nullopt;
}

std::optional<Encoding> encodingFromCode(std::string_view code) {
  std::u16string wide;
  for (char c : code) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
  return encodingFromCode(std::u16string_view(wide));
}

std::optional<std::size_t> sambhotaFontIndex(std::u16string_view name) {
  const std::u16string n = normalise(name);
  std::u16string_view rest(n);
  if (startsWith(rest, u"dedris-")) {
    rest.remove_prefix(7);
  } else if (startsWith(rest, u"ededris-")) {
    rest.remove_prefix(8);
  } else {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < kSambhotaSuffixes.size(); ++i) {
    const std::string_view s = kSambhotaSuffixes[i];
    if (rest.size() != s.size()) continue;
    bool same = true;
    for (std::size_t j = 0; j < s.size() && same; ++j) same = rest[j] == static_cast<char16_t>(s[j]);
    if (same) return i;
  }
  return std::nullopt;
}

std::optional<Encoding> encodingOfFontName(std::u16string_view name) {
  const std::u16string n = normalise(name);
  if (n.empty()) return std::nullopt;
  if (startsWith(n, u"dedris") || startsWith(n, u"ededris")) return Encoding::SAM;
  if (contains(n, u"_unicode") || startsWith(n, u"sunshine")) return Encoding::HKA;
  if (contains(n, u"方正藏文")) return Encoding::FZ;
  if (startsWith(n, u"bzd")) return Encoding::BZD;
  if (startsWith(n, u"chinatibet") || n == u"tibet" || startsWith(n, u"tibetbt")) return Encoding::TY;
  if (startsWith(n, u"a-tibetan") || contains(n, u"jbhgzw")) return Encoding::HG;
  for (std::u16string_view part : {u"himalaya", u"monlam", u"tibetan ", u" uni", u"jomolhari", u"qomolangma",
                                   u"noto sans tibetan", u"noto serif tibetan", u"dzongkha", u"????"}) {
    if (contains(n, part)) return Encoding::HIMA;
  }
  return std::nullopt;
}

bool isNationalFontName(std::u16string_view name) {
  const std::optional<Encoding> e = encodingOfFontName(name);
  return e && info(*e).national;
}

std::string_view sambhotaFamilyName(std::u16string_view familyChoice) {
  return familyChoice == u"Dedris" ? std::string_view("Dedris") : std::string_view("Ededris");
}

}  // namespace yig
