// Notes, headers and footers edited as documents of their own and put back
// into their groups: new text inside the group, every other byte the same.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "richtext/carried_parts.h"

namespace yig::rt {
namespace {

std::string readDocument(const char* name) {
  std::ifstream in(std::filesystem::path(YIG_TEST_DATA_DIR) / "documents" / name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::optional<PartRef> firstNote(const Document& doc) {
  for (std::size_t u = 0; u < doc.length(); ++u) {
    if (auto ref = noteAt(doc, u)) return ref;
  }
  return std::nullopt;
}

// The same part, its group now `size` bytes long.
PartRef resized(PartRef ref, std::size_t size) {
  ref.size = size;
  return ref;
}

// Appends `text` at the end of the part's content (in the look of its last
// character) and puts it back; checks that only the group's bytes changed.
void appendToPart(Document& doc, const PartRef& ref, std::u16string_view text, const std::string& context) {
  const std::string before = doc.rtf();
  const std::string group(partBytes(doc, ref));
  ASSERT_FALSE(group.empty()) << context;
  const std::size_t at = before.find(group);
  ASSERT_NE(at, std::string::npos) << context;
  const std::optional<std::string> content = partContentRtf(doc, ref);
  ASSERT_TRUE(content) << context;
  Document edited;
  ASSERT_TRUE(edited.setRtf(*content).ok) << context;
  const std::size_t end = edited.text().find_last_not_of(u'\r') + 1;
  edited.select(end, 0);
  edited.replaceSelectionText(text);
  ASSERT_TRUE(applyPartEdit(doc, ref, edited)) << context;
  const std::string after = doc.rtf();
  const std::string fresh(partBytes(doc, resized(ref, ref.size + after.size() - before.size())));
  ASSERT_FALSE(fresh.empty()) << context;
  EXPECT_EQ(after.substr(0, at), before.substr(0, at)) << context;
  EXPECT_EQ(after.substr(at + fresh.size()), before.substr(at + group.size())) << context;
  EXPECT_EQ(after.substr(at, fresh.size()), fresh) << context;
  // Read again, the group holds the new text.
  Document again;
  ASSERT_TRUE(again.setRtf(after).ok) << context;
  EXPECT_NE(partText(doc, resized(ref, fresh.size())).find(text), std::u16string::npos) << context;
}

TEST(CarriedPartsTest, CorpusNoteKeepsMarkLookAndWritesTibetanAsTheEditorDoes) {
  for (const char* name : {"word-hima.rtf", "lo-hima.rtf"}) {
    Document doc;
    ASSERT_TRUE(doc.setRtf(readDocument(name)).ok) << name;
    const std::optional<PartRef> note = firstNote(doc);
    ASSERT_TRUE(note) << name;
    const std::string group(partBytes(doc, *note));
    const std::size_t mark = group.find("\\chftn");
    ASSERT_NE(mark, std::string::npos);
    EXPECT_NE(partText(doc, *note).find(u"\u0F58\u0F46\u0F53\u0F0B"), std::u16string::npos) << name;
    appendToPart(doc, *note, u"\u0F40\u0F0D", name);
    const std::string fresh(partBytes(doc, resized(*note, doc.formatAt(note->unit).object->rtf.size())));
    // Lead words and the reference mark as they were; the note's text in its own size, Tibetan as \uN?.
    const std::size_t kept = mark + std::string_view("\\chftn").size();
    EXPECT_EQ(fresh.substr(0, kept), group.substr(0, kept)) << name;
    EXPECT_NE(fresh.find("\\uc1"), std::string::npos) << name;
    EXPECT_NE(fresh.find("\\u3904?\\u3853?"), std::string::npos) << name;
    EXPECT_NE(fresh.find("\\fs18"), std::string::npos) << name;
  }
}

TEST(CarriedPartsTest, HeadersAndFootersAreListedAndEdited) {
  Document doc;
  ASSERT_TRUE(doc.setRtf(readDocument("word-hima.rtf")).ok);
  std::vector<PartRef> parts = headersAndFooters(doc);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].kind, PartKind::Header);
  EXPECT_EQ(parts[0].word, "headerr");
  EXPECT_EQ(parts[1].kind, PartKind::Footer);
  EXPECT_EQ(parts[0].section, 1);
  appendToPart(doc, parts[0], u"\u0F40", "header");
  // The footer beside it still stands where the list says after the header grew.
  parts = headersAndFooters(doc);
  ASSERT_EQ(parts.size(), 2u);
  appendToPart(doc, parts[1], u"Z", "footer");

  Document none;
  none.setRtf("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0 x\\par}");
  EXPECT_TRUE(headersAndFooters(none).empty());
}

TEST(CarriedPartsTest, FontsAndColoursNewToTheNoteJoinTheDocumentTables) {
  Document doc;
  ASSERT_TRUE(doc.setRtf("{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil Arial;}{\\f3\\fnil Himalaya;}}{\\colortbl;\\red255\\green0"
                         "\\blue0;}\\f0 a{\\footnote\\ftnalt {\\super\\chftn} {\\f3\\cf1 note}}b\\par}")
                  .ok);
  const std::optional<PartRef> note = firstNote(doc);
  ASSERT_TRUE(note);
  EXPECT_TRUE(note->endnote);
  Document edited;
  ASSERT_TRUE(edited.setRtf(*partContentRtf(doc, *note)).ok);
  EXPECT_EQ(edited.text(), u" note");  // the blank after the mark in the look around the note
  EXPECT_EQ(edited.formatAt(0).font.name, u"Arial");
  EXPECT_EQ(edited.formatAt(1).font.name, u"Himalaya");
  EXPECT_EQ(edited.formatAt(1).color, (Color{255, 0, 0}));
  edited.select(0, 2);
  FormatChange change;
  change.font = Font{u"Added", 0, "fnil", -1};
  change.color = Color{0, 0, 255};
  edited.applyFormat(change);
  ASSERT_TRUE(applyPartEdit(doc, *note, edited));
  const std::string rtf = doc.rtf();
  EXPECT_NE(rtf.find("{\\uc1\\f4\\fnil\\fcharset0 Added;}"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("\\red0\\green0\\blue255;}"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("{\\footnote\\ftnalt {\\super\\chftn}\\uc1\\pard\\plain\\f4\\fs24\\cf2  n\\f3\\cf1 ote\\par }"),
            std::string::npos)
      << rtf;
}

TEST(CarriedPartsTest, HostileNotesNeitherCrashNorCorrupt) {
  struct Case {
    const char* name;
    const char* body;
    bool editable;
  };
  const Case cases[] = {
      {"nested groups", "{\\footnote {\\super\\chftn} a{\\b b{\\i c}}{\\*\\x {y}}}", true},
      {"binary data", "{\\footnote {\\super\\chftn} a{\\*\\blob\\bin3 {}x}b}", true},
      {"picture", "{\\footnote {\\super\\chftn} a{\\pict\\pngblip 89504e47}b}", true},
      {"table", "{\\footnote {\\super\\chftn}\\trowd\\cellx1000 a\\cell b\\cell\\row}", true},
      {"no mark", "{\\footnote plain text}", true},
      {"unclosed (as no reader gives it)", "{\\footnote {\\super\\chftn} a{b", false},
      {"stray close brace in text", "{\\footnote a\\}b}", true},
  };
  for (const Case& c : cases) {
    Document doc;
    if (c.editable) {
      ASSERT_TRUE(doc.setRtf(std::string("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0 x") + c.body + "y\\par}").ok) << c.name;
    } else {
      doc.setRtf("{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\*\\unknown}\\f0 x\\par}");
      auto object = std::make_shared<EmbeddedObject>();
      object->kind = EmbeddedObject::Kind::Footnote;
      object->rtf = c.body;
      CharFormat f;
      f.object = object;
      doc.append(u"\uFFFC", f);
    }
    const std::optional<PartRef> note = firstNote(doc);
    ASSERT_TRUE(note) << c.name;
    EXPECT_EQ(partContentRtf(doc, *note).has_value(), c.editable) << c.name;
    if (!c.editable) {
      const std::string before = doc.rtf();
      EXPECT_FALSE(applyPartEdit(doc, *note, Document()));
      EXPECT_EQ(doc.rtf(), before) << c.name;
      continue;
    }
    appendToPart(doc, *note, u"Z", c.name);
    const std::string fresh(partBytes(doc, resized(*note, doc.formatAt(note->unit).object->rtf.size())));
    for (const char* kept : {"\\pict", "\\row", "\\blob", "\\*\\x {y}"}) {
      if (std::string_view(c.body).find(kept) != std::string_view::npos) {
        EXPECT_NE(fresh.find(kept), std::string::npos) << c.name;
      }
    }
  }
}

}  // namespace
}  // namespace yig::rt
