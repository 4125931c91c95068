#include <ostream>

#include "cli/commands.h"

namespace yig::cli {

int runConvert(const Args&, std::ostream&, std::ostream& err) {
  err << "yigsgyur convert: not available yet\n";
  return 2;
}

}  // namespace yig::cli
