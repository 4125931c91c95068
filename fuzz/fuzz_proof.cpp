// Fuzzes the proof-file filter and decoder in both modes. The filter never
// grows the text: every rule keeps, drops, or replaces a pair by two bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "documents/proof_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string keep = yig::docs::filterProofBytes(bytes, "11");
  const std::string drop = yig::docs::filterProofBytes(bytes, "12");
  if (keep.size() > bytes.size() || drop.size() > bytes.size()) std::abort();
  const std::u16string text = yig::docs::decodeProofText(drop);
  if (text.size() > drop.size()) std::abort();
  (void)yig::docs::proofFileText(bytes, "");
  return 0;
}
