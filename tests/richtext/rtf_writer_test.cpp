#include <gtest/gtest.h>

#include <string>

#include "richtext/document.h"

namespace yig::rt {
namespace {

CharFormat himalaya(int size = 48) {
  CharFormat f;
  f.font = Font{u"Microsoft Himalaya", 0, "fnil", -1};
  f.sizeHalfPoints = size;
  return f;
}

CharFormat bzd(int size = 48) {
  CharFormat f;
  f.font = Font{u"BZDBT", 134, "fnil", -1};
  f.sizeHalfPoints = size;
  return f;
}

TEST(RtfWriter, CanonicalHeaderAndBody) {
  Document doc;
  CharFormat red = bzd();
  red.color = Color{255, 0, 0};
  doc.append(u"\u0F40\u0F41", himalaya());
  doc.append(u"\u554A", red);
  EXPECT_EQ(doc.rtf(),
            "{\\rtf1\\ansi\\ansicpg936\\deff0\\deflang1033\\deflangfe2052{\\fonttbl"
            "{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}{\\f1\\fnil\\fcharset134 BZDBT;}}\r\n"
            "{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
            "\\viewkind4\\uc1\\pard\\f0\\fs48\\u3904?\\u3905?\\f1\\cf1\\'b0\\'a1\\par }\r\n");
}
}  // namespace
}  // namespace yig::rt
