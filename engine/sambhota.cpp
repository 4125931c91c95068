// Sambhota conversions (placeholder until they are written).
#include "engine/conversion_engine.h"

namespace yig {

void ConversionEngine::WJZH_SAM_HIMA(std::string& zz) { zz.clear(); }
void ConversionEngine::WJZH_HIMA_SAM(std::string& zz) { zz.clear(); }
void ConversionEngine::WJZH_SAM_QT(std::string& zz, std::u16string) { zz.clear(); }
void ConversionEngine::WJZH_QT_SAM(std::string& zz, std::u16string) { zz.clear(); }

}  // namespace yig
