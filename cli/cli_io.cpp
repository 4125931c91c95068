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

std::u16string decodeUtf8(std::string_view bytes, std::size_t* firstInvalid) {
  std::u16string out;
  out.reserve(bytes.size());
  std::size_t bad = std::string_view::npos;
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  auto invalid = [&](std::size_t at) {
    if (bad == std::string_view::npos) bad = at;
    out.push_back(u'\uFFFD');
  };
  auto cont = [&](std::size_t k) { return k < n && (s[k] & 0xC0) == 0x80; };
  while (i < n) {
    const unsigned char b = s[i];
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    char32_t cp = 0;
    std::size_t len = 0;
    char32_t min = 0;
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2, cp = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3, cp = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4, cp = b & 0x07, min = 0x10000;
    } else {
      invalid(i++);
      continue;
    }
    std::size_t k = 1;
    for (; k < len && cont(i + k); ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
    if (k < len) {  // truncated sequence: one replacement for what was there
      invalid(i);
      i += k;
      continue;
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      invalid(i);
      i += len;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  if (firstInvalid) *firstInvalid = bad;
  return out;
}

std::u16string decodeUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out.push_back(bigEndian ? static_cast<char16_t>(s[i] << 8 | s[i + 1])
                            : static_cast<char16_t>(s[i + 1] << 8 | s[i]));
  }
  return out;
}

DecodedText decodeText(std::string_view bytes) {
  DecodedText result;
  auto starts = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
  if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
    const bool big = bytes[0] == '\xFE';
    result.encoding = big ? TextEncoding::Utf16BE : TextEncoding::Utf16LE;
    result.text = decodeUtf16(bytes.substr(2), big);
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
  result.text = decodeUtf8(bytes.substr(offset), &bad);
  if (bad != std::string_view::npos) {
    result.error = "not UTF-8 text: invalid byte at offset " + std::to_string(bad + offset) +
                   " (save it as UTF-8, or as UTF-16 with a byte-order mark)";
  }
  return result;
}

std::string encodeUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    char32_t cp = text[i];
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::u16string toCrLf(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r') {
      out += u"\r\n";
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else if (c == u'\n') {
      out += u"\r\n";
    } else {
      out.push_back(c);
    }
  }
  return out;
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
