// yigsgyur text2rtf IN.txt -o OUT.rtf [--red]
// Puts Unicode text into an empty document the way a paste does (every
// character as a Unicode escape, fonts chosen by character range) and writes
// the document's RTF.
#include <optional>
#include <ostream>
#include <string>

#include "cli/cli_io.h"
#include "cli/commands.h"
#include "documents/text_decoding.h"
#include "engine/unicode_text_rtf.h"
#include "richtext/document.h"

namespace yig::cli {
namespace {

void text2rtfUsage(std::ostream& os) {
  os << "usage: yigsgyur text2rtf IN.txt -o OUT.rtf [--red]\n"
        "\n"
        "Turns Unicode text into RTF: Tibetan in \"Microsoft Himalaya\" 24 pt, Latin in\n"
        "\"Tahoma\" 12 pt, Chinese and the rest in \"宋体\" 12 pt. IN.txt is UTF-8, or\n"
        "UTF-16 (little or big endian) with a byte-order mark; each line becomes a\n"
        "paragraph (CR LF, LF and CR all end a line).\n"
        "\n"
        "  -o OUT.rtf   where to write the RTF (\"-\" writes to standard output)\n"
        "  --red        colour every character red\n";
}

}  // namespace

int runText2Rtf(const Args& args, std::ostream& out, std::ostream& err) {
  bool red = false;
  InOutArgs parsed;
  if (auto status = parseInOutArgs("text2rtf", args, {{"--red", &red}}, "-o OUT.rtf", text2rtfUsage, out, err, parsed)) {
    return *status;
  }
  const std::string& input = parsed.input;
  const std::string& output = parsed.output;
  std::optional<DecodedText> read = readTextInput("text2rtf", input, err);
  if (!read) return 2;
  DecodedText& decoded = *read;

  // The text-to-RTF step splits at CR LF only.
  std::u16string text = docs::normaliseLineEnds(decoded.text);
  decoded.text.clear();
  rt::Document document;
  InsertUnicodeText(document, text, red);
  const std::string rtf = document.rtf();

  if (output == "-") {
    out << rtf;
    out.flush();
    if (!out) {
      err << "yigsgyur text2rtf: cannot write to standard output\n";
      return 1;
    }
    return 0;
  }
  if (std::string error = writeFileAtomic(output, rtf); !error.empty()) {
    err << "yigsgyur text2rtf: " << error << '\n';
    return 1;
  }
  out << "wrote " << output << " (" << document.length() << " characters)\n";
  return 0;
}

}  // namespace yig::cli
