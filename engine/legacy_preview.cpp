#include "engine/legacy_preview.h"

#include <algorithm>

#include "engine/convert_core.h"

namespace yig {

std::vector<LegacyFonts> legacyFontsIn(const rt::Document& document) {
  std::vector<LegacyFonts> found;
  const rt::CharFormat* last = nullptr;
  for (const rt::Document::Run& run : document.runs()) {
    if (run.format == last) continue;
    last = run.format;
    const std::u16string& name = run.format->font.name;
    const std::optional<Encoding> encoding = encodingOfFontName(name);
    if (!encoding || *encoding == Encoding::HIMA) continue;
    auto entry = std::find_if(found.begin(), found.end(), [&](const LegacyFonts& f) { return f.encoding == *encoding; });
    if (entry == found.end()) entry = found.insert(found.end(), LegacyFonts{*encoding, {}});
    if (std::find(entry->fontNames.begin(), entry->fontNames.end(), name) == entry->fontNames.end())
      entry->fontNames.push_back(name);
  }
  std::sort(found.begin(), found.end(), [](const LegacyFonts& a, const LegacyFonts& b) { return a.encoding < b.encoding; });
  return found;
}

std::optional<rt::Document> unicodePreview(const rt::Document& document, const std::function<bool()>& cancelled) {
  const std::vector<LegacyFonts> legacy = legacyFontsIn(document);
  if (legacy.empty()) return std::nullopt;
  // One pass of the converter per encoding found: each pass converts only the
  // runs in its own fonts and copies the rest.
  std::string rtf = document.rtf();
  conv::Callbacks callbacks;
  callbacks.cancelled = cancelled;
  for (const LegacyFonts& entry : legacy) {
    std::string out;
    const conv::Result result = conv::convert(rtf, entry.encoding, Encoding::HIMA, conv::Options{}, out, callbacks);
    if (result.status == conv::Status::Cancelled) return std::nullopt;
    if (result.ok()) rtf.swap(out);
  }
  rt::Document preview;
  if (!preview.setRtf(rtf).ok) return std::nullopt;
  return preview;
}

}  // namespace yig
