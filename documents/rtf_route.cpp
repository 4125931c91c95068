#include "documents/rtf_route.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "documents/atomic_writer.h"
#include "documents/file_io.h"
#include "documents/office_bridge.h"
#include "documents/open_document.h"
#include "platform/platform.h"
#include "richtext/document.h"

namespace yig::docs {
namespace {

std::string upperEndingOf(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  std::string e(path.substr(dot));
  for (char& c : e) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return e;
}

}  // namespace

bool looksLikeRtf(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  while (!bytes.empty() && (bytes.front() == ' ' || bytes.front() == '\r' || bytes.front() == '\n' ||
                            bytes.front() == '\t')) {
    bytes.remove_prefix(1);
  }
  while (bytes.size() > 1 && bytes[0] == '{' && bytes[1] == '{') bytes.remove_prefix(1);
  return bytes.substr(0, 5) == "{\\rtf";
}

RtfBytes openAsRtf(const std::string& path, std::string_view proofMode, bool tibetan) {
  RtfBytes out;
  const OpenRoute route = routeFor(path);
  const std::string ending = upperEndingOf(path);
  // Word 2003 XML and web archives are read by the editor's own route (LibreOffice
  // drops the run fonts of the first; the second is unpacked first).
  if (route == OpenRoute::WordProcessor && ending != ".XML" && !isWebArchive(path)) {
    OfficeResult converted = rtfThroughOffice(path);
    if (!converted.ok()) {
      out.error = converted.error;
      return out;
    }
    out.bytes = std::move(converted.bytes);
    return out;
  }
  if (route == OpenRoute::Rtf) {
    FileRead file = readWholeFile(path);
    if (!file.ok()) {
      out.error = file.error;
      return out;
    }
    if (file.bytes.empty()) {
      out.error = "'" + path + "' is empty";
      return out;
    }
    if (!looksLikeRtf(file.bytes)) {
      out.error = "'" + path + "' is not an RTF document (it does not begin with {\\rtf)";
      return out;
    }
    out.bytes = std::move(file.bytes);
    out.rtfInput = true;
    return out;
  }
  OpenedDocument opened = openForConversion(path, proofMode, tibetan);
  if (!opened.ok()) {
    out.error = opened.outcome.error;
    return out;
  }
  out.bytes = opened.document.rtf();
  return out;
}

SaveOutcome saveRtfAs(std::string_view rtf, const std::string& path, SaveFormat format) {
  SaveOutcome outcome;
  outcome.writtenPath = path;
  if (!isWritableName(path)) {
    outcome.error = "'" + path + "' is not a file name that can be written";
    return outcome;
  }
  auto throughOffice = [&](std::string_view convertTo, std::string_view extension) {
    // LibreOffice picks the font of Tibetan by the associated font: runs that
    // name only \f get it too.
    OfficeResult converted = convertBytesWithOffice(addAssociatedFonts(rtf), "rtf", convertTo, extension);
    if (!converted.ok()) {
      outcome.error = converted.error;
      outcome.officeMissing = converted.missing;
      return outcome;
    }
    outcome.error = writeFileAtomically(path, converted.bytes);
    return outcome;
  };
  switch (format) {
    case SaveFormat::Rtf:
      outcome.writtenPath = rtfSaveName(path);
      outcome.error = writeFileAtomically(outcome.writtenPath, rtf);
      return outcome;
    case SaveFormat::Word:
      if (upperEndingOf(path) == ".DOC") return throughOffice("doc:MS Word 97", "doc");
      return throughOffice("docx:MS Word 2007 XML", "docx");
    case SaveFormat::WebPage:
      return throughOffice("html:HTML (StarWriter)", "html");
    case SaveFormat::Xml:
      return throughOffice("xml:MS Word 2003 XML", "xml");
    case SaveFormat::UnicodeText:
    case SaveFormat::AnsiText:
      break;
  }
  rt::Document document;
  const rt::ReadResult read = document.setRtf(rtf);
  if (!read.ok) {
    outcome.error = "the converted document could not be read back: " + read.error;
    return outcome;
  }
  return saveDocumentAs(document, path, format);
}

FileConversion convertRtfFile(const std::string& in, const std::string& out, Encoding from, Encoding to,
                              conv::Options options, const conv::Callbacks& callbacks) {
  FileConversion c;
  const int fd = platform::openForReading(in);
  if (fd < 0) {
    c.error = "cannot open '" + in + "': " + std::strerror(errno);
    return c;
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  platform::FileStatus st;
  if (!platform::statusOf(fd, st) || st.kind != platform::FileStatus::Kind::Regular) {
    c.error = "cannot read '" + in + "': not a regular file";
    return c;
  }
  options.totalBytes = st.size;
  AtomicWriter writer;
  c.error = writer.open(out);
  if (!c.error.empty()) return c;
  conv::Converter converter(from, to, options, [&writer](std::string_view bytes) { writer.write(bytes); }, callbacks);
  std::string chunk(1 << 20, '\0');
  bool first = true;
  for (;;) {
    const ssize_t n = ::read(fd, chunk.data(), chunk.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      c.error = "cannot read '" + in + "': " + std::strerror(errno);
      return c;
    }
    if (n == 0) break;
    const std::string_view piece(chunk.data(), static_cast<std::size_t>(n));
    if (first && !looksLikeRtf(piece)) {
      c.error = "'" + in + "' is not an RTF document (it does not begin with {\\rtf)";
      return c;
    }
    first = false;
    if (!converter.feed(piece) || !writer.error().empty()) break;
  }
  if (first) {
    c.error = "'" + in + "' is empty";
    return c;
  }
  c.result = converter.finish();
  if (!writer.error().empty()) {
    c.error = writer.error();
  } else if (c.result.ok()) {
    c.error = writer.commit();
  }
  return c;
}

}  // namespace yig::docs
