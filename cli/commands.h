#pragma once
// The subcommands of the `yigsgyur` tool. Each lives in its own cmd_<name>.cpp,
// reads its arguments from `args` (the words after the subcommand's name), writes
// to `out`/`err`, and returns the process exit status.
#include <iosfwd>
#include <string>
#include <vector>

namespace yig::cli {

using Args = std::vector<std::string>;

int runText2Rtf(const Args& args, std::ostream& out, std::ostream& err);
int runConvert(const Args& args, std::ostream& out, std::ostream& err);
int runOpen(const Args& args, std::ostream& out, std::ostream& err);
int runDetect(const Args& args, std::ostream& out, std::ostream& err);
int runProof(const Args& args, std::ostream& out, std::ostream& err);
int runSave(const Args& args, std::ostream& out, std::ostream& err);
int runSort(const Args& args, std::ostream& out, std::ostream& err);

/// Runs the tool with the full argument list (without the program name).
int run(const Args& args, std::ostream& out, std::ostream& err);

}  // namespace yig::cli
