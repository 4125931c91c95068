#include <exception>
#include <new>
#include <ostream>
#include <string_view>

#include "cli/commands.h"

namespace yig::cli {
namespace {

struct Command {
  std::string_view name;
  int (*run)(const Args&, std::ostream&, std::ostream&);
  std::string_view summary;
};

constexpr Command kCommands[] = {
    {"convert", runConvert, "convert documents between Tibetan encodings"},
    {"text2rtf", runText2Rtf, "turn Unicode text into RTF"},
    {"open", runOpen, "open any supported document and write it as RTF"},
    {"detect", runDetect, "tell a file's kind and guess its Tibetan encoding"},
    {"proof", runProof, "turn a typesetting proof file into plain text"},
    {"save", runSave, "save an RTF document as Word, RTF, web page, XML or text"},
    {"sort", runSort, "sort lines of Unicode Tibetan in dictionary order"},
};

void usage(std::ostream& os) {
  os << "usage: yigsgyur <command> [options]\n\ncommands:\n";
  for (const auto& c : kCommands) os << "  " << c.name << std::string(10 - c.name.size(), ' ') << c.summary << '\n';
  os << "\nyigsgyur <command> --help shows a command's options.\n";
}

}  // namespace

int run(const Args& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    usage(args.empty() ? err : out);
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "--version") {
    out << "yigsgyur " << YIGSGYUR_VERSION << '\n';
    return 0;
  }
  for (const auto& c : kCommands) {
    if (args[0] != c.name) continue;
    // Outputs are written whole or not at all, so a command that fails half-way
    // leaves nothing behind; it only has to say so instead of aborting.
    try {
      return c.run(Args(args.begin() + 1, args.end()), out, err);
    } catch (const std::bad_alloc&) {
      err << "yigsgyur " << c.name << ": out of memory; nothing was written\n";
    } catch (const std::exception& e) {
      err << "yigsgyur " << c.name << ": internal error (" << e.what() << "); nothing was written\n";
    }
    return 2;
  }
  err << "yigsgyur: unknown command '" << args[0] << "'\n";
  usage(err);
  return 2;
}

}  // namespace yig::cli
