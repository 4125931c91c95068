// yigsgyur detect FILE: tells the kind of a document and guesses the Tibetan
// encoding of its text, or says that it is a typesetting proof file.
#include <ostream>
#include <string>

#include "cli/cli_host.h"
#include "cli/cli_io.h"
#include "cli/commands.h"
#include "documents/docx_convert.h"
#include "documents/encoding_guess.h"
#include "documents/file_io.h"
#include "documents/open_document.h"
#include "documents/proof_file.h"
#include "documents/recording_host.h"
#include "documents/text_decoding.h"
#include "engine/message_map.h"

namespace yig::cli {
namespace {

constexpr std::string_view kDetectUsage =
    "usage: yigsgyur detect FILE [--lang zh|bo]\n"
    "\n"
    "Prints the kind of FILE as the status line shows it (\"Unicode文件\", \"UTF-8文件\",\n"
    "\"普通txt文件\", \"RTF格式文件\", \"DOC文件\"), the guessed Tibetan encoding\n"
    "(HIMA, HKA, HG, FZ, TY, BZD) and the font chosen for it; for a Word package also\n"
    "the encodings each text part holds (\"part word/document.xml: BZD\"). A typesetting proof\n"
    "file is named as such, with the kind of proof its text suggests. FILE \"-\" reads\n"
    "standard input (RTF or text).\n"
    "Exit status: 0 read, 2 error.\n";

}  // namespace

int runDetect(const Args& args, std::ostream& out, std::ostream& err) {
  std::string input;
  bool tibetan = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsEnded && a == "--") {
      optionsEnded = true;
    } else if (optionsEnded) {
      if (!input.empty()) {
        err << "yigsgyur detect: more than one input file\n" << kDetectUsage;
        return 2;
      }
      input = a;
    } else if (a == "--help" || a == "-h") {
      out << kDetectUsage;
      return 0;
    } else if (a == "--lang") {
      if (i + 1 >= args.size() || (args[i + 1] != "zh" && args[i + 1] != "bo")) {
        err << "yigsgyur detect: option --lang takes zh or bo\n";
        return 2;
      }
      tibetan = args[++i] == "bo";
    } else if (a.size() > 1 && a[0] == '-') {
      err << "yigsgyur detect: unknown option '" << shown(a) << "'\n" << kDetectUsage;
      return 2;
    } else if (input.empty()) {
      input = a;
    } else {
      err << "yigsgyur detect: more than one input file\n" << kDetectUsage;
      return 2;
    }
  }
  if (input.empty()) {
    err << "yigsgyur detect: missing input file\n" << kDetectUsage;
    return 2;
  }
  StandardStreams streams;
  if (input == "-") {
    std::string error;
    input = streams.spoolInput("", error);
    if (input.empty()) {
      err << "yigsgyur detect: " << error << '\n';
      return 2;
    }
  }

  docs::RecordingHost host(tibetan, docs::ProofChoice::DropCommands);
  const docs::OpenOutcome outcome = docs::OpenDocument(host, input);
  for (const auto& message : host.messages) {
    std::string line = toUtf8(message);
    for (std::size_t at = line.find('\n'); at != std::string::npos; at = line.find('\n', at + 3)) line.replace(at, 1, "\n  ");
    err << "yigsgyur detect: " << line << '\n';
  }
  if (!outcome.ok()) {
    if (host.messages.empty()) err << "yigsgyur detect: " << outcome.error << '\n';
    return 2;
  }
  std::optional<docs::EncodingGuess> guess = outcome.guess;
  if (outcome.result == docs::OpenOutcome::Result::ProofImported) {
    out << "kind: " << toUtf8(TranslateForDisplay(docs::kProofPromptCaption, tibetan)) << '\n';
    out << "proof: " << toUtf8(host.statusCaption) << '\n';
  } else {
    out << "kind: " << toUtf8(host.statusCaption) << '\n';
    // RTF and word-processor documents are not guessed when opened; their text is.
    if (!outcome.kind) guess = docs::guessEncoding(host.editor().plainText());
  }
  if (guess) {
    out << "encoding: " << toUtf8(guess->code) << '\n' << "font: " << toUtf8(guess->fontName) << '\n';
  } else {
    out << "encoding: not decided\n";
  }
  if (docs::docx::isDocxName(input)) {
    // Which encodings each text part of a Word package holds, by the fonts of its runs.
    const FileBytes file = readFile(input);
    std::string error;
    if (file.ok()) {
      for (const auto& part : docs::docx::docxEncodings(file.bytes, error)) {
        if (part.encodings.empty()) continue;
        out << "part " << part.part << ":";
        for (const Encoding e : part.encodings) out << ' ' << toUtf8(info(e).code);
        out << '\n';
      }
    }
  }
  return 0;
}

}  // namespace yig::cli
