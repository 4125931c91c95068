#include "sorting/sort_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/unicode_text_rtf.h"
#include "richtext/document.h"

namespace {

using namespace yig::sorting;
using Status = SortOutcome::Status;

const SortTables& tables() {
  static const SortTables t = SortTables::builtin();
  return t;
}

class FakeHost final : public SortHost {
 public:
  yig::rt::Document doc;
  bool selectionOnlyFlag = false;
  bool tibetan = false;
  std::vector<std::u16string> messages;
  std::vector<int> progress;
  int busyDepth = 0, busyCalls = 0, started = 0, stopped = 0, finished = 0, panelHidden = 0;

  yig::rt::Document& editor() override { return doc; }
  bool selectionOnly() const override { return selectionOnlyFlag; }
  std::u16string translateForDisplay(const std::u16string& chinese) const override {
    return tibetan ? u"[bo]" + chinese : chinese;
  }
  void showMessage(const std::u16string& text) override { messages.push_back(text); }
  void hideConversionPanel() override { ++panelHidden; }
  void setBusy(bool on) override {
    busyDepth += on ? 1 : -1;
    ++busyCalls;
  }
  void progressStarted() override { ++started; }
  void progressStopped() override { ++stopped; }
  void setProgress(int percent) override { progress.push_back(percent); }
  void sortFinished() override { ++finished; }

