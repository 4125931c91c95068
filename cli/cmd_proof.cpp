#include <ostream>

#include "cli/commands.h"

namespace yig::cli {

int runProof(const Args&, std::ostream&, std::ostream& err) {
  err << "yigsgyur proof: not available yet\n";
  return 2;
}

}  // namespace yig::cli
