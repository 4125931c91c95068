#include <ostream>

#include "cli/commands.h"

namespace yig::cli {

int runText2Rtf(const Args&, std::ostream&, std::ostream& err) {
  err << "yigsgyur text2rtf: not available yet\n";
  return 2;
}

}  // namespace yig::cli
