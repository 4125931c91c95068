#include "cli/cli_io.h"

#include <unistd.h>

#include <filesystem>
#include <ostream>

#include "documents/file_io.h"
#include "documents/text_decoding.h"
#include "platform/platform.h"

namespace yig::cli {

FileBytes readFile(const std::string& path) {
  docs::FileRead read = path == "-" ? docs::readWholeDescriptor(STDIN_FILENO, "standard input") : docs::readWholeFile(path);
  FileBytes result;
  result.bytes = std::move(read.bytes);
  result.error = std::move(read.error);
  return result;
}

std::string writeFileAtomic(const std::string& path, std::string_view bytes) {
  return docs::writeFileAtomically(path, bytes);
}

std::string shown(std::string_view name) { return docs::printableName(name); }

std::string escapeControls(std::string_view text) {
  std::string out;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find('\n', start);
    out += docs::printableName(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) break;
    out += '\n';
    start = end + 1;
  }
  return out;
}

ControlEscapingBuffer::~ControlEscapingBuffer() { sync(); }

void ControlEscapingBuffer::put(std::string_view bytes) { to_->sputn(bytes.data(), static_cast<std::streamsize>(bytes.size())); }

void ControlEscapingBuffer::escapePending() {
  if (pending_.empty()) return;
  // The ESC is shown escaped; what followed it is written as any text is.
  const std::string rest = pending_.substr(1);
  pending_.clear();
  put("\\x1B");
  for (const char c : rest) overflow(traits_type::to_int_type(c));
}

ControlEscapingBuffer::int_type ControlEscapingBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char ch = traits_type::to_char_type(c);
  if (!pending_.empty()) {
    pending_ += ch;
    if (pending_ == "\x1B[K") {
      put(pending_);
      pending_.clear();
    } else if (pending_ != "\x1B[") {
      escapePending();
    }
    return c;
  }
  const auto byte = static_cast<unsigned char>(ch);
  if (byte == 0x1B) {
    pending_ = ch;
  } else if ((byte < 0x20 && ch != '\n' && ch != '\r' && ch != '\t') || byte == 0x7F) {
    put(docs::printableName(std::string_view(&ch, 1)));
  } else {
    to_->sputc(ch);
  }
  return c;
}

int ControlEscapingBuffer::sync() {
  escapePending();
  return to_->pubsync();
}

bool refuseSameFile(std::string_view command, const std::string& input, const std::string& output, std::ostream& err) {
  if (input == "-" || output == "-" || !docs::isSameFile(input, output)) return false;
  err << "yigsgyur " << command << ": the output " << docs::quotedName(output) << " is the input " << docs::quotedName(input)
      << " (the same file); nothing was written\n";
  return true;
}

StandardStreams::~StandardStreams() {
  std::error_code ec;
  if (!folder_.empty()) std::filesystem::remove_all(platform::toPath(folder_), ec);
}

std::string StandardStreams::folder() {
  if (folder_.empty()) {
    std::error_code ec;
    std::string base = platform::fromPath(std::filesystem::temp_directory_path(ec));
    if (ec || base.empty()) base = "/tmp";
    // Folders of killed runs go first.
    docs::removeLeftovers(base, "yigsgyur-stdio-", true);
    folder_ = platform::makePrivateFolder(base + "/yigsgyur-stdio-" + std::to_string(platform::processId()) + "-");
  }
  return folder_;
}

std::string StandardStreams::spoolInput(std::string_view ending, std::string& error) {
  docs::FileRead read = docs::readWholeDescriptor(STDIN_FILENO, "standard input");
  if (!read.ok()) {
    error = read.error;
    return {};
  }
  const std::string where = folder();
  if (where.empty()) {
    error = "cannot make a temporary folder for standard input";
    return {};
  }
  if (ending.empty()) ending = read.bytes.starts_with("{\\rtf") ? ".rtf" : ".txt";
  const std::string path = where + "/stdin" + std::string(ending);
  error = docs::writeFileAtomically(path, read.bytes, 0600);
  return error.empty() ? path : std::string();
}

