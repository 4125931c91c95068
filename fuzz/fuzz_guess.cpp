// Fuzzes the Tibetan-encoding guess on arbitrary UTF-16 text, alone and
// applied to an editor holding that text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "documents/encoding_guess.h"
#include "documents/recording_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text(size / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  const auto guess = yig::docs::guessEncoding(text);
  // Only the first 500 characters count.
  if (guess != yig::docs::guessEncoding(std::u16string_view(text).substr(0, yig::docs::kGuessPrefixLength))) std::abort();

  yig::docs::RecordingHost host;
  host.editor().setText(text);
  const auto applied = yig::docs::GuessTibetanEncoding(host, text);
  if (applied != guess) std::abort();
  if (guess && (host.fontBoxText != guess->fontName || host.sourceIndex != guess->sourceIndex)) std::abort();
  if (!guess && host.sourceIndex) std::abort();
  return 0;
}
