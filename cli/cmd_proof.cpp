// yigsgyur proof FILE -o OUT.txt: turns a typesetting proof file into plain
// text, with or without its bracketed typesetting commands.
#include <ostream>
#include <string>

#include "cli/cli_host.h"
#include "cli/cli_io.h"
#include "cli/commands.h"
#include "engine/codec/cp936.h"
#include "documents/file_io.h"
#include "documents/proof_file.h"
#include "documents/recording_host.h"
#include "documents/text_decoding.h"

namespace yig::cli {
namespace {

constexpr std::string_view kProofUsage =
    "usage: yigsgyur proof FILE -o OUT.txt [--keep-commands] [--ansi] [--lang zh|bo]\n"
    "\n"
    "Turns a Huaguang or Fangzheng typesetting proof file into plain text: the\n"
    "typesetting codes are removed or rewritten, and the commands between 〖 and 〗\n"
    "are dropped unless --keep-commands is given. OUT.txt is written as UTF-8, or\n"
    "in code page 936 with --ansi. Prints the kind of proof and the guessed encoding.\n"
    "Exit status: 0 converted, 2 error.\n";

}  // namespace

int runProof(const Args& args, std::ostream& out, std::ostream& err) {
  std::string input, output;
  bool keepCommands = false, ansi = false, tibetan = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsEnded && a == "--") {
      optionsEnded = true;
    } else if (optionsEnded) {
      if (!input.empty()) {
        err << "yigsgyur proof: more than one input file\n" << kProofUsage;
        return 2;
      }
      input = a;
    } else if (a == "--help" || a == "-h") {
      out << kProofUsage;
      return 0;
    } else if (a == "-o" || a == "--output") {
      if (i + 1 >= args.size()) {
        err << "yigsgyur proof: option -o needs a file name\n" << kProofUsage;
        return 2;
      }
      output = args[++i];
    } else if (a == "--keep-commands") {
      keepCommands = true;
    } else if (a == "--ansi") {
      ansi = true;
    } else if (a == "--lang") {
      if (i + 1 >= args.size() || (args[i + 1] != "zh" && args[i + 1] != "bo")) {
        err << "yigsgyur proof: option --lang takes zh or bo\n";
        return 2;
      }
      tibetan = args[++i] == "bo";
    } else if (a.size() > 1 && a[0] == '-') {
      err << "yigsgyur proof: unknown option " << docs::quotedName(a) << "\n" << kProofUsage;
      return 2;
    } else if (input.empty()) {
      input = a;
    } else {
      err << "yigsgyur proof: more than one input file\n" << kProofUsage;
      return 2;
    }
  }
  if (input.empty() || output.empty()) {
    err << "yigsgyur proof: " << (input.empty() ? "missing input file" : "missing -o OUT.txt") << '\n' << kProofUsage;
    return 2;
  }
  if (refuseSameFile("proof", input, output, err)) return 2;

  const docs::FileRead file = docs::readWholeFile(input);
  if (!file.ok()) {
    err << "yigsgyur proof: " << file.error << '\n';
    return 2;
  }
  if (!docs::findProofSignature(file.bytes)) {
    err << "yigsgyur proof: note: " << docs::quotedName(input) << " has no proof-file signature (80 86) in its first 502 bytes\n";
  }
  docs::RecordingHost host(tibetan);
  host.setOpenedFileName(input);
  host.setProofMode(std::string(keepCommands ? docs::kProofKeepCommands : docs::kProofDropCommands));
  if (!docs::ConvertProofFile(host)) {
    for (const auto& message : host.messages) err << "yigsgyur proof: " << toUtf8(message) << '\n';
    return 2;
  }
  const std::u16string text = host.editor().plainText();
  const std::string bytes = ansi ? cp936::encode(text) : docs::encodeUtf8(text);
  const std::string error = docs::writeFileAtomically(output, bytes);
  if (!error.empty()) {
    err << "yigsgyur proof: " << error << '\n';
    return 2;
  }
  out << toUtf8(host.statusCaption) << '\n';
  if (host.sourceIndex) {
    out << "encoding: " << toUtf8(host.sourceCode) << '\n' << "font: " << toUtf8(host.fontBoxText) << '\n';
  } else {
    out << "encoding: not decided\n";
  }
  return 0;
}

}  // namespace yig::cli