std::string StandardStreams::outputFile(std::string_view ending) {
  const std::string where = folder();
  return where.empty() ? std::string() : where + "/stdout" + std::string(ending);
}

bool StandardStreams::copyToOutput(const std::string& path, std::ostream& out, std::string& error) {
  docs::FileRead read = docs::readWholeFile(path);
  if (!read.ok()) {
    error = read.error;
    return false;
  }
  out << read.bytes;
  out.flush();
  if (!out) {
    error = "cannot write to standard output";
    return false;
  }
  return true;
}

DecodedText decodeText(std::string_view bytes) {
  DecodedText result;
  auto starts = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
  if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
    const bool big = bytes[0] == '\xFE';
    result.encoding = big ? TextEncoding::Utf16BE : TextEncoding::Utf16LE;
    result.text = docs::decodeUtf16(bytes.substr(2), big);
    if (bytes.size() % 2 != 0) {
      result.error = "UTF-16 text ends in half a character (offset " + std::to_string(bytes.size() - 1) + ")";
    }
    return result;
  }
  std::size_t offset = 0;
  if (starts("\xEF\xBB\xBF")) {
    result.encoding = TextEncoding::Utf8Bom;
    offset = 3;
  }
  std::size_t bad = 0;
  result.text = docs::decodeUtf8Lenient(bytes.substr(offset), &bad);
  if (bad != std::string_view::npos) {
    result.error = "not UTF-8 text: invalid byte at offset " + std::to_string(bad + offset) +
                   " (save it as UTF-8, or as UTF-16 with a byte-order mark)";
  }
  return result;
}

std::optional<int> parseInOutArgs(std::string_view command, const std::vector<std::string>& args,
                                  std::initializer_list<Flag> flags, std::string_view outputHint,
                                  void (*usage)(std::ostream&), std::ostream& out, std::ostream& err,
                                  InOutArgs& parsed) {
  bool haveOutput = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded) {
      // After "--" every word is a file name, even one that starts with "-".
    } else if (a == "--") {
      optionsEnded = true;
      continue;
    } else if (a == "--help" || a == "-h") {
      usage(out);
      return 0;
    }
    if (a == "-o" || a == "--output") {
      if (i + 1 == args.size()) {
        err << "yigsgyur " << command << ": " << a << " needs a file name\n";
        return 2;
      }
      parsed.output = args[++i];
      haveOutput = true;
      continue;
    }
    bool known = false;
    for (const Flag& flag : flags) {
      if (!optionsEnded && a == flag.first) {
        *flag.second = true;
        known = true;
      }
    }
    if (known) continue;
    if (!optionsEnded && a.size() > 1 && a[0] == '-') {
      err << "yigsgyur " << command << ": unknown option " << docs::quotedName(a) << "\n";
      usage(err);
      return 2;
    }
    if (!parsed.input.empty()) {
      err << "yigsgyur " << command << ": more than one input file (" << docs::quotedName(parsed.input) << ", " << docs::quotedName(a) << ")\n";
      return 2;
    }
    parsed.input = a;
  }
  if (parsed.input.empty() || !haveOutput || parsed.output.empty()) {
    err << "yigsgyur " << command << ": "
        << (parsed.input.empty() ? std::string("no input file") : "no output file (" + std::string(outputHint) + ")")
        << '\n';
    usage(err);
    return 2;
  }
  if (refuseSameFile(command, parsed.input, parsed.output, err)) return 2;
  return std::nullopt;
}

std::optional<DecodedText> readTextInput(std::string_view command, const std::string& path, std::ostream& err) {
  const FileBytes file = readFile(path);
  if (!file.ok()) {
    err << "yigsgyur " << command << ": " << file.error << '\n';
    return std::nullopt;
  }
  DecodedText decoded = decodeText(file.bytes);
  if (!decoded.ok()) {
    err << "yigsgyur " << command << ": " << docs::quotedName(path) << " is " << decoded.error << '\n';
    return std::nullopt;
  }
  return decoded;
}

}  // namespace yig::cli
