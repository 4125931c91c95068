#include <ostream>

#include "cli/commands.h"

namespace yig::cli {

int runDetect(const Args&, std::ostream&, std::ostream& err) {
  err << "yigsgyur detect: not available yet\n";
  return 2;
}

}  // namespace yig::cli
