// yigsgyur save IN -o OUT: writes a document in the format OUT's ending names,
// as the save command's six types do.
#include <ostream>
#include <string>

#include "cli/cli_host.h"
#include "cli/cli_io.h"
#include "cli/commands.h"
#include "documents/file_io.h"
#include "documents/office_bridge.h"
#include "documents/open_document.h"
#include "documents/rtf_route.h"
#include "documents/save_document.h"

namespace yig::cli {
namespace {

constexpr std::string_view kSaveUsage =
    "usage: yigsgyur save IN -o OUT [--ansi] [--keep-commands]\n"
    "\n"
    "Opens IN (any document `yigsgyur open` reads) and writes it in the format\n"
    "OUT's ending names:\n"
    "  .doc            Word 97-2003 (through LibreOffice)\n"
    "  .docx           Word (through LibreOffice)\n"
    "  .rtf            RTF\n"
    "  .htm .html .mht web page, HTML (through LibreOffice)\n"
    "  .xml            Word 2003 XML (through LibreOffice)\n"
    "  anything else   Unicode text: FF FE and UTF-16LE, CR LF line ends;\n"
    "                  with --ansi, text in code page 936 (characters it lacks become \"?\")\n"
    "OUT is replaced only once it has been written completely; OUT \"-\" writes text\n"
    "to standard output, IN \"-\" reads standard input (RTF or text). \"--\" ends the options.\n"
    "Exit status: 0 saved, 2 error.\n";

}  // namespace

int runSave(const Args& args, std::ostream& out, std::ostream& err) {
  std::string input, output;
  bool ansi = false, keepCommands = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsEnded && a == "--") {
      optionsEnded = true;
    } else if (optionsEnded) {
      if (!input.empty()) {
        err << "yigsgyur save: more than one input file\n" << kSaveUsage;
        return 2;
      }
      input = a;
    } else if (a == "--help" || a == "-h") {
      out << kSaveUsage;
      return 0;
    } else if (a == "-o" || a == "--output") {
      if (i + 1 >= args.size()) {
        err << "yigsgyur save: option -o needs a file name\n" << kSaveUsage;
        return 2;
      }
      output = args[++i];
    } else if (a == "--ansi") {
      ansi = true;
    } else if (a == "--keep-commands") {
      keepCommands = true;
    } else if (a.size() > 1 && a[0] == '-') {
      err << "yigsgyur save: unknown option " << docs::quotedName(a) << "\n" << kSaveUsage;
      return 2;
    } else if (input.empty()) {
      input = a;
    } else {
      err << "yigsgyur save: more than one input file\n" << kSaveUsage;
      return 2;
    }
  }
  if (input.empty() || output.empty()) {
    err << "yigsgyur save: " << (input.empty() ? "missing input file" : "missing -o OUT") << '\n' << kSaveUsage;
    return 2;
  }
  if (refuseSameFile("save", input, output, err)) return 2;
  StandardStreams streams;
  std::string error;
  if (input == "-" && (input = streams.spoolInput("", error)).empty()) {
    err << "yigsgyur save: " << error << '\n';
    return 2;
  }
  const bool toStandardOutput = output == "-";
  const std::string target = toStandardOutput ? streams.outputFile(ansi ? ".ansi" : ".txt") : output;

  // The document as RTF bytes (an RTF file as it stands, Word and web documents as
  // LibreOffice writes them), so that saving it in another format keeps all of it.
  const docs::RtfBytes opened = docs::openAsRtf(input, keepCommands ? "11" : "12");
  if (!opened.ok()) {
    err << "yigsgyur save: " << escapeControls(opened.error) << '\n';
    return 2;
  }
  const docs::SaveOutcome saved = docs::saveRtfAs(opened.bytes, target, docs::formatForPath(output, ansi));
  if (!saved.ok()) {
    err << "yigsgyur save: " << toUtf8(docs::kSaveFailed) << ' ' << escapeControls(saved.error) << '\n';
    if (saved.officeMissing) err << "yigsgyur save: install LibreOffice with: " << docs::kOfficeInstallHint << '\n';
    return 2;
  }
  if (toStandardOutput) {
    if (StandardStreams::copyToOutput(saved.writtenPath, out, error)) return 0;
    err << "yigsgyur save: " << error << '\n';
    return 2;
  }
  out << shown(saved.writtenPath) << '\n';
  return 0;
}

}  // namespace yig::cli
