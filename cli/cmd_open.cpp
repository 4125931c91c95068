// yigsgyur open FILE -o OUT.rtf: opens any supported document the way the
// open command does (RTF, text in four encodings, proof files, and Word,
// web-page and XML documents through LibreOffice) and writes it as RTF.
#include <ostream>
#include <string>

#include "cli/cli_host.h"
#include "cli/cli_io.h"
#include "cli/commands.h"
#include "documents/file_io.h"
#include "documents/open_document.h"
#include "documents/recording_host.h"
#include "engine/message_map.h"

namespace yig::cli {
namespace {

constexpr std::string_view kOpenUsage =
    "usage: yigsgyur open FILE -o OUT.rtf [--keep-commands] [--lang zh|bo]\n"
    "\n"
    "Opens FILE as the editor would and writes it as RTF. The ending decides the\n"
    "route: .rtf is read directly; .doc, .docx, .xml, .htm, .html, .mht, .mhtml go\n"
    "through LibreOffice; anything else is read as text (UTF-16 with a byte-order\n"
    "mark, UTF-8, or ANSI code page 936) and its Tibetan encoding is guessed.\n"
    "Typesetting proof files are imported without their typesetting commands,\n"
    "or with them when --keep-commands is given.\n"
    "FILE \"-\" reads standard input (RTF or text); OUT \"-\" writes to standard output.\n"
    "Prints the status text and the guessed encoding. Exit status: 0 opened, 2 error.\n";

void printGuess(std::ostream& out, const std::optional<docs::EncodingGuess>& guess) {
  if (guess) {
    out << "encoding: " << toUtf8(guess->code) << '\n' << "font: " << toUtf8(guess->fontName) << '\n';
  } else {
    out << "encoding: not decided\n";
  }
}

}  // namespace

int runOpen(const Args& args, std::ostream& out, std::ostream& err) {
  std::string input, output;
  bool keepCommands = false, tibetan = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsEnded && a == "--") {
      optionsEnded = true;
    } else if (optionsEnded) {
      if (!input.empty()) {
        err << "yigsgyur open: more than one input file\n" << kOpenUsage;
        return 2;
      }
      input = a;
    } else if (a == "--help" || a == "-h") {
      out << kOpenUsage;
      return 0;
    } else if (a == "-o" || a == "--output") {
      if (i + 1 >= args.size()) {
        err << "yigsgyur open: option -o needs a file name\n" << kOpenUsage;
        return 2;
      }
      output = args[++i];
    } else if (a == "--keep-commands") {
      keepCommands = true;
    } else if (a == "--lang") {
      if (i + 1 >= args.size() || (args[i + 1] != "zh" && args[i + 1] != "bo")) {
        err << "yigsgyur open: option --lang takes zh or bo\n";
        return 2;
      }
      tibetan = args[++i] == "bo";
    } else if (a.size() > 1 && a[0] == '-') {
      err << "yigsgyur open: unknown option " << docs::quotedName(a) << "\n" << kOpenUsage;
      return 2;
    } else if (input.empty()) {
      input = a;
    } else {
      err << "yigsgyur open: more than one input file\n" << kOpenUsage;
      return 2;
    }
  }
  if (input.empty() || output.empty()) {
    err << "yigsgyur open: " << (input.empty() ? "missing input file" : "missing -o OUT.rtf") << '\n' << kOpenUsage;
    return 2;
  }
  if (refuseSameFile("open", input, output, err)) return 2;
  StandardStreams streams;
  if (input == "-") {
    std::string error;
    input = streams.spoolInput("", error);
    if (input.empty()) {
      err << "yigsgyur open: " << error << '\n';
      return 2;
    }
  }

  docs::RecordingHost host(tibetan, keepCommands ? docs::ProofChoice::KeepCommands : docs::ProofChoice::DropCommands);
  const docs::OpenOutcome outcome = docs::OpenDocument(host, input);
  for (const auto& message : host.messages) {
    std::string line = toUtf8(message);
    for (std::size_t at = line.find('\n'); at != std::string::npos; at = line.find('\n', at + 3)) line.replace(at, 1, "\n  ");
    err << "yigsgyur open: " << escapeControls(line) << '\n';
  }
  if (!outcome.ok()) {
    if (host.messages.empty()) err << "yigsgyur open: " << escapeControls(outcome.error) << '\n';
    return 2;
  }
  // With the document on standard output, what is said about it goes to `err`.
  std::ostream& info = output == "-" ? err : out;
  if (outcome.result == docs::OpenOutcome::Result::ProofImported) {
    info << toUtf8(TranslateForDisplay(docs::kProofPromptCaption, tibetan)) << '\n';
  }
  info << toUtf8(host.statusCaption) << '\n';
  printGuess(info, outcome.guess);
  if (output == "-") {
    out << host.editor().rtf();
    out.flush();
    if (out) return 0;
    err << "yigsgyur open: cannot write to standard output\n";
    return 2;
  }
  const std::string error = docs::writeFileAtomically(output, host.editor().rtf());
  if (!error.empty()) {
    err << "yigsgyur open: " << error << '\n';
    return 2;
  }
  return 0;
}

}  // namespace yig::cli
