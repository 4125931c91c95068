// Fuzzes the plain-text reader end to end (kind detection, decoding, the
// proof-file signature, text to RTF, the encoding guess) and the readers and
// rewriters of the word-processor route (web archives, Word 2003 XML, RTF).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "documents/office_bridge.h"
#include "documents/open_document.h"
#include "documents/recording_host.h"
#include "documents/word_xml.h"

namespace {

const std::string& scratchFile() {
  static const std::string path = [] {
    char name[] = "/tmp/yig-fuzz-text-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0) std::abort();
    ::close(fd);
    return std::string(name);
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 16)) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  std::FILE* f = std::fopen(scratchFile().c_str(), "wb");
  if (!f) return 0;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);

  yig::docs::RecordingHost host(false, (size & 1) ? yig::docs::ProofChoice::KeepCommands
                                                  : yig::docs::ProofChoice::DropCommands);
  host.editor().setText(u"before");
  const yig::docs::OpenOutcome outcome = yig::docs::LoadTextFile(host, scratchFile());
  if (!outcome.ok() && host.editor().plainText() != u"before") std::abort();  // a failure must change nothing
  (void)host.editor().rtf();

  (void)yig::docs::extractHtmlFromMht(bytes);
  if (auto xml = yig::docs::readWordXml(bytes)) (void)xml->rtf();
  const std::string rewritten = yig::docs::useAssociatedFontsForTibetan(bytes);
  (void)yig::docs::addAssociatedFonts(bytes);
  yig::rt::Document document;
  (void)document.setRtf(rewritten);
  return 0;
}
