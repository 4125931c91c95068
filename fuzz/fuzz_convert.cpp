// Fuzzes the conversion operations on arbitrary RTF. The first byte chooses
// what runs: its low three bits one of the seven operations (7: a whole
// convert request through convertFile), the next bits the national encodings
// involved, and the top bit whether the operation gets the input bytes as they
// are or the editor's own rendering of them (the way a request passes them).
// On the editor's rendering, whatever an operation writes is well-formed RTF
// that the reader opens, and a convert request leaves a readable editor.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/cli_host.h"
#include "engine/conversion_engine.h"
#include "engine/engine_internals.h"
#include "engine/host.h"
#include "fuzz/rtf_checks.h"
#include "richtext/document.h"

namespace {

class FuzzHost final : public yig::EngineHost {
 public:
  yig::rt::Document& editor() override { return editor_; }
  yig::rt::Document& workArea() override { return area_; }
  std::u16string sourceFontList() const override { return list; }
  std::u16string sambhotaFamily() const override { return family; }
  bool tibetanInterface() const override { return tibetan; }
  std::u16string translateForDisplay(const std::u16string& chinese) const override { return chinese; }
  void showMessage(const std::u16string&) override { ++messages; }
  void setProgress(int percent) override {
    if (percent < 0 || percent > 100) std::abort();
  }
  void setElapsedTime(const std::u16string&) override {}
  std::size_t savedSelectionStart() const override { return selStart; }
  std::size_t savedSelectionLength() const override { return selLength; }

  std::u16string list, family = u"Ededris";
  bool tibetan = false;
  int messages = 0;
  std::size_t selStart = 0, selLength = 0;

 private:
  yig::rt::Document editor_, area_;
};

const char16_t* const kCodes[] = {u"BZD", u"TY", u"FZ", u"HG", u"HKA"};
const char16_t* const kAllCodes[] = {u"BZD", u"TY", u"FZ", u"HG", u"HKA", u"HIMA", u"SAM", u"XX"};

void check(bool ok, const char* what, const std::string& detail = {}) {
  if (ok) return;
  std::fprintf(stderr, "invariant broken: %s %s\n", what, detail.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || size > (1u << 16)) return 0;
  const std::uint8_t op = data[0] & 7;
  const std::u16string a = kCodes[(data[0] >> 3) % 5];
  const std::u16string b = kCodes[(data[1] >> 3) % 5];
  const bool raw = (data[0] & 0x80) != 0;
  const std::string input(reinterpret_cast<const char*>(data + 2), size - 2);

  FuzzHost host;
  host.family = (data[1] & 1) ? u"Dedris" : u"Ededris";
  host.tibetan = (data[1] & 2) != 0;
  yig::ConversionEngine engine(host);

  if (op == 7) {
    std::u16string src = kAllCodes[data[1] & 7];
    std::u16string dst = kAllCodes[(data[1] >> 3) & 7];
    host.list = yig::cli::standardSourceFontList(src);
    if (!host.workArea().setRtf(input).ok) return 0;
    if (data[1] & 0x40) {
      const std::size_t len = host.workArea().length();
      host.workArea().select(len / 3, len / 3);
      host.selStart = len / 3;
      host.selLength = len / 3;
      host.editor().setRtf(input);
    }
    engine.convertFile(src, dst);
    const std::string out = host.editor().rtf();
    check(yig::hardening::rtfProblem(out, true).empty(), "editor RTF malformed");
    return 0;
  }

  std::string zz = input;
  if (!raw) {
    yig::rt::Document doc;
    if (!doc.setRtf(input).ok) return 0;
    zz = doc.rtf();
  }
  std::string written;
  yig::EngineInternals::copyOutputTo(engine, &written);
  switch (op) {
    case 0:
      host.list = yig::cli::standardSourceFontList(u"HIMA");
      engine.WJZH_HIMA_QT(zz, a);
      break;
    case 1:
      host.list = yig::cli::standardSourceFontList(a);
      engine.WJZH_QT_HIMA(zz, a);
      break;
    case 2:
      host.list = yig::cli::standardSourceFontList(u"SAM");
      engine.WJZH_SAM_HIMA(zz);
      break;
    case 3:
      host.list = yig::cli::standardSourceFontList(u"HIMA");
      engine.WJZH_HIMA_SAM(zz);
      break;
    case 4:
      host.list = yig::cli::standardSourceFontList(u"SAM");
      engine.WJZH_SAM_QT(zz, a);
      break;
    case 5:
      host.list = yig::cli::standardSourceFontList(a);
      engine.WJZH_QT_SAM(zz, a);
      break;
    case 6:
      host.list = yig::cli::standardSourceFontList(a);
      engine.WJZH_QT_QT(zz, a, b);
      break;
  }
  yig::EngineInternals::copyOutputTo(engine, nullptr);
  if (!raw && !written.empty()) {
    const std::string problem = yig::hardening::rtfProblem(written, false);
    check(problem.empty(), "operation output malformed:", problem);
    yig::rt::Document reread;
    check(reread.setRtf(written).ok, "operation output refused by the reader");
  }
  return 0;
}
