#pragma once
// Documents as RTF bytes, for conversions that must keep every part of a
// document: an RTF file is taken as it stands, Word, web and XML documents as
// LibreOffice writes them in RTF, and only text and proof files (which have no
// structure to keep) go through the editor's model. Saving writes RTF as it
// stands, or hands it to LibreOffice for the other formats.
#include <string>
#include <string_view>

#include "documents/save_document.h"
#include "engine/convert_core.h"

namespace yig::docs {

struct RtfBytes {
  std::string bytes;
  std::string error;     ///< empty when the document was read
  bool rtfInput = false;  ///< the file itself is RTF (not made from another format)
  bool ok() const { return error.empty(); }
};

/// True when `bytes` begin (after blanks, line breaks and a UTF-8 signature) with "{\rtf".
bool looksLikeRtf(std::string_view bytes);

/// The document at `path` as RTF.
RtfBytes openAsRtf(const std::string& path, std::string_view proofMode = "12", bool tibetan = false);

/// Writes RTF bytes to `path` in `format`: RTF as it stands; Word, web page and
/// XML through LibreOffice; text through the editor's model.
SaveOutcome saveRtfAs(std::string_view rtf, const std::string& path, SaveFormat format);

/// What converting a file chunk by chunk did.
struct FileConversion {
  conv::Result result;  ///< the conversion's outcome (when the files could be read and written)
  std::string error;    ///< why a file could not be read or written; empty otherwise
  bool ok() const { return error.empty() && result.ok(); }
};

/// Converts the RTF file `in` into `out` a chunk at a time, so that memory stays
/// bounded whatever the document's size. `out` appears only when the whole
/// document has been converted; otherwise nothing is written.
FileConversion convertRtfFile(const std::string& in, const std::string& out, Encoding from, Encoding to,
                              conv::Options options, const conv::Callbacks& callbacks = {});

}  // namespace yig::docs
