#pragma once
// The word-processor route: LibreOffice run headless converts Word, web-page
// and XML documents to RTF for opening, and RTF to those formats for saving.
// Every job runs in a private temporary folder (0700, its files 0600) with its
// own LibreOffice user profile (concurrent jobs sharing a profile lose work),
// under `timeout -k` (a LibreOffice stuck at start-up ignores SIGTERM), and is
// judged by the output file it leaves, because LibreOffice exits with status 0
// on failure.
//
// Documents are untrusted: they name images, style sheets, frames and files
// to fetch, and may carry macros. LibreOffice therefore runs in a bubblewrap
// sandbox with no network, read-only system folders and nothing writable but
// its job folder; where user namespaces are unavailable it runs under
// `unshare --net` (network cut off, files visible), and says so. Its fresh
// profile never updates links and never runs macros.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace yig::docs {

/// The install hint shown when LibreOffice is missing.
inline constexpr std::string_view kOfficeInstallHint = "sudo apt-get install libreoffice-writer-nogui";

/// How LibreOffice is confined.
enum class OfficeSandbox {
  Bubblewrap,   ///< own namespaces: no network, read-only system folders, only the job folder writable
  NetworkOnly,  ///< `unshare --net`: no network, but the file system is seen as it is
  None,         ///< neither could run: only the profile's settings protect
};

struct OfficeSettings {
  std::string program;       ///< soffice to run; empty = look for "soffice" on PATH and in the usual places
  int timeoutSeconds = 120;  ///< SIGTERM after this long, SIGKILL 10 s later
  bool sandbox = true;       ///< false: run LibreOffice as it is (only the profile's settings protect)
  /// Told once per process when LibreOffice runs less confined than in
  /// bubblewrap; empty = written to standard error.
  std::function<void(const std::string&)> warn;
};

/// The confinement LibreOffice gets here (probed once per process), and a
/// sentence saying why when it is not bubblewrap.
struct SandboxProbe {
  OfficeSandbox kind = OfficeSandbox::None;
  std::string reason;
};
SandboxProbe officeSandbox();

/// The settings written into every fresh LibreOffice profile
/// (registrymodifications.xcu): macros never run, links are never updated,
/// linked images of untrusted documents are blocked.
std::string_view officeProfileSettings();

/// Prefix of the job folders in the temporary folder; those of this user
/// whose process is gone are removed when the first job of a process starts.
inline constexpr std::string_view kOfficeJobPrefix = "yigsgyur-office-";

/// Settings used by every job (tests point `program` at a missing file).
OfficeSettings& officeSettings();

/// The soffice program that would run, or nothing when none is installed.
std::optional<std::string> findOffice();

struct OfficeResult {
  std::string bytes;  ///< the converted file
  std::string error;  ///< empty on success: what failed, in one or two lines
  bool missing = false;  ///< LibreOffice is not installed
  std::string package;   ///< rtfThroughOffice of a .doc: the .docx LibreOffice made of it on the way
  bool ok() const { return error.empty(); }
};

/// Converts `input` (its ending tells LibreOffice the format) with
/// `--convert-to <convertTo>`, e.g. "rtf:Rich Text Format" or "doc:MS Word 97";
/// `outputExtension` is the ending LibreOffice gives the result ("rtf", "doc").
OfficeResult convertWithOffice(const std::string& input, std::string_view convertTo, std::string_view outputExtension);

/// The same for a document held in memory: written to a private file named
/// "document.<inputExtension>" first.
OfficeResult convertBytesWithOffice(std::string_view bytes, std::string_view inputExtension, std::string_view convertTo,
                                    std::string_view outputExtension);

/// A word-processor document read by LibreOffice and written as RTF. A .doc
/// goes through .docx first: LibreOffice's RTF of a .doc reads back without the
/// first letter of a footnote, its RTF of the same document as .docx does not.
OfficeResult rtfThroughOffice(const std::string& path);

/// A web archive (.mht, .mhtml) reduced to its HTML page: the first text/html
/// part, its quoted-printable or base64 transfer encoding undone. When the part
/// names a charset that the page does not declare, a declaration is added.
/// Nothing when the archive holds no HTML part.
std::optional<std::string> extractHtmlFromMht(std::string_view mht);

/// A private copy of canonical RTF for LibreOffice: after every "\fN" and
/// "\fsN" in the body the associated (complex-script) font and size are set
/// too, "\rtlch\afN\ltrch" and "\rtlch\afsN\ltrch", since LibreOffice picks
/// the font of Tibetan runs by the associated font.
std::string addAssociatedFonts(std::string_view rtf);

/// RTF written by LibreOffice names the font of complex-script runs, Tibetan
/// among them, by the associated font (\rtlch\afN) and often leaves \fN at a
/// Western font. This copy puts every run of Tibetan characters into a group
/// of its own that switches \f to the associated font, so a reader that goes
/// by \f alone shows the Tibetan in the font the document gives it.
std::string useAssociatedFontsForTibetan(std::string_view rtf);

/// Decoders of the two MIME transfer encodings.
std::string decodeQuotedPrintable(std::string_view text);
std::string decodeBase64(std::string_view text);

}  // namespace yig::docs