  // Puts text into the editor the way a paste of plain text does.
  void paste(std::u16string text) { yig::InsertUnicodeText(doc, text, false); }
};

bool isRed(const yig::rt::Document& doc, std::size_t pos) {
  const auto& color = doc.formatAt(pos).color;
  return color && *color == yig::rt::Color{255, 0, 0};
}

TEST(SortCommand, SortsTheWholeTextAndColoursTheUnrankableLines) {
  FakeHost host;
  host.paste(u"ཁ\r\nཀྐྐྐ\r\nཀ\r\n\r\nག");
  const SortOutcome out = SortTibetanLines(host, tables());
  EXPECT_EQ(out.status, Status::Sorted);
  EXPECT_EQ(out.sortedLines, 3u);
  EXPECT_EQ(out.unrankableLines, 1u);
  EXPECT_EQ(out.emptyLines, 1u);
  // sorted lines, three line breaks after the last, then the red part
  const std::u16string text = host.doc.plainText();
  EXPECT_EQ(text.substr(0, 13), u"ཀ\r\nཁ\r\nག\r\n\r\n\r\n");
  const std::size_t red = host.doc.text().find(u"ཀྐྐྐ");
  ASSERT_NE(red, std::u16string_view::npos);
  EXPECT_EQ(red, 8u) << "ཀ¶ཁ¶ག¶¶¶ before the red part";
  for (std::size_t i = red; i < red + 4; ++i) EXPECT_TRUE(isRed(host.doc, i)) << i;
  for (std::size_t i = 0; i < red; ++i) EXPECT_FALSE(isRed(host.doc, i)) << i;
  EXPECT_EQ(host.doc.formatAt(0).font.name, u"Microsoft Himalaya");
  EXPECT_EQ(host.messages, std::vector<std::u16string>{u" 排序完成！"});
  EXPECT_EQ(host.busyDepth, 0);
  EXPECT_EQ(host.started, 1);
  EXPECT_EQ(host.stopped, 1);
  EXPECT_EQ(host.finished, 1);
  ASSERT_FALSE(host.progress.empty());
  EXPECT_EQ(host.progress.back(), 100);
}

TEST(SortCommand, SelectionOnlyLeavesTheRestOfTheText) {
  FakeHost host;
  host.paste(u"head\r\nཁ\r\nཀ\r\ntail");
  host.selectionOnlyFlag = true;
  host.doc.select(5, 4);  // "ཁ¶ཀ¶"
  ASSERT_EQ(host.doc.selectedText(), u"ཁ\r\nཀ\r\n");
  EXPECT_EQ(SortTibetanLines(host, tables()).status, Status::Sorted);
  EXPECT_EQ(host.doc.plainText(), u"head\r\nཀ\r\nཁ\r\n\r\n\r\ntail");
}

TEST(SortCommand, AllLinesUnrankableGivesTheRedPartAndTheMessage) {
  FakeHost host;
  host.paste(u"ཀྐྐྐ\r\nabc\r\nཁྐྐྐ");
  const SortOutcome out = SortTibetanLines(host, tables());
  EXPECT_EQ(out.status, Status::Sorted);
  EXPECT_EQ(out.sortedLines, 0u);
  EXPECT_EQ(out.unrankableLines, 3u);
  const std::u16string text = host.doc.plainText();
  EXPECT_EQ(text.substr(0, 18), u"ཀྐྐྐ\r\nཁྐྐྐ\r\nabc") << "no leading blank lines; 3904 < 3905 < 97";
  for (std::size_t i = 0; i < host.doc.length(); ++i) {
    if (host.doc.text()[i] != u'\r') {
      EXPECT_TRUE(isRed(host.doc, i)) << i;
    }
  }
  EXPECT_EQ(host.messages, std::vector<std::u16string>{u" 排序完成！"});
}

TEST(SortCommand, RefusesTextThatIsNotUnicodeTibetan) {
  struct Case {
    const char* what;
    std::u16string text;
  };
  const Case cases[] = {
      {"Latin", u"abc\r\ndef"},
      {"only U+0F00", std::u16string(20, u'\u0F00')},
      {"a quarter exactly", u"ཀabc"},
  };
  for (const Case& c : cases) {
    FakeHost host;
    host.tibetan = true;
    host.doc.setText(c.text);
    const std::string before = host.doc.rtf();
    EXPECT_EQ(SortTibetanLines(host, tables()).status, Status::NotTibetan) << c.what;
    EXPECT_EQ(host.doc.rtf(), before) << c.what;
    EXPECT_EQ(host.messages, std::vector<std::u16string>{u"[bo]非Himalaya藏文，不能排序！"}) << c.what;
    EXPECT_EQ(host.panelHidden, 1) << c.what;
    EXPECT_EQ(host.finished, 0) << c.what;
  }
}

TEST(SortCommand, EmptyTextOrSelectionDoesNothing) {
  FakeHost empty;
  EXPECT_EQ(SortTibetanLines(empty, tables()).status, Status::NothingToSort);
  EXPECT_TRUE(empty.messages.empty());

  FakeHost noSelection;
  noSelection.paste(u"ཁ\r\nཀ");
  noSelection.selectionOnlyFlag = true;
  noSelection.doc.select(1, 0);
  EXPECT_EQ(SortTibetanLines(noSelection, tables()).status, Status::NothingToSort);
  EXPECT_EQ(noSelection.doc.plainText(), u"ཁ\r\nཀ");
  EXPECT_TRUE(noSelection.messages.empty());
  EXPECT_EQ(noSelection.busyCalls, 0);
}

TEST(SortCommand, TibetanInterfaceTranslatesTheCompletionMessage) {
  FakeHost host;
  host.tibetan = true;
  host.paste(u"ཁ\r\nཀ");
  SortTibetanLines(host, tables());
  EXPECT_EQ(host.messages, std::vector<std::u16string>{u"[bo] 排序完成！"});
}

TEST(SortCommand, EngineHostAdapterForwards) {
  // The adapter passes the editor and messages of an EngineHost through.
  struct Engine final : yig::EngineHost {
    yig::rt::Document ed, work;
    std::vector<std::u16string> shown;
    yig::rt::Document& editor() override { return ed; }
    yig::rt::Document& workArea() override { return work; }
    std::u16string sourceFontList() const override { return {}; }
    std::u16string sambhotaFamily() const override { return u"Ededris"; }
    bool tibetanInterface() const override { return false; }
    std::u16string translateForDisplay(const std::u16string& c) const override { return c; }
    void showMessage(const std::u16string& t) override { shown.push_back(t); }
    void setProgress(int) override {}
    void setElapsedTime(const std::u16string&) override {}
  } engine;
  engine.ed.setText(u"ཁ\r\nཀ");
  EngineSortHost host(engine, false);
  EXPECT_EQ(SortTibetanLines(host, tables()).status, Status::Sorted);
  EXPECT_EQ(engine.ed.plainText().substr(0, 6), u"ཀ\r\nཁ\r\n");
  EXPECT_EQ(engine.shown, std::vector<std::u16string>{u" 排序完成！"});
}

}  // namespace
