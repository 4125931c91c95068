#pragma once
// Word and OpenDocument files converted from file to file in their own XML:
// which pairs of names take this route, guessing the source encoding from
// the fonts of a package's runs, and the bytes the output name receives. A
// binary Word document (.doc) is turned into a package by LibreOffice first,
// and the result back into .doc only when the output name ends in .doc.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "documents/docx_convert.h"

namespace yig::docs {

enum class PackageKind { Word, OpenDocument, FlatOpenDocument };

/// The kind of package converting `in` into `out` keeps the document in:
/// Word to Word (a .doc input only to .doc or .docx), .odt to .odt, .fodt to
/// .fodt; nothing when the conversion goes another way (through RTF).
std::optional<PackageKind> packageRoute(std::string_view in, std::string_view out);

/// True for names ending in .doc (any letter case): binary Word documents,
/// which only LibreOffice reads and writes.
bool isDocName(std::string_view path);

/// The filters LibreOffice writes a binary Word document's package, and a
/// binary Word document of a package, with.
inline constexpr std::string_view kOfficeDocxFilter = "docx:MS Word 2007 XML";
inline constexpr std::string_view kOfficeDocFilter = "doc:MS Word 97";

/// Converts the package `bytes` of `kind` from `from` to `to` into `out`.
docx::Outcome convertPackage(PackageKind kind, std::string_view bytes, Encoding from, Encoding to,
                             const conv::Options& options, std::string& out);

/// The encodings of each text part of a package of `kind`.
std::vector<docx::PartEncodings> packageEncodings(PackageKind kind, std::string_view bytes, std::string& error);

/// The encoding whose fonts draw the most characters of the parts; nothing
/// when no font of a Tibetan encoding draws any.
std::optional<Encoding> mostUsedEncoding(const std::vector<docx::PartEncodings>& parts);

struct PackageConversion {
  std::string error;               ///< empty when `bytes` is the output to write
  bool officeMissing = false;      ///< a .doc needed LibreOffice, which is not installed
  std::optional<Encoding> source;  ///< the source encoding, given or guessed
  bool alreadyTarget = false;      ///< guessed to be in the target encoding: `bytes` is the document as read
  docx::Outcome outcome;           ///< what the conversion did (changedParts empty: nothing of the source)
  std::string bytes;
  bool ok() const { return error.empty(); }
};

/// Converts the file `in` into the bytes of `out`, for which packageRoute
/// gives a kind. Without `from` the source is the encoding whose fonts draw
/// the most characters. A .doc is read, or written, through LibreOffice.
PackageConversion convertPackageFile(const std::string& in, const std::string& out, std::optional<Encoding> from,
                                     Encoding to, const conv::Options& options);

}  // namespace yig::docs
