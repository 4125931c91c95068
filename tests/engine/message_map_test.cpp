#include "engine/message_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resources/embedded.h"

namespace {

using yig::BuildMessageMap;
using yig::BuildSwitchMap;
using yig::LoadMessageMap;
using yig::MessageMapDirection;
using yig::TranslateForDisplay;

// The Chinese labels the forms and messages use, in table order.
const std::u16string kKeys[] = {
    u"打开文件",
    u"保存文件",
    u"藏文转换",
    u"藏文排序",
    u"帮    助",
    u"退    出",
    u"བོད་ཡིག །藏文",
    u"རྒྱ་ཡིག །中文",
    u"藏文",
    u"中文",
    u"班智达",
    u"同元",
    u"方正",
    u"华光",
    u"Himalaya",
    u"Himalaya＝>同元",
    u"Himalaya＝>方正",
    u"Himalaya＝>华光",
    u"转换到Himalaya",
    u"从Himalaya转换",
    u"  撤消         Ctrl+Z ",
    u"  剪切         Ctrl+X ",
    u"  复制         Ctrl+C ",
    u"  粘贴         Ctrl+V ",
    u"  删除         Del ",
    u"  全选         Ctrl+A ",
    u"  字体字号",
    u"字体",
    u"字号",
    u"关闭",
    u"原文件",
    u"目标文件",
    u"原编码类型",
    u"目标文本类型",
    u"经自动识别，原编码类型为",
    u"仍继续转换吗？",
    u"Sambhota",
    u"转  换",
    u"继  续",
    u"文件格式相同，不必转换！",
    u"取 消",
    u"华光小样文件已经转换为txt纯文本",
    u"方正小样文件已经转换为txt纯文本",
    u"保存转换结果吗？",
    u"字库下载",
    u"DOC文件",
    u"RTF文件",
    u"Unicode文件",
    u"Unicode文本",
    u"Unicode big edian文件",
    u"UTF-8文件",
    u"Unicode无文件头文件",
    u"Unicode big edian无文件头文件",
    u"普通txt文件",
    u"普通txt文本",
    u"Unicode藏文文本",
    u"文本",
    u"RTF格式文本",
    u"RTF格式文件",
    u"DOC格式文件",
    u"区分藏汉英编码",
    u"区分多种编码",
    u"转换扩展",
    u"藏文编码扩展集A-->基本集(Himalaya)",
    u"基本集(Himalaya)-->藏文编码扩展集A",
    u"华光A-Tibetan-->JBHGZWBZ",
    u"华光JBHGZWBZ-->A-Tibetan",
    u"关    于",
    u"藏文编码扩展集A",
    u"Himalaya(基本集)",
    u"前一段",
    u"后一段",
    u"上一个",
    u"下一个",
    u"确认修改",
    u"请选择原文本编码类型！",
    u"请选择目标文本编码类型！",
    u"原文件与目标文件编码相同！",
    u" 排序完成！",
    u"原文本已经修改，保存吗？",
    u"是",
    u"否",
    u"取消",
    u"转换完成，未发现不能转换的字符！",
    u"转换完成，正常！",
    u"原文本中无Himalaya类型藏文基本集编码！",
    u"原文件目录或原文件名含UNICODE字符，不能正确保存，请另存为非藏文目录的非藏文文件名文件！",
    u"原文件目录或原文件名含UNICODE字符，未能正确保存！",
    u"原文本中无班智达藏文！",
    u"原文本中无同元藏文！",
    u"原文本中无方正藏文！",
    u"原文本中无华光藏文！",
    u"原文本中无方正藏文Unicode或其它藏文编码字符集扩展集A类型的藏文！",
    u"原文本中无桑布扎2.0编码！",
    u"转换完成，发现有不能转换的字符，请检查红色标记字符！”",
    u"确 定",
    u"长度",
    u"耗时",
    u"非Himalaya藏文，不能排序！",
    u"保留原排版命令",
    u"不保留原排版命令",
    u"该文件自动识别为华光小样文件",
    u"该文件自动识别为方正小样文件",
    u"该文件自动识别为华光（方正）小样文件",
};

struct Pair {
  std::u16string chinese, tibetan;
};
const Pair kTellingRows[] = {
    {u"打开文件", u"ཡིག་ཆ་ཁ་ཕྱེ།"},
    {u"保存文件", u"ཡིག་ཆ་ཉར།"},
    {u"藏文转换", u"ཡི་གེ་བརྗེ།"},
    {u"藏文排序", u"ཀ་ཕྲེང་སྒྲིག །"},
    {u"帮    助", u"རོགས་རམ།"},
    {u"退    出", u"སྒོ་རྒྱག །"},
    {u"字库下载", u"ཡིག་མཛོད་ལེན་པ།"},
    {u"关    于", u"ཁུངས། "},
    {u"藏文", u"བོད་ཡིག །"},
    {u"中文", u"རྒྱ་ཡིག །"},
    {u"班智达", u"པཎྜི་ཏ"},
    {u"同元", u"དོན་ཡོད།"},
    {u"方正", u"ཧྥང་ཀྲིང་།"},
    {u"华光", u"ཧྭ་ཀོང་།"},
    {u"Sambhota", u"སཾ་བྷོ་ཊ།"},
    {u"藏文编码扩展集A", u"བོད་ཡིག་ཨང་རིམ་ཁ་སྐོང་རྣམས།A"},
    {u"Himalaya(基本集)", u"ཧི་མ་ལ་ཡ།(རྩ་བ་རྣམས།)"},
    {u"原编码类型", u"སྔ་མའི་ཡི་གེའི་རིགས།"},
    {u"目标文本类型", u"དགོས་པའི་ཡི་གེའི་རིགས།"},
    {u"转  换", u"སྒྱུར།"},
    {u"  撤消         Ctrl+Z ", u"    བཤོལ།              Ctrl+Z"},
    {u"  剪切         Ctrl+X ", u"    དྲ།                   Ctrl+X "},
    {u"  复制         Ctrl+C ", u"    བཤུ།                Ctrl+C "},
    {u"  粘贴         Ctrl+V ", u"    གླན།                Ctrl+V "},
    {u"  删除         Del ", u"    གསུབ།              Del "},
    {u"  全选         Ctrl+A ", u"    ཧྲིལ་འདེམས།     Ctrl+A "},
    {u"  字体字号", u"    ཡིག་ཚུགས་དང་འབྲུ་ཚད།"},
    {u"字体", u"ཡིག་ཚུགས།"},
    {u"字号", u"འབྲུ་ཚད།"},
    {u"请选择原文本编码类型！", u"མ་ཡིག་གི་རིགས་གདམ།"},
    {u"请选择目标文本编码类型！", u"སྒྱུར་ཡུལ་ཡི་གེའི་རིགས་གདམ།"},
    {u"原文件与目标文件编码相同！", u"མ་ཡིག་དང་སྒྱུར་ཡུལ་ཡི་གེའི་རིགས་གཅིག་པ་རེད།"},
    {u"Unicode文本", u"Unicodeཡིག་རྐྱང་།"},
    {u"普通txt文本", u"txtདཀྱུས་མའི་ཡིག་རྐྱང་།"},
    {u"RTF格式文本", u"RTFའགྲོས་ཅན་ཡིག་རྐྱང་།"},
    {u"原文本已经修改，保存吗？", u"མ་ཡིག་བཅོས་ཟིན་པས་ཉར་རྒྱུ་ཡིན་ནམ།"},
    {u"是", u"ཡིན།"},
    {u"否", u"མིན།"},
    {u"取消", u"བཤོལ།"},
    {u"取 消", u"བཤོལ།"},
    {u"确 定", u"ལེགས་སོ། །"},
    {u"长度", u"རིང་ཚད།"},
    {u"耗时", u"དུས་ཡུན།"},
};

std::u16string storedText() {
  auto bytes = yig::resources::find("JM");
  if (!bytes) return {};
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes->size(); i += 2) text.push_back(char16_t((*bytes)[i] | ((*bytes)[i + 1] << 8)));
  return text;
}

