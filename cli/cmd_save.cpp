#include <ostream>

#include "cli/commands.h"

namespace yig::cli {

int runSave(const Args&, std::ostream&, std::ostream& err) {
  err << "yigsgyur save: not available yet\n";
  return 2;
}

}  // namespace yig::cli
