#include "cli/cli_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>

#include "documents/file_io.h"
#include "documents/text_decoding.h"

namespace yig::cli {
namespace {

std::string describe(std::string_view what, const std::string& path, int err) {
  return std::string(what) + " '" + path + "': " + std::strerror(err);
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

FileBytes readFile(const std::string& path) {
  FileBytes result;
  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    result.error = describe("cannot open", path, errno);
    return result;
  }
  struct stat st {};
  if (fstat(fileno(f.get()), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      result.error = describe("cannot read", path, EISDIR);
      return result;
    }
    if (S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) > docs::maxInputBytes()) {
      result.error = docs::tooLargeMessage(path, static_cast<std::uint64_t>(st.st_size));
      return result;
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0) result.bytes.reserve(static_cast<std::size_t>(st.st_size));
  }
  char buffer[1 << 16];
  while (true) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, f.get());
    result.bytes.append(buffer, n);
    if (result.bytes.size() > docs::maxInputBytes()) {  // a pipe or a file growing while read
      result.error = docs::tooLargeMessage(path, result.bytes.size());
      std::string().swap(result.bytes);
      return result;
    }
    if (n < sizeof buffer) break;
  }
  if (std::ferror(f.get())) {
    result.error = describe("cannot read", path, errno ? errno : EIO);
    result.bytes.clear();
  }
  return result;
}

std::string writeFileAtomic(const std::string& path, std::string_view bytes) {
  const auto slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (base.empty()) return "cannot write '" + path + "': not a file name";

  // The new file keeps the mode of the file it replaces; a new file gets the
  // usual mode the process's umask allows.
  mode_t mode = 0;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return describe("cannot write", path, EISDIR);
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }

  std::string temp = dir + "/." + base + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return describe("cannot write", path, errno);
  auto fail = [&](int err) {
    ::close(fd);
    ::unlink(temp.c_str());
    return describe("cannot write", path, err);
  };
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (::fchmod(fd, mode) != 0) return fail(errno);
  if (::fsync(fd) != 0 && errno != EINVAL) return fail(errno);
  if (::close(fd) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    return describe("cannot write", path, err);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    return describe("cannot write", path, err);
  }
  return {};
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
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
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
      if (a == flag.first) {
        *flag.second = true;
        known = true;
      }
    }
    if (known) continue;
    if (a.size() > 1 && a[0] == '-') {
      err << "yigsgyur " << command << ": unknown option '" << a << "'\n";
      usage(err);
      return 2;
    }
    if (!parsed.input.empty()) {
      err << "yigsgyur " << command << ": more than one input file ('" << parsed.input << "', '" << a << "')\n";
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
    err << "yigsgyur " << command << ": '" << path << "' is " << decoded.error << '\n';
    return std::nullopt;
  }
  return decoded;
}

}  // namespace yig::cli
