#include <ostream>

#include "cli/commands.h"

namespace yig::cli {

int runSort(const Args&, std::ostream&, std::ostream& err) {
  err << "yigsgyur sort: not available yet\n";
  return 2;
}

}  // namespace yig::cli
