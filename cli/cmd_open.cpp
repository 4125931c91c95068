#include <ostream>

#include "cli/commands.h"

namespace yig::cli {

int runOpen(const Args&, std::ostream&, std::ostream& err) {
  err << "yigsgyur open: not available yet\n";
  return 2;
}

}  // namespace yig::cli
