// yigsgyur detect FILE: tells the kind of a document and guesses the Tibetan
// encoding of its text, or says that it is a typesetting proof file.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_host.h"
#include "cli/cli_io.h"
#include "cli/commands.h"
#include "documents/encoding_guess.h"
#include "documents/file_io.h"
#include "documents/open_document.h"
#include "documents/package_route.h"
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
    "(HIMA, HKA, HG, FZ, TY, BZD) and the font chosen for it; for a Word or OpenDocument\n"
    "text also the encodings each text part holds (\"part word/document.xml: BZD\"). A typesetting proof\n"
    "file is named as such, with the kind of proof its text suggests. FILE \"-\" reads\n"
    "standard input (RTF or text).\n"
    "Exit status: 0 read, 2 error.\n";

// Which encodings each text part of a package holds, by the fonts of its runs.
void listParts(std::ostream& out, const std::vector<docs::docx::PartEncodings>& parts) {
  for (const auto& part : parts) {
    if (part.encodings.empty()) continue;
    out << "part " << part.part << ":";
    for (const Encoding e : part.encodings) out << ' ' << toUtf8(info(e).code);
    out << '\n';
  }
}

// What a package's text parts tell: the encoding whose fonts draw the most characters.
void printPackageGuess(std::ostream& out, std::string_view kind, const std::vector<docs::docx::PartEncodings>& parts) {
  out << "kind: " << kind << '\n';
  if (const std::optional<Encoding> e = docs::mostUsedEncoding(parts)) {
    out << "encoding: " << toUtf8(info(*e).code) << '\n' << "font: " << toUtf8(info(*e).targetFontName) << '\n';
  } else {
    out << "encoding: not decided\n";
  }
  listParts(out, parts);
}

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

  // A package's text parts are read as they stand. OpenDocument text is told
  // by them alone; a Word package when its fonts decide, and otherwise (or a
  // binary .doc) LibreOffice reads it so that its text can be guessed too.
  const auto package = docs::packageRoute(input, input);
  std::vector<docs::docx::PartEncodings> parts;
  if (package) {
    const FileBytes file = readFile(input);
    std::string error = file.error;
    if (file.ok()) parts = docs::packageEncodings(*package, file.bytes, error);
    if (*package != docs::PackageKind::Word) {
      if (!error.empty()) {
        err << "yigsgyur detect: " << shown(input) << ": " << error << '\n';
        return 2;
      }
      printPackageGuess(out, "OpenDocument", parts);
      return 0;
    }
    if (docs::mostUsedEncoding(parts)) {
      printPackageGuess(out, toUtf8(TranslateForDisplay(docs::kWordProcessorStatus, tibetan)), parts);
      return 0;
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
    // RTF and word-processor documents are not guessed when opened: their
    // fonts tell the encoding, failing that their text.
    if (!outcome.kind) {
      guess = docs::guessEncodingFromFonts(host.editor());
      if (!guess) guess = docs::guessEncoding(host.editor().plainText());
    }
  }
  if (guess) {
    out << "encoding: " << toUtf8(guess->code) << '\n' << "font: " << toUtf8(guess->fontName) << '\n';
  } else {
    out << "encoding: not decided\n";
  }
  listParts(out, parts);
  return 0;
}

}  // namespace yig::cli
