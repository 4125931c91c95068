// Fuzzes the RTF reader and writer. Whatever the reader makes of the input,
// the writer's RTF is 7-bit and well formed, reads back to the same document,
// and writing that again gives the same bytes. A selection cut out and pasted
// back in its place leaves the text as it was. A note, header or footer taken
// out for editing and put back unchanged leaves well-formed RTF and the text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/rtf_checks.h"
#include "richtext/carried_parts.h"
#include "richtext/document.h"

namespace {

void check(bool ok, const char* what, const std::string& detail = {}) {
  if (ok) return;
  std::fprintf(stderr, "invariant broken: %s %s\n", what, detail.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 18)) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  yig::rt::Document doc;
  doc.setText(u"before");
  const yig::rt::ReadResult read = doc.setRtf(bytes);
  if (!read.ok) {
    check(doc.plainText() == u"before", "a refused input changed the document");
    return 0;
  }
  const std::string written = doc.rtf();
  const std::string problem = yig::hardening::rtfProblem(written, true);
  check(problem.empty(), "writer output malformed:", problem);

  yig::rt::Document again;
  check(again.setRtf(written).ok, "our own RTF refused");
  check(yig::hardening::sameDocument(doc, again), "RTF written by us reads back differently");
  check(again.rtf() == written, "writing twice gives different RTF");

  // The first note and the first header or footer, edited without a change.
  std::vector<yig::rt::PartRef> parts = yig::rt::headersAndFooters(again);
  for (std::size_t i = 0; i < again.length(); ++i) {
    if (auto note = yig::rt::noteAt(again, i)) {
      parts.insert(parts.begin(), *note);
      break;
    }
  }
  if (parts.size() > 2) parts.resize(2);
  for (const yig::rt::PartRef& ref : parts) {
    const std::optional<std::string> content = yig::rt::partContentRtf(again, ref);
    if (!content) continue;
    check(yig::hardening::rtfProblem(*content, true).empty(), "a part's own RTF malformed");
    yig::rt::Document edited;
    check(edited.setRtf(*content).ok, "a part's own RTF refused");
    yig::rt::Document after = again;
    if (!yig::rt::applyPartEdit(after, ref, edited)) continue;
    check(after.text() == again.text(), "putting a part back changed the document's text");
    const std::string rewritten = after.rtf();
    check(yig::hardening::rtfProblem(rewritten, true).empty(), "RTF with a part put back malformed:", rewritten);
    yig::rt::Document reread;
    check(reread.setRtf(rewritten).ok && reread.text() == after.text(), "RTF with a part put back reads differently");
  }

  // Cut a selection out as RTF and paste it back over itself.
  const std::size_t len = doc.length();
  if (len > 0 && size >= 2) {
    const std::size_t start = data[0] % (len + 1);
    const std::size_t count = data[1] % (len - start + 1);
    doc.select(start, count);
    const std::string part = doc.selectionRtf();
    check(yig::hardening::rtfProblem(part, true).empty(), "selection RTF malformed");
    // The text is compared without object characters: what a carried field
    // shows is worked out from the fonts around it, and paragraph words cut
    // at the selection's edge may come back as the opening of its paragraph.
    auto text = [&doc] {
      std::u16string t(doc.text());
      std::erase(t, u'\uFFFC');
      return t;
    };
    const std::u16string before = text();
    check(doc.replaceSelectionRtf(part).ok, "selection RTF refused");
    check(text() == before, "pasting a selection over itself changed the text");
  }
  return 0;
}