std::vector<std::u16string> rows(std::u16string_view text) {
  std::vector<std::u16string> out;
  while (true) {
    auto eol = text.find(u"\r\n");
    out.emplace_back(text.substr(0, eol));
    if (eol == std::u16string_view::npos) break;
    text.remove_prefix(eol + 2);
  }
  return out;
}

std::vector<uint8_t> utf16le(std::u16string_view text) {
  std::vector<uint8_t> out;
  for (char16_t c : text) {
    out.push_back(uint8_t(c & 0xFF));
    out.push_back(uint8_t(c >> 8));
  }
  return out;
}

bool hasTibetan(std::u16string_view s) {
  return std::any_of(s.begin(), s.end(), [](char16_t c) { return c >= 0x0F00 && c <= 0x0FFF; });
}

TEST(InterfaceTable, StoredForm) {
  const std::u16string text = storedText();
  ASSERT_FALSE(text.empty()) << "no JM resource";
  EXPECT_EQ(text.front(), u'\uFEFF');
  const auto all = rows(std::u16string_view(text).substr(1));
  ASSERT_GE(all.size(), 6u);
  // Four empty pairs, then the empty line after the final CR LF.
  EXPECT_EQ(all.back(), u"");
  for (std::size_t i = all.size() - 5; i < all.size() - 1; ++i) EXPECT_EQ(all[i], u"\t") << i;
  for (std::size_t i = 0; i < all.size() - 5; ++i) {
    const auto& row = all[i];
    EXPECT_EQ(std::count(row.begin(), row.end(), u'\t'), 1) << i;
    EXPECT_EQ(row.find(u'\r'), std::u16string::npos) << i;
  }
}

