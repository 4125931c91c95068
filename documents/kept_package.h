#pragma once
// The package of a Word or OpenDocument file the desktop program opened, kept
// beside the editor's document. The editor shows the document as LibreOffice
// reads it; converting the whole document converts the package too, in its own
// XML, and a save while the editor still holds exactly the document that came
// with the package writes the package — every part other than the converted
// text as it was stored — instead of asking LibreOffice to make one of the
// editor's RTF.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "documents/package_route.h"
#include "documents/save_document.h"
#include "richtext/document.h"

namespace yig::docs {

class DocumentHost;

struct KeptPackage {
  PackageKind kind = PackageKind::Word;
  std::string source;             ///< the file it came from: its ending decides which names it is saved as
  std::string bytes;              ///< the package, or while `binary` the .doc as read
  bool binary = false;            ///< `bytes` are a binary Word document (LibreOffice makes the package when needed)
  std::string made;               ///< while `binary`: the package LibreOffice made of it when it was opened, if kept
  std::uint64_t fingerprint = 0;  ///< of the editor's document that goes with it
};

/// A digest of what a save writes of `document`: its text, formats, paragraph
/// and carried parts. Equal for copies; an edit changes it.
std::uint64_t documentFingerprint(const rt::Document& document);

/// The package of the file at `path` kept for `document`, which was opened
/// from it; nothing when the name is not a Word or OpenDocument document's or
/// the file cannot be read. `made` is what reading a .doc already made of it
/// (OpenOutcome::madePackage): a conversion then needs no LibreOffice.
std::optional<KeptPackage> keepPackage(const std::string& path, const rt::Document& document, std::string made = {});

/// True while `document` is the one that came with `package`.
inline bool inStep(const KeptPackage& package, const rt::Document& document) {
  return package.fingerprint == documentFingerprint(document);
}

/// True when saving as `path` can write `package`: Word as .docx, .docm, .dotx
/// or .doc (one made of a .doc only as .doc or .docx), .odt as .odt, .fodt as .fodt.
bool savesAs(const KeptPackage& package, std::string_view path);

/// Converts `package` from `from` to `to` in its own XML (a binary Word
/// document becomes a package through LibreOffice first, kept in `made`). On
/// failure the outcome's error says why and `package` holds the same document.
docx::Outcome convertKeptPackage(KeptPackage& package, Encoding from, Encoding to, const conv::Options& options);

/// Writes `package` as `path`, for which savesAs holds (through LibreOffice
/// when one kind of Word document is asked for and the other is kept).
/// Nothing is written on failure.
SaveOutcome saveKeptPackage(const KeptPackage& package, const std::string& path);

/// The save command for a kept package: as SaveDocument, the message on a
/// failure included.
SaveOutcome SaveKeptPackage(DocumentHost& host, const KeptPackage& package, const std::string& path);

}  // namespace yig::docs
