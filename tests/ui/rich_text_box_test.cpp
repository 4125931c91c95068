#include <QDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>

#include "ui/rich_text_box.h"

namespace yig::ui {
namespace {

rt::CharFormat format(std::u16string font, int charset, int size) {
  rt::CharFormat f;
  f.font.name = std::move(font);
  f.font.charset = charset;
  f.sizeHalfPoints = size;
  return f;
}

TEST(FormatBridgeTest, EveryAttributeSurvivesTheRoundTrip) {
  rt::CharFormat plain = format(u"Microsoft Himalaya", 0, 48);
  rt::CharFormat rich = format(u"宋体", 134, 21);
  rich.font.family = "froman";
  rich.font.pitch = 2;
  rich.color = rt::Color{255, 0, 0};
  rich.bold = rich.italic = rich.underline = rich.strike = true;
  rt::CharFormat odd = format(u"BZDBT", 134, 7);
  odd.color = rt::Color{0, 128, 1};
  odd.underline = true;
  for (const rt::CharFormat& f : {plain, rich, odd}) EXPECT_EQ(fromQtFormat(toQtFormat(f)), f);
}

// Text Qt formatted itself names no font or size: it takes the editor's font
// whole (a GBK font keeps its charset) and size; its own colour and bold stay.
TEST(FormatBridgeTest, QtsOwnFormatTakesTheEditorsFontAndSize) {
  rt::CharFormat editor = format(u"BZDBT", 134, 32);
  editor.font.family = "fnil";
  editor.font.pitch = 2;
  QTextCharFormat qt;
  qt.setFontWeight(QFont::Bold);
  const rt::CharFormat made = fromQtFormat(qt, &editor);
  EXPECT_EQ(made.font, editor.font);
  EXPECT_EQ(made.sizeHalfPoints, 32);
  EXPECT_TRUE(made.bold);
  EXPECT_EQ(fromQtFormat(toQtFormat(format(u"Arial", 0, 20)), &editor), format(u"Arial", 0, 20));
}

void expectSameRuns(const rt::Document& a, const rt::Document& b) {
  EXPECT_EQ(a.text(), b.text());
  const auto x = a.runs(), y = b.runs();
  ASSERT_EQ(x.size(), y.size());
  for (std::size_t i = 0; i < x.size(); ++i) {
    EXPECT_EQ(x[i].start, y[i].start);
    EXPECT_EQ(x[i].end, y[i].end);
    EXPECT_EQ(*x[i].format, *y[i].format) << "run " << i << " at " << x[i].start;
  }
  EXPECT_EQ(a.finalParagraphLead(), b.finalParagraphLead());
}

TEST(FormatBridgeTest, DocumentRoundTripKeepsTextParagraphsAndRuns) {
  rt::Document source;
  rt::CharFormat tibetan = format(u"Microsoft Himalaya", 0, 48);
  rt::CharFormat red = tibetan;
  red.color = rt::Color{255, 0, 0};
  rt::CharFormat chinese = format(u"宋体", 134, 24);
  chinese.bold = true;
  source.append(u"བཀྲ་ཤིས་", tibetan);
  source.append(u"བདེ", red);
  source.append(u"\r", tibetan);
  source.append(u"中文\vline", chinese);
  source.append(u"\r\rend", tibetan);

  QTextDocument qt;
  modelToQt(source, qt);
  EXPECT_EQ(qt.blockCount(), 4);
  rt::Document back;
  qtToModel(qt, back);
  expectSameRuns(source, back);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

int tablesIn(const QTextDocument& qt) {
  int n = 0;
  for (QTextFrame* frame : qt.rootFrame()->childFrames()) n += qobject_cast<QTextTable*>(frame) != nullptr;
  return n;
}

// Every RTF file of the tests and samples comes back from the widget as it went
// in: text, runs, formats, carried objects (by identity) and paragraph openings.
TEST(FormatBridgeTest, EveryCorpusDocumentSurvivesTheWidget) {
  int withTables = 0;
  for (const QString& dir : {QStringLiteral(YIG_TEST_DATA_DIR "/documents"), QStringLiteral(YIG_TEST_DATA_DIR "/rtf"),
                            QStringLiteral(YIG_SOURCE_DIR "/samples")}) {
    for (const QString& name : QDir(dir).entryList({QStringLiteral("*.rtf")})) {
      SCOPED_TRACE(name.toStdString());
      const std::string bytes = readFile((dir + u'/' + name).toStdString());
      rt::Document source;
      ASSERT_TRUE(source.setRtf(bytes).ok);
      QTextDocument qt;
      modelToQt(source, qt);
      rt::Document back = source;
      qtToModel(qt, back);
      expectSameRuns(source, back);
      EXPECT_EQ(back.rtf(), source.rtf());
      const bool table = bytes.find("\\trowd") != std::string::npos;
      EXPECT_EQ(tablesIn(qt) > 0, table);
      withTables += table;
    }
  }
  EXPECT_GE(withTables, 12);
}

// Tables in the editor: what the widget holds, and positions in model units.
struct TableCase {
  const char* name;
  const char* body;  // RTF after the header
  int tables;        // QTextTables the widget shows
};

class TablePositionsTest : public ::testing::TestWithParam<TableCase> {};

TEST_P(TablePositionsTest, WidgetPositionsCountModelUnits) {
  const TableCase& c = GetParam();
  RichTextBox box;
  box.setRtf(std::string(R"({\rtf1\ansi{\fonttbl{\f0\fswiss Arial;}}\f0\fs24 )") + c.body + "}");
  const rt::Document model = box.model();
  EXPECT_EQ(tablesIn(*box.document()), c.tables);
  const int length = static_cast<int>(model.length());
  ASSERT_EQ(box.textLength(), length);
  // (The widget's text keeps object characters, the model's leaves them out.)
  const auto visible = [](QString s) { return s.remove(QChar(0xFFFC)); };
  EXPECT_EQ(visible(box.plainText()), QString::fromStdU16String(model.plainText()));
  {
    rt::Document back = model;
    qtToModel(*box.document(), back);
    expectSameRuns(model, back);
  }
  // Every position the widget can hold reads back as itself; those among the
  // units after a table row's last cell (marks, the row mark) stand after the row.
  const std::u16string_view text = model.text();
  std::vector<int> expected(static_cast<std::size_t>(length) + 1);
  for (int m = 0; m <= length; ++m) expected[m] = m;
  for (int r = 0; c.tables > 0 && r < length; ++r) {
    if (text[r] != u'\r' || !model.formatAt(r).object || model.formatAt(r).object->rtf != "\\row") continue;
    for (int m = r; text[m - 1] != u'\t'; --m) expected[m - 1] = r + 1;
    expected[r] = r + 1;
  }
  for (int m = 0; m <= length; ++m) {
    box.select(m, 0);
    EXPECT_EQ(box.selStart(), expected[m]) << m;
  }
  // Ranges read the model's text and selection. A range that crosses cells
  // takes them whole, one that enters a table from outside the whole table.
  for (int from = 0; from < length; from += 3) {
    for (int to = from + 1; to <= length; to += 4) {
      box.select(from, to - from);
      rt::Document& doc = box.model();
      const std::size_t start = doc.selStart(), end = start + doc.selLength();
      EXPECT_EQ(visible(box.selectedText()), QString::fromStdU16String(doc.selectedText())) << from << ".." << to;
      // A range takes a row's cell and row marks all or none (its RTF holds whole rows).
      bool in = false, out = false;
      for (std::size_t i = 0; c.tables > 0 && i < text.size(); ++i) {
        const auto& object = doc.formatAt(i).object;
        if (!object || (object->rtf != "\\cell" && object->rtf != "\\row")) continue;
        (i >= start && i < end ? in : out) = true;
        if (object->rtf != "\\row") continue;
        EXPECT_FALSE(in && out) << from << ".." << to << " row ending at " << i;
        in = out = false;
      }
      EXPECT_LE(start, static_cast<std::size_t>(expected[from]));
      EXPECT_GE(end, static_cast<std::size_t>(expected[to])) << from << ".." << to;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tables, TablePositionsTest,
    ::testing::Values(
        TableCase{"BetweenParagraphs",
                  R"(\pard P\par\trowd\cellx1000\cellx2000\pard\intbl a\cell bc\cell\row)"
                  R"(\trowd\cellx1000\cellx2000\pard\intbl d\par e\cell\cell\row\pard Q\par)",
                  1},
        TableCase{"AtTheStartAndTouching",
                  R"(\trowd\cellx1000\pard\intbl a\cell\row\trowd\cellx900\cellx1800\cellx2700\pard\intbl)"
                  R"( b\cell c\cell d\cell\row)",
                  2},
        TableCase{"WordRowEnd",
                  R"(\pard x\par\trowd\cellx1000\cellx2000\pard\intbl a\cell b\cell\pard\intbl{\trowd\cellx1000)"
                  R"(\cellx2000\row}\pard y)",
                  1},
        TableCase{"NestedStaysTabs",
                  R"(\pard\intbl a\cell\pard\intbl\itap2 b\nestcell{\*\nesttableprops\trowd\cellx500\nestrow})"
                  R"(\pard\intbl\itap1 \cell\trowd\cellx1000\row\pard z)",
                  0}),
    [](const ::testing::TestParamInfo<TableCase>& info) { return std::string(info.param.name); });

QTextTable* firstTable(const QTextDocument& qt) {
  for (QTextFrame* frame : qt.rootFrame()->childFrames())
    if (auto* table = qobject_cast<QTextTable*>(frame)) return table;
  return nullptr;
}

// Typing, a new paragraph and deleting inside cells, and a new paragraph after
// a table, give RTF that reads back as the same tables holding the edits.
TEST(TableEditingTest, EditedCellsStayInTheirTable) {
  const std::string simple =
      R"({\rtf1\ansi{\fonttbl{\f0\fswiss Arial;}}\f0\fs24 \pard P\par\trowd\cellx1000\cellx2000\pard\intbl a)"
      R"(\cell b\cell\row\trowd\cellx1000\cellx2000\pard\intbl c\par d\cell e\cell\row\pard Q\par})";
  for (const std::string& rtf : {simple, readFile(YIG_TEST_DATA_DIR "/documents/word-hima.rtf"),
                                 readFile(YIG_TEST_DATA_DIR "/documents/lo-hima.rtf")}) {
    SCOPED_TRACE(rtf.substr(0, 60));
    RichTextBox box;
    box.setRtf(rtf);
    const int tables = tablesIn(*box.document());
    QTextTable* table = firstTable(*box.document());
    ASSERT_NE(table, nullptr);
    const int rows = table->rows(), columns = table->columns();
    QTextCursor cell = table->cellAt(0, 0).lastCursorPosition();
    cell.insertText(QStringLiteral("X"));
    cell.insertBlock();
    cell.insertText(QStringLiteral("Y"));
    QTextCursor other = table->cellAt(rows - 1, 0).firstCursorPosition();
    other.setPosition(table->cellAt(rows - 1, 0).lastPosition(), QTextCursor::KeepAnchor);
    other.removeSelectedText();
    QTextCursor after(box.document());
    after.setPosition(table->lastPosition() + 1);
    after.insertText(QStringLiteral("Z"));
    after.insertBlock();

    rt::Document back;
    ASSERT_TRUE(back.setRtf(box.rtf()).ok);
    QTextDocument shown;
    modelToQt(back, shown);
    EXPECT_EQ(tablesIn(shown), tables);
    QTextTable* again = firstTable(shown);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->rows(), rows);
    EXPECT_EQ(again->columns(), columns);
    QTextCursor first = again->cellAt(0, 0).firstCursorPosition();
    first.setPosition(again->cellAt(0, 0).lastPosition(), QTextCursor::KeepAnchor);
    EXPECT_TRUE(first.selectedText().endsWith(QStringLiteral("X\u2029Y"))) << first.selectedText().toStdString();
    EXPECT_EQ(again->cellAt(rows - 1, 0).firstPosition(), again->cellAt(rows - 1, 0).lastPosition());
    EXPECT_EQ(shown.findBlock(again->lastPosition() + 1).text(), QStringLiteral("Z"));
  }
}

// A table Qt made itself (dropped into the editor) is written as a table too.
TEST(TableEditingTest, TableMadeInTheWidgetIsWrittenAsATable) {
  RichTextBox box;
  // (A document read with something to carry, here a style sheet, keeps paragraph openings.)
  box.setRtf(R"({\rtf1\ansi{\fonttbl{\f0\fswiss Arial;}}{\stylesheet{\s0 Normal;}}\f0\fs24 \pard P\par\pard Q\par})");
  QTextCursor at(box.document());
  at.setPosition(2);
  QTextTable* table = at.insertTable(2, 3);
  table->cellAt(0, 0).firstCursorPosition().insertText(QStringLiteral("a"));
  table->cellAt(1, 2).firstCursorPosition().insertText(QStringLiteral("f"));
  rt::Document back;
  ASSERT_TRUE(back.setRtf(box.rtf()).ok);
  QTextDocument shown;
  modelToQt(back, shown);
  QTextTable* again = firstTable(shown);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->rows(), 2);
  EXPECT_EQ(again->columns(), 3);
  EXPECT_EQ(shown.findBlock(again->cellAt(1, 2).firstPosition()).text(), QStringLiteral("f"));
  EXPECT_EQ(shown.findBlock(again->lastPosition() + 1).text(), QStringLiteral("Q"));
  // The paragraph after the table opens out of it (a reader would drop it otherwise).
  const std::string rtf = box.rtf();
  // Text typed into its cells is in the editor's font, not in a font without a name.
  EXPECT_EQ(rtf.find(" ;}"), std::string::npos) << rtf;
  const std::size_t row = rtf.rfind("\\row");
  EXPECT_LT(rtf.find("\\pard", row), rtf.find(" Q", row)) << rtf;
}

// Edits in and around tables move the editor's position map with them: the
// lengths, the text and the caret's model position agree with the model made
// from the widget and with the document read back.
TEST(TableEditingTest, PositionsFollowEditsAroundTables) {
  const std::string rtf =
      R"({\rtf1\ansi{\fonttbl{\f0\fswiss Arial;}}\f0\fs24 \pard P\par\trowd\cellx1000\cellx2000\pard\intbl a)"
      R"(\cell b\cell\row\trowd\cellx1000\cellx2000\pard\intbl c\cell d\cell\row)"
      R"(\trowd\cellx1000\cellx2000\cellx3000\pard\intbl e\cell f\cell g\cell\row\pard Q\par})";
  using Place = std::function<int(QTextDocument&)>;
  const auto table = [](QTextDocument& doc, int n) {
    std::vector<QTextTable*> tables;
    for (QTextFrame* frame : doc.rootFrame()->childFrames())
      if (auto* t = qobject_cast<QTextTable*>(frame)) tables.push_back(t);
    return tables.at(static_cast<std::size_t>(n));
  };
  const struct {
    const char* name;
    Place place;
    bool erase;  // a character before the place is deleted instead of two typed
    int grows;   // the model's length
  } cases[] = {
      {"end of a cell", [&](QTextDocument& d) { return table(d, 0)->cellAt(0, 0).lastPosition(); }, false, 2},
      {"start of a cell", [&](QTextDocument& d) { return table(d, 0)->cellAt(1, 1).firstPosition(); }, false, 2},
      {"before the first table", [&](QTextDocument& d) { return table(d, 0)->firstPosition() - 1; }, false, 2},
      // (Text between two tables makes a paragraph of its own.)
      {"between the tables", [&](QTextDocument& d) { return table(d, 1)->firstPosition() - 1; }, false, 3},
      {"after the last table", [&](QTextDocument& d) { return table(d, 1)->lastPosition() + 1; }, false, 2},
      {"deleted in a cell", [&](QTextDocument& d) { return table(d, 1)->cellAt(0, 2).lastPosition(); }, true, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RichTextBox box;
    box.setRtf(rtf);
    const int before = box.textLength();  // the position map is made here, before the edits
    QTextCursor at(box.document());
    at.setPosition(c.place(*box.document()));
    for (int i = 0; i < (c.erase ? 1 : 2); ++i) {
      if (c.erase) at.deletePreviousChar();
      else at.insertText(QStringLiteral("x"));
    }
    box.setTextCursor(at);
    EXPECT_EQ(box.textLength(), before + c.grows);
    EXPECT_EQ(box.plainTextLength(), box.plainText().size());
    const int caret = box.selStart();
    const rt::Document& model = box.model();
    EXPECT_EQ(box.textLength(), static_cast<int>(model.length()));
    if (!c.erase) {
      EXPECT_EQ(model.text().substr(static_cast<std::size_t>(caret) - 2, 2), u"xx");
    }
    RichTextBox again;
    again.setRtf(box.rtf());
    EXPECT_EQ(again.plainText(), box.plainText());
  }
}

// A document with very many cells shows its first tables as tables and the
// rest as tab rows, and still comes back whole.
TEST(FormatBridgeTest, ManyCellsShowTheFirstTablesOnly) {
  std::string rtf = R"({\rtf1\ansi{\fonttbl{\f0\fswiss Arial;}}\f0 )";
  for (int t = 0; t < 150; ++t) {
    rtf += R"(\pard p\par)";
    for (int r = 0; r < 10; ++r) rtf += R"(\trowd\cellx900\cellx1800\cellx2700\pard\intbl a\cell b\cell c\cell\row)";
  }
  rt::Document source;
  ASSERT_TRUE(source.setRtf(rtf + "}").ok);
  QTextDocument qt;
  modelToQt(source, qt);
  int cells = 0;
  for (QTextFrame* frame : qt.rootFrame()->childFrames()) {
    if (auto* table = qobject_cast<QTextTable*>(frame)) cells += table->rows() * table->columns();
  }
  EXPECT_GT(cells, 1000);
  EXPECT_LE(cells, 4000);
  rt::Document back = source;
  qtToModel(qt, back);
  expectSameRuns(source, back);
}

class RichTextBoxTest : public ::testing::Test {
 protected:
  RichTextBox box;
  void fill() {
    rt::Document& doc = box.model();
    doc.clear();
    doc.append(u"ཀཁག", format(u"Microsoft Himalaya", 0, 48));
    doc.append(u"abc", format(u"Arial", 0, 24));
    doc.select(0, 0);
    box.modelChanged();
  }
};

TEST_F(RichTextBoxTest, SelectionFontIsEmptyWhenMixed) {
  fill();
  box.select(0, 3);
  EXPECT_EQ(box.selectionFontName(), QStringLiteral("Microsoft Himalaya"));
  EXPECT_EQ(box.selectionFontPoints(), 24.0);
  box.select(1, 4);
  EXPECT_FALSE(box.selectionFontName().has_value());
  EXPECT_FALSE(box.selectionFontPoints().has_value());
  // A caret reports the character before it (the first one at the start).
  EXPECT_EQ(box.fontNameAtCaret(0), QStringLiteral("Microsoft Himalaya"));
  EXPECT_EQ(box.fontNameAtCaret(4), QStringLiteral("Arial"));
  EXPECT_EQ(box.fontNameAtCaret(3), QStringLiteral("Microsoft Himalaya"));
}

TEST_F(RichTextBoxTest, EditsInTheWidgetReachTheModel) {
  fill();
  box.select(3, 3);
  box.setSelectionFontName(QStringLiteral("宋体"));
  box.setSelectionFontPoints(10.5);
  box.setSelectionEffects(true, false, true, false);
  box.setSelectionColor(QColor(0, 0, 255));
  box.select(6, 0);
  box.textCursor().insertText(QStringLiteral("!"));
  const rt::Document& doc = box.model();
  EXPECT_EQ(doc.text(), u"ཀཁགabc!");
  const rt::CharFormat& f = doc.formatAt(4);
  EXPECT_EQ(f.font.name, u"宋体");
  EXPECT_EQ(f.font.charset, 134);
  EXPECT_EQ(f.sizeHalfPoints, 21);
  EXPECT_TRUE(f.bold);
  EXPECT_TRUE(f.underline);
  EXPECT_FALSE(f.italic);
  EXPECT_EQ(f.color, (rt::Color{0, 0, 255}));
  EXPECT_EQ(doc.formatAt(0).font.name, u"Microsoft Himalaya");
}

TEST_F(RichTextBoxTest, RtfInAndOutAndSelectionPositions) {
  box.setRtf(R"({\rtf1\ansi{\fonttbl{\f0\fnil Microsoft Himalaya;}}\f0\fs48 \u3904?\u3905?\par abc\par})");
  EXPECT_EQ(box.plainText().left(6), QStringLiteral("ཀཁ\r\nab"));
  EXPECT_EQ(box.textLength(), static_cast<int>(box.model().length()));
  box.select(1, 3);
  EXPECT_EQ(box.selectedText(), QStringLiteral("ཁ\r\na"));
  EXPECT_EQ(box.model().selStart(), 1u);
  EXPECT_EQ(box.model().selLength(), 3u);
  const std::string rtf = box.rtf();
  EXPECT_NE(rtf.find("Microsoft Himalaya"), std::string::npos);
  EXPECT_NE(rtf.find("\\u3905?"), std::string::npos);
  // Text that is not RTF leaves the editor as it was.
  box.setRtf("plain words");
  EXPECT_EQ(box.plainText().left(2), QStringLiteral("ཀཁ"));
}

TEST_F(RichTextBoxTest, ReplaceSelectionRtfPutsTheCaretAfterTheInsertion) {
  fill();
  box.select(3, 3);
  box.replaceSelectionRtf(R"({\rtf1\ansi{\fonttbl{\f0\fnil Arial;}}\f0 XY})");
  EXPECT_EQ(box.plainText(), QStringLiteral("ཀཁགXY"));
  EXPECT_EQ(box.selStart(), 5);
  EXPECT_EQ(box.selLength(), 0);
}

}  // namespace
}  // namespace yig::ui