TEST(InterfaceTable, HoldsEveryKeyInOrderWithTibetanLabels) {
  const auto all = rows(std::u16string_view(storedText()).substr(1));
  std::vector<std::u16string> chinese;
  for (const auto& row : all) {
    auto tab = row.find(u'\t');
    if (tab == std::u16string::npos || row == u"\t") continue;
    chinese.push_back(row.substr(tab + 1));
    EXPECT_TRUE(hasTibetan(row.substr(0, tab))) << "row " << chinese.size();
  }
  ASSERT_GE(chinese.size(), std::size(kKeys));
  for (std::size_t i = 0; i < std::size(kKeys); ++i) EXPECT_EQ(chinese[i], kKeys[i]) << "row " << i + 1;
  std::vector<std::u16string> sorted = chinese;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "a Chinese label repeats";
}

TEST(InterfaceTable, TellingRowsAreExact) {
  const auto map = LoadMessageMap();
  for (const auto& [chinese, tibetan] : kTellingRows) EXPECT_EQ(map.lookup(chinese), tibetan);
}

TEST(InterfaceTable, DisclaimerAndTitle) {
  const auto map = LoadMessageMap();
  const auto& disclaimer = map.lookup(yig::kDisclaimerChinese);
  EXPECT_TRUE(hasTibetan(disclaimer));
  EXPECT_NE(disclaimer.find(u'\n'), std::u16string::npos);
  EXPECT_NE(yig::kDisclaimerChinese.find(u'\n'), std::u16string::npos);
  EXPECT_TRUE(hasTibetan(map.lookup(yig::kProgramTitleChinese)));
}

// Switching to Tibetan and back gives every caption its designed Chinese
// label again, except where two Chinese labels share one Tibetan label: then
// the first row wins ("取消" comes back as "取 消").
TEST(InterfaceTable, SwitchingThereAndBack) {
  const auto toTibetan = BuildSwitchMap(true);
  const auto toChinese = BuildSwitchMap(false);
  for (const auto& key : kKeys) {
    const auto& tibetan = toTibetan.lookup(key);
    ASSERT_FALSE(tibetan.empty()) << "row for key " << &key - kKeys;
    const std::u16string expected = key == u"取消" ? u"取 消" : key;
    EXPECT_EQ(toChinese.lookup(tibetan), expected) << "row for key " << &key - kKeys;
  }
  EXPECT_EQ(toTibetan.lookup(u"打开文件"), u"ཡིག་ཆ་ཁ་ཕྱེ།");
  EXPECT_EQ(toChinese.lookup(u"ཡིག་ཆ་ཁ་ཕྱེ།"), u"打开文件");
  // A caption the table does not know maps to nothing, so it stays as it is.
  EXPECT_EQ(toTibetan.lookup(u"汉文"), u"");
  // The empty rows add one entry with an empty key at most, and it maps to nothing.
  EXPECT_EQ(toTibetan.lookup(u""), u"");
  EXPECT_EQ(toChinese.lookup(u""), u"");
}

