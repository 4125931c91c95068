#include <iostream>

#include "cli/cli_io.h"
#include "cli/commands.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  yig::cli::Args args = yig::platform::prepareProcess(argc, argv);
  std::ios::sync_with_stdio(false);
  // Messages name files; a name may hold terminal control sequences.
  yig::cli::ControlEscapingBuffer messages(std::cerr.rdbuf());
  std::streambuf* const terminal = std::cerr.rdbuf(&messages);
  struct Restore {
    std::streambuf* buffer;
    ~Restore() { std::cerr.rdbuf(buffer); }
  } restore{terminal};
  return yig::cli::run(args, std::cout, std::cerr);
}
