// yigsgyur sort IN -o OUT [--rtf] [--tibetan]
// Sorts the lines of a Unicode Tibetan text in dictionary order. The output has
// the layout the editor gets: the sorted lines, three line breaks, then the
// lines the collation table cannot rank (red in the editor). With --rtf the
// output is the editor's RTF after the sort.
#include <optional>
#include <ostream>
#include <sstream>
#include <string>

#include "cli/cli_host.h"
#include "cli/cli_io.h"
#include "cli/commands.h"
#include "documents/text_decoding.h"
#include "engine/message_map.h"
#include "engine/unicode_text_rtf.h"
#include "richtext/document.h"
#include "sorting/sort_command.h"
#include "sorting/tibetan_sort.h"

namespace yig::cli {
namespace {

void sortUsage(std::ostream& os) {
  os << "usage: yigsgyur sort IN.txt -o OUT [--rtf] [--tibetan]\n"
        "\n"
        "Sorts the lines of a Unicode Tibetan text in Tibetan dictionary order. IN.txt\n"
        "is UTF-8, or UTF-16 (little or big endian) with a byte-order mark. The output\n"
        "holds the sorted lines, three line breaks, then the lines that cannot be ranked\n"
        "(a syllable the collation table does not know); empty lines are dropped. It is\n"
        "written in the input's encoding and line ends.\n"
        "\n"
        "  -o OUT      where to write (\"-\" writes to standard output)\n"
        "  --rtf       write the RTF the editor shows after sorting (unrankable lines red)\n"
        "  --tibetan   messages in Tibetan\n";
}

std::u16string toLf(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

std::string encode(std::u16string_view text, TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8:
      return toUtf8(text);
    case TextEncoding::Utf8Bom:
      return "\xEF\xBB\xBF" + toUtf8(text);
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
      const bool be = encoding == TextEncoding::Utf16BE;
      std::string out = be ? "\xFE\xFF" : "\xFF\xFE";
      out.reserve(2 + text.size() * 2);
      for (char16_t c : text) {
        const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        out += be ? hi : lo;
        out += be ? lo : hi;
      }
      return out;
    }
  }
  return toUtf8(text);
}

int writeOutput(const std::string& output, const std::string& bytes, std::ostream& out, std::ostream& err) {
  if (output == "-") {
    out << bytes;
    out.flush();
    if (!out) {
      err << "yigsgyur sort: cannot write to standard output\n";
      return 2;
    }
    return 0;
  }
  if (std::string error = writeFileAtomic(output, bytes); !error.empty()) {
    err << "yigsgyur sort: " << error << '\n';
    return 2;
  }
  return 0;
}

}  // namespace

int runSort(const Args& args, std::ostream& out, std::ostream& err) {
  bool rtf = false, tibetan = false;
  InOutArgs parsed;
  if (auto status = parseInOutArgs("sort", args, {{"--rtf", &rtf}, {"--tibetan", &tibetan}}, "-o OUT", sortUsage, out,
                                   err, parsed)) {
    return *status;
  }
  const std::string& input = parsed.input;
  const std::string& output = parsed.output;
  std::optional<DecodedText> read = readTextInput("sort", input, err);
  if (!read) return 2;
  DecodedText& decoded = *read;
  // Lines are sorted with CR LF ends; a text that had no CR is written back
  // with LF alone.
  const bool crlf = decoded.text.find(u'\r') != std::u16string::npos;
  std::u16string text = docs::normaliseLineEnds(decoded.text);
  decoded.text.clear();

  // When the program's messages go to standard output with the sorted text,
  // they go to the error stream instead.
  std::ostream& info = output == "-" ? err : out;
  auto say = [&](std::u16string_view chinese) { info << toUtf8(TranslateForDisplay(chinese, tibetan)) << '\n'; };

  if (text.empty()) {
    info << "nothing to sort: '" << input << "' is empty\n";
    return writeOutput(output, rtf ? std::string() : encode(u"", decoded.encoding), out, err);
  }
  if (!sorting::looksLikeUnicodeTibetan(text)) {
    say(sorting::kNotTibetanMessage);
    return 2;
  }

  const sorting::SortTables tables = sorting::SortTables::builtin();
  std::size_t sortedLines = 0, redLines = 0, emptyLines = 0;
  std::string bytes;
  if (rtf) {
    // The editor's way: the text is pasted, sorted, and the document saved.
    std::ostringstream quiet;
    CliHost host(quiet, quiet, CliHost::Options{tibetan, {}, u"Ededris", false});
    InsertUnicodeText(host.editor(), text, false);
    sorting::EngineSortHost sortHost(host, false);
    const sorting::SortOutcome outcome = sorting::SortTibetanLines(sortHost, tables);
    sortedLines = outcome.sortedLines;
    redLines = outcome.unrankableLines;
    emptyLines = outcome.emptyLines;
    bytes = host.editor().rtf();
  } else {
    sorting::SortedText sorted = sorting::sortText(text, tables);
    text.clear();
    sortedLines = sorted.sortedLines;
    redLines = sorted.unrankableLines;
    emptyLines = sorted.emptyLines;
    std::u16string result = std::move(sorted.sorted);
    result += sorted.unrankable;
    bytes = encode(crlf ? result : toLf(result), decoded.encoding);
  }
  if (const int status = writeOutput(output, bytes, out, err); status != 0) return status;
  say(sorting::kSortDoneMessage);
  info << "sorted " << sortedLines << " line" << (sortedLines == 1 ? "" : "s") << ", " << redLines
       << " unrankable (after the sorted lines" << (rtf ? ", in red" : "") << "), " << emptyLines
       << " empty line" << (emptyLines == 1 ? "" : "s") << " dropped\n";
  return 0;
}

}  // namespace yig::cli
