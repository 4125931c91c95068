#include <iostream>

#include "cli/commands.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  yig::cli::Args args(argv + 1, argv + argc);
  return yig::cli::run(args, std::cout, std::cerr);
}
