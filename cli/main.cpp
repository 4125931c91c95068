#include <iostream>

#include "cli/cli_io.h"
#include "cli/commands.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  // Messages name files; a name may hold terminal control sequences.
  yig::cli::ControlEscapingBuffer messages(std::cerr.rdbuf());
  std::streambuf* const terminal = std::cerr.rdbuf(&messages);
  struct Restore {
    std::streambuf* buffer;
    ~Restore() { std::cerr.rdbuf(buffer); }
  } restore{terminal};
  yig::cli::Args args(argv + 1, argv + argc);
  return yig::cli::run(args, std::cout, std::cerr);
}