TEST(InterfaceTable, TranslateForDisplay) {
  struct Case {
    std::u16string text;
    bool tibetan;
    std::u16string shown;
  };
  const Case cases[] = {
      {u"请选择原文本编码类型！", true, u"མ་ཡིག་གི་རིགས་གདམ།"},
      {u"请选择原文本编码类型！", false, u"请选择原文本编码类型！"},
      {u"确 定", true, u"ལེགས་སོ། །"},
      {u"关    于", true, u"ཁུངས། "},
      {u"  撤消         Ctrl+Z ", true, u"    བཤོལ།              Ctrl+Z"},
      {u"  撤消         Ctrl+Z", true, u"  撤消         Ctrl+Z"},  // blanks are part of the key
      {u"转换完成，发现有不能转换的字符，请检查红色标记字符！”", true,
       u"བསྒྱུར་ཚར། བསྒྱུར་མི་ཐུབ་པའི་ཡིག་འབྲུ་རྙེད་སོང་། རྟགས་དམར་པོ་བཀོད་པའི་ཡིག་འབྲུ་ལ་ཞིབ་བཤེར་གནང་རོགས།"},
      {u"一条表里没有的消息", true, u"一条表里没有的消息"},    // unknown text is not blanked
      {u"", true, u""},
  };
  for (const auto& tc : cases) {
    EXPECT_EQ(TranslateForDisplay(tc.text, tc.tibetan), tc.shown);
    EXPECT_EQ(TranslateForDisplay(yig::messageMap(), tc.text, tc.tibetan), tc.shown);
  }
}

TEST(MessageMapReader, RowsAndCells) {
  struct Case {
    const char* name;
    std::u16string stored;
    MessageMapDirection direction;
    std::vector<Pair> expected;  // (key, value)
    std::size_t size;
  };
  using D = MessageMapDirection;
  const Case cases[] = {
      {"first row wins", u"\uFEFFa\tX\r\nb\tX\r\n", D::ChineseToTibetan, {{u"X", u"a"}}, 1},
      {"first Tibetan key wins", u"\uFEFFa\tX\r\na\tY\r\n", D::TibetanToChinese, {{u"a", u"X"}}, 1},
      {"row without TAB skipped", u"\uFEFFnothing\r\na\tX", D::ChineseToTibetan, {{u"X", u"a"}, {u"nothing", u""}}, 1},
      {"bare LF inside a cell", u"\uFEFFl1\nl2\tz1\nz2\r\n", D::ChineseToTibetan, {{u"z1\nz2", u"l1\nl2"}}, 1},
      {"lone CR stays in the cell", u"\uFEFFa\rb\tX\r\n", D::ChineseToTibetan, {{u"X", u"a\rb"}}, 1},
      {"third cell ignored", u"\uFEFFa\tX\tjunk\r\n", D::ChineseToTibetan, {{u"X", u"a"}}, 1},
      {"blanks kept", u"\uFEFF a \t X \r\n", D::ChineseToTibetan, {{u" X ", u" a "}, {u"X", u""}}, 1},
      {"empty pairs give one empty key", u"\uFEFF\t\r\n\t\r\n", D::ChineseToTibetan, {{u"", u""}}, 1},
      {"no byte-order mark", u"a\tX\r\n", D::ChineseToTibetan, {{u"X", u"a"}}, 1},
      {"only a byte-order mark", u"\uFEFF", D::ChineseToTibetan, {}, 0},
  };
  for (const auto& tc : cases) {
    const auto map = BuildMessageMap(utf16le(tc.stored), tc.direction);
    EXPECT_EQ(map.size(), tc.size) << tc.name;
    for (const auto& [key, value] : tc.expected) EXPECT_EQ(map.lookup(key), value) << tc.name;
  }
}

TEST(MessageMapReader, OddAndEmptyInput) {
  EXPECT_EQ(BuildMessageMap({}, MessageMapDirection::ChineseToTibetan).size(), 0u);
  auto bytes = utf16le(u"\uFEFFa\tX");
  bytes.push_back(0x41);  // a stray last byte
  const auto map = BuildMessageMap(bytes, MessageMapDirection::ChineseToTibetan);
  EXPECT_EQ(map.lookup(u"X"), u"a");
}

}  // namespace
