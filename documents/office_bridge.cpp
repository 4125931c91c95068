#include "documents/office_bridge.h"
#include "documents/package_route.h"

#include <cctype>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "documents/file_io.h"
#include "platform/platform.h"
#include "richtext/rtf_lexer.h"

namespace yig::docs {
namespace fs = std::filesystem;

OfficeSettings& officeSettings() {
  static OfficeSettings settings;
  return settings;
}

namespace {

bool isExecutable(const fs::path& p) { return platform::isExecutable(platform::fromPath(p)); }

std::optional<std::string> findOnPath(std::string_view name) {
  const char* path = std::getenv("PATH");
  std::string_view dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  while (!dirs.empty()) {
    const std::size_t colon = dirs.find(platform::pathListSeparator());
    const std::string_view dir = dirs.substr(0, colon);
    if (!dir.empty()) {
      const fs::path candidate = platform::toPath(dir) / platform::toPath(platform::programFileName(name));
      if (isExecutable(candidate)) return platform::fromPath(candidate);
    }
    if (colon == std::string_view::npos) break;
    dirs.remove_prefix(colon + 1);
  }
  return std::nullopt;
}

bool isInside(const fs::path& inner, const fs::path& outer) {
  auto i = inner.begin();
  for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
    if (i == inner.end() || *i != *o) return false;
  }
  return true;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

constexpr std::string_view kProfileSettings =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="MacroSecurityLevel" oor:op="fuse"><value>3</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="DisableMacrosExecution" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="OfficeBasic" oor:op="fuse"><value>0</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="BlockUntrustedRefererLinks" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Writer/Content/Update"><prop oor:name="Link" oor:op="fuse"><value>0</value></prop></item>
<item oor:path="/org.openoffice.Office.Writer/Content/Update"><prop oor:name="Field" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Calc/Content/Update"><prop oor:name="Link" oor:op="fuse"><value>1</value></prop></item>
</oor:items>
)";

// Job folders of this user whose process has ended (killed, or the machine
// went down) are removed, once per process.
void removeStaleJobFolders(const fs::path& base) {
  static std::once_flag once;
  std::call_once(once, [&] { removeLeftovers(platform::fromPath(base), kOfficeJobPrefix, true); });
}

// A private folder for one job (0700), removed with everything in it at the
// end. It holds the input, the output, LibreOffice's profile and its
// temporary files.
class JobFolder {
 public:
  JobFolder() {
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec) base = "/tmp";
    removeStaleJobFolders(base);
    const std::string name = platform::makePrivateFolder(
        platform::fromPath(base / (std::string(kOfficeJobPrefix) + std::to_string(platform::processId()) + "-")));
    if (name.empty()) return;
    path_ = platform::toPath(name);
    bool made = true;
    for (const char* sub : {"in", "out", "tmp", "profile", "profile/user"}) {
      made = made && platform::makeFolder(platform::fromPath(path_ / sub));
    }
    if (!made || !writeFileAtomically(platform::fromPath(path_ / "profile/user/registrymodifications.xcu"), kProfileSettings,
                                      0600).empty()) {
      fs::remove_all(path_, ec);
      path_.clear();
    }
  }
  ~JobFolder() {
    if (!path_.empty()) {
      std::error_code ec;
      fs::remove_all(path_, ec);
    }
  }
  JobFolder(const JobFolder&) = delete;
  JobFolder& operator=(const JobFolder&) = delete;
  bool ok() const { return !path_.empty(); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// file:// URL of an absolute path, with the characters a URL cannot hold escaped.
std::string fileUrl(const fs::path& p) {
  std::string url = "file://";
  const std::string name = platform::fromPath(p);
  if (!name.empty() && !platform::isSeparator(name[0])) url += '/';  // a drive letter
  for (const unsigned char c : name) {
    if (platform::isSeparator(static_cast<char>(c))) {
      url += '/';
    } else if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      url += static_cast<char>(c);
    } else {
      static const char hex[] = "0123456789ABCDEF";
      url += '%';
      url += hex[c >> 4];
      url += hex[c & 0xF];
    }
  }
  return url;
}

// The lines of LibreOffice's output worth showing (its Java warning is not).
std::string meaningfulOutput(const std::string& log) {
  std::string out;
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    std::string_view line(log.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && line.find("javaldx") == std::string_view::npos) {
      if (!out.empty()) out += "; ";
      out += line;
    }
    start = end + 1;
  }
  if (out.size() > 400) out = out.substr(0, 400) + "...";
  return out;
}

using platform::RunOutcome;

// Runs argv in its own process group with stdout and stderr into `logFile`.
// As a backstop to `timeout`, the whole group is killed when it outlives the
// deadline by a margin.
RunOutcome runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                      const fs::path& logFile, int timeoutSeconds) {
  RunOutcome outcome = platform::runProcess(argv, environment, platform::fromPath(logFile), timeoutSeconds + 20);
  // timeout(1) answers 124 when it had to stop the program, 137 when it killed it.
  if (outcome.status == 124 || outcome.status == 137) outcome.timedOut = true;
  return outcome;
}

std::string missingMessage() {
  return "LibreOffice (soffice) is not installed; it is needed for Word, web-page and XML documents. Install it " +
         (platform::isWindows() ? std::string("from libreoffice.org into its usual folder (C:\\Program Files\\LibreOffice)")
                                : "with: " + std::string(kOfficeInstallHint));
}

// The environment LibreOffice gets: ours, with its home and temporary folder
// inside the job folder `root` (as LibreOffice sees it).
std::vector<std::string> officeEnvironment(const std::string& root) {
  std::vector<std::string> env;
  for (const std::string& entry : platform::environment()) {
    if (entry.starts_with("HOME=") || entry.starts_with("TMPDIR=")) continue;
    env.push_back(entry);
  }
  env.push_back("HOME=" + root);
  env.push_back("TMPDIR=" + root + "/tmp");
  return env;
}

// Where the job folder appears inside the bubblewrap sandbox.
constexpr std::string_view kSandboxJob = "/job";

// bubblewrap's arguments up to the program to run: fresh namespaces (no
// network, no other processes), the system's program folders and the
// configuration LibreOffice and fontconfig read, all read-only, and the job
// folder as the only writable place.
std::vector<std::string> bubblewrapArguments(const std::string& bwrap, const fs::path& job, const std::string& program) {
  std::vector<std::string> a = {bwrap, "--unshare-all", "--die-with-parent", "--new-session", "--clearenv",
                                "--ro-bind", "/usr", "/usr"};
  for (const char* top : {"/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"}) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(top, ec);
    if (ec || !fs::exists(status)) continue;
    if (fs::is_symlink(status)) {
      a.insert(a.end(), {"--symlink", fs::read_symlink(top, ec).string(), top});
    } else {
      a.insert(a.end(), {"--ro-bind", top, top});
    }
  }
  for (const char* shared : {"/etc/fonts", "/etc/libreoffice", "/etc/ld.so.cache", "/etc/alternatives",
                             "/etc/localtime", "/var/cache/fontconfig"}) {
    a.insert(a.end(), {"--ro-bind-try", shared, shared});
  }
  a.insert(a.end(), {"--proc", "/proc", "--dev", "/dev", "--tmpfs", "/tmp"});
  // A LibreOffice installed outside /usr (<folder>/program/soffice): that folder too.
  std::error_code ec;
  const fs::path real = fs::canonical(program, ec);
  if (!ec && !isInside(real, "/usr")) {
    const fs::path install = real.parent_path().parent_path();
    a.insert(a.end(), {"--ro-bind", install.string(), install.string()});
  }
  const std::string inside(kSandboxJob);
  a.insert(a.end(), {"--bind", job.string(), inside, "--chdir", inside, "--setenv", "HOME", inside, "--setenv",
                     "TMPDIR", inside + "/tmp", "--setenv", "PATH", "/usr/bin:/bin", "--setenv", "LANG", "C.UTF-8",
                     "--"});
  return a;
}

SandboxProbe probeSandbox() {
  SandboxProbe probe;
  if (!officeSettings().sandbox) {
    probe.reason = "the sandbox is switched off";
    return probe;
  }
  if (platform::isWindows()) {
    probe.reason = "Windows has no bubblewrap";
    return probe;
  }
  JobFolder job;
  const std::optional<std::string> truth = findOnPath("true");
  if (!job.ok() || !truth) {
    probe.reason = "no temporary folder or no 'true' program to try it with";
    return probe;
  }
  const fs::path log = job.path() / "probe.log";
  const std::vector<std::string> env = officeEnvironment(platform::fromPath(job.path()));
  if (const auto bwrap = findOnPath("bwrap")) {
    std::vector<std::string> argv = bubblewrapArguments(*bwrap, job.path(), *truth);
    argv.push_back(*truth);
    const RunOutcome run = runProcess(argv, env, log, 20);
    if (run.status == 0) {
      probe.kind = OfficeSandbox::Bubblewrap;
      return probe;
    }
    const std::string said = meaningfulOutput(readWholeFile(platform::fromPath(log)).bytes);
    probe.reason = "bubblewrap cannot run here" + (said.empty() ? std::string() : " (" + said + ")");
  } else {
    probe.reason = "bubblewrap (bwrap) is not installed";
  }
  if (const auto unshare = findOnPath("unshare")) {
    const RunOutcome run = runProcess({*unshare, "--net", "--", *truth}, env, log, 20);
    if (run.status == 0) {
      probe.kind = OfficeSandbox::NetworkOnly;
      return probe;
    }
    probe.reason += "; 'unshare --net' cannot run either";
  }
  return probe;
}

// How many times the sandbox was probed (a probe is repeated when the
// setting changes); a warning is given once per probe.
std::atomic<int> probes{0};

void warnOnce(const SandboxProbe& probe) {
  static std::mutex mutex;
  static int warnedFor = 0;
  if (probe.kind == OfficeSandbox::Bubblewrap) return;
  std::lock_guard lock(mutex);
  if (warnedFor == probes.load()) return;
  warnedFor = probes.load();
  const std::string text = probe.kind == OfficeSandbox::NetworkOnly
                               ? "LibreOffice runs without bubblewrap (" + probe.reason +
                                     "): its network is cut off, but it can read every file this user can"
                               : "LibreOffice runs without a sandbox (" + probe.reason +
                                     "): only its settings keep documents from fetching links and running macros";
  if (officeSettings().warn) {
    officeSettings().warn(text);
  } else {
    std::cerr << "yigsgyur: warning: " << text << '\n';
  }
}

OfficeResult convertInFolder(const JobFolder& job, const std::string& inputName, std::string_view convertTo,
                             std::string_view outputExtension) {
  OfficeResult result;
  const std::optional<std::string> soffice = findOffice();
  if (!soffice) {
    result.missing = true;
    result.error = missingMessage();
    return result;
  }
  const OfficeSettings& settings = officeSettings();
  const SandboxProbe sandbox = officeSandbox();
  warnOnce(sandbox);
  // The job folder as LibreOffice sees it.
  const std::string root = sandbox.kind == OfficeSandbox::Bubblewrap ? std::string(kSandboxJob) : platform::fromPath(job.path());
  const fs::path input = platform::toPath(root) / "in" / platform::toPath(inputName);
  const fs::path expected = job.path() / "out" /
                            platform::toPath(platform::fromPath(platform::toPath(inputName).stem()) + "." +
                                             std::string(outputExtension));
  std::vector<std::string> argv;
  if (const auto timeoutProgram = findOnPath("timeout")) {
    argv = {*timeoutProgram, "-k", "10", std::to_string(settings.timeoutSeconds)};
  }
  if (sandbox.kind == OfficeSandbox::Bubblewrap) {
    const std::vector<std::string> wrap = bubblewrapArguments(*findOnPath("bwrap"), job.path(), *soffice);
    argv.insert(argv.end(), wrap.begin(), wrap.end());
  } else if (sandbox.kind == OfficeSandbox::NetworkOnly) {
    argv.insert(argv.end(), {*findOnPath("unshare"), "--net", "--"});
  }
  argv.insert(argv.end(), {*soffice, "-env:UserInstallation=" + fileUrl(platform::toPath(root) / "profile"), "--headless",
                           "--norestore", "--nologo", "--nolockcheck", "--convert-to", std::string(convertTo),
                           "--outdir", root + "/out", platform::fromPath(input)});
  const fs::path log = job.path() / "soffice.log";
  const std::vector<std::string> env = officeEnvironment(platform::fromPath(job.path()));
  RunOutcome run;
  // soffice.bin run directly restarts itself once on a new profile (status 81).
  for (int attempt = 0; attempt < 2; ++attempt) {
    run = runProcess(argv, env, log, settings.timeoutSeconds);
    if (run.status != 81) break;
  }
  if (!run.error.empty()) {
    result.error = run.error;
    return result;
  }
  FileRead produced = readWholeFile(platform::fromPath(expected));
  if (produced.ok() && !produced.bytes.empty() && !run.timedOut) {
    result.bytes = std::move(produced.bytes);
    return result;
  }
  const std::string said = meaningfulOutput(readWholeFile(platform::fromPath(log)).bytes);
  if (run.timedOut) {
    result.error = "LibreOffice did not finish within " + std::to_string(settings.timeoutSeconds) + " s";
  } else {
    result.error = "LibreOffice could not convert the document";
  }
  if (!said.empty()) result.error += " (" + said + ")";
  return result;
}

}  // namespace

SandboxProbe officeSandbox() {
  static std::mutex mutex;
  static std::optional<SandboxProbe> probed;
  static bool probedWithSandbox = true;
  std::lock_guard lock(mutex);
  // Probed again when the setting changes (tests switch it).
  if (!probed || probedWithSandbox != officeSettings().sandbox) {
    probedWithSandbox = officeSettings().sandbox;
    probed = probeSandbox();
    ++probes;
  }
  return *probed;
}

std::string_view officeProfileSettings() { return kProfileSettings; }

std::optional<std::string> findOffice() {
  const OfficeSettings& settings = officeSettings();
  if (!settings.program.empty()) {
    if (isExecutable(settings.program)) return settings.program;
    return std::nullopt;
  }
  if (auto onPath = findOnPath("soffice")) return onPath;
  for (const char* known : {"/usr/lib/libreoffice/program/soffice", "/opt/libreoffice/program/soffice",
                            "C:/Program Files/LibreOffice/program/soffice.exe",
                            "C:/Program Files (x86)/LibreOffice/program/soffice.exe"}) {
    if (isExecutable(known)) return std::string(known);
  }
  return std::nullopt;
}

OfficeResult convertWithOffice(const std::string& input, std::string_view convertTo, std::string_view outputExtension) {
  JobFolder job;
  OfficeResult result;
  if (!job.ok()) {
    result.error = "cannot make a temporary folder for LibreOffice";
    return result;
  }
  // A private copy under a plain name: the ending in lower case helps format
  // detection, and two jobs never write the same output name.
  const std::string name = "document" + lower(platform::fromPath(platform::toPath(input).extension()));
  std::string error = copyFileAtomically(input, platform::fromPath(job.path() / "in" / name), 0600);
  if (!error.empty()) {
    result.error = error;
    return result;
  }
  return convertInFolder(job, name, convertTo, outputExtension);
}

OfficeResult rtfThroughOffice(const std::string& path) {
  constexpr std::string_view kRtf = "rtf:Rich Text Format";
  if (isDocName(path)) {
    OfficeResult docx = convertWithOffice(path, kOfficeDocxFilter, "docx");
    if (!docx.ok()) return docx;
    OfficeResult rtf = convertBytesWithOffice(docx.bytes, "docx", kRtf, "rtf");
    if (rtf.ok()) rtf.package = std::move(docx.bytes);
    return rtf;
  }
  return convertWithOffice(path, kRtf, "rtf");
}

OfficeResult convertBytesWithOffice(std::string_view bytes, std::string_view inputExtension, std::string_view convertTo,
                                    std::string_view outputExtension) {
  JobFolder job;
  OfficeResult result;
  if (!job.ok()) {
    result.error = "cannot make a temporary folder for LibreOffice";
    return result;
  }
  const std::string name = "document." + std::string(inputExtension);
  std::string error = writeFileAtomically(platform::fromPath(job.path() / "in" / name), bytes, 0600);
  if (!error.empty()) {
    result.error = error;
    return result;
  }
  return convertInFolder(job, name, convertTo, outputExtension);
}

// --- web archives ----------------------------------------------------------

std::string decodeQuotedPrintable(std::string_view text) {
  auto hexValue = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '=') {
      out += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '\n') {  // soft line break
      ++i;
    } else if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
      i += 2;
    } else if (i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      out += '=';  // not an escape: keep it as it stands
    }
  }
  return out;
}

std::string decodeBase64(std::string_view text) {
  auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  };
  std::string out;
  out.reserve(text.size() / 4 * 3);
  unsigned buffer = 0;
  int bits = 0;
  for (const char c : text) {
    if (c == '=') break;
    const int v = value(c);
    if (v < 0) continue;  // line breaks and blanks
    buffer = (buffer << 6) | static_cast<unsigned>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((buffer >> bits) & 0xFF);
    }
  }
  return out;
}

namespace {

struct MimePart {
  std::vector<std::pair<std::string, std::string>> headers;  // lower-case names
  std::string_view body;

  std::string header(std::string_view name) const {
    for (const auto& [n, v] : headers) {
      if (n == name) return v;
    }
    return {};
  }
};

// Splits headers from the body at the first empty line; folded lines are joined.
MimePart parsePart(std::string_view text) {
  MimePart part;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t next = std::min(end + 1, text.size());
    if (line.empty()) {
      part.body = text.substr(next);
      return part;
    }
    if ((line[0] == ' ' || line[0] == '\t') && !part.headers.empty()) {
      // A folded line that is all blanks adds nothing.
      const std::size_t text = line.find_first_not_of(" \t");
      if (text != std::string_view::npos) {
        part.headers.back().second += " ";
        part.headers.back().second += line.substr(text);
      }
    } else if (const std::size_t colon = line.find(':'); colon != std::string_view::npos) {
      std::string value(line.substr(colon + 1));
      value.erase(0, value.find_first_not_of(" \t"));
      part.headers.emplace_back(lower(line.substr(0, colon)), value);
    } else {
      // Not a header line: there are no headers, the whole text is the body.
      part.headers.clear();
      part.body = text;
      return part;
    }
    pos = next;
  }
  return part;
}

// A parameter of a header value such as `multipart/related; boundary="x"`.
std::string parameter(std::string_view value, std::string_view name) {
  const std::string lowered = lower(value);
  std::size_t pos = 0;
  while ((pos = lowered.find(name, pos)) != std::string::npos) {
    const bool startsWord = pos == 0 || lowered[pos - 1] == ';' || lowered[pos - 1] == ' ' || lowered[pos - 1] == '\t';
    std::size_t eq = pos + name.size();
    while (eq < value.size() && value[eq] == ' ') ++eq;
    if (startsWord && eq < value.size() && value[eq] == '=') {
      std::size_t start = eq + 1;
      while (start < value.size() && value[start] == ' ') ++start;
      if (start < value.size() && value[start] == '"') {
        const std::size_t close = value.find('"', start + 1);
        return std::string(value.substr(start + 1, close == std::string_view::npos ? std::string_view::npos : close - start - 1));
      }
      const std::size_t end = value.find_first_of("; \t", start);
      return std::string(value.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    }
    pos += name.size();
  }
  return {};
}

std::optional<std::string> findHtml(std::string_view text, int depth) {
  if (depth > 8) return std::nullopt;
  const MimePart part = parsePart(text);
  const std::string type = part.header("content-type");
  const std::string loweredType = lower(type);
  if (loweredType.rfind("multipart/", 0) == 0) {
    const std::string boundary = parameter(type, "boundary");
    if (boundary.empty()) return std::nullopt;
    const std::string delimiter = "--" + boundary;
    std::size_t pos = part.body.find(delimiter);
    while (pos != std::string_view::npos) {
      std::size_t start = part.body.find('\n', pos);
      if (start == std::string_view::npos) break;
      if (part.body.substr(pos + delimiter.size(), 2) == "--") break;  // closing delimiter
      ++start;
      std::size_t next = part.body.find(delimiter, start);
      std::string_view inner = part.body.substr(start, next == std::string_view::npos ? std::string_view::npos : next - start);
      if (auto html = findHtml(inner, depth + 1)) return html;
      pos = next;
    }
    return std::nullopt;
  }
  if (loweredType.rfind("text/html", 0) != 0) return std::nullopt;
  const std::string encoding = lower(part.header("content-transfer-encoding"));
  std::string html;
  if (encoding.find("quoted-printable") != std::string::npos) {
    html = decodeQuotedPrintable(part.body);
  } else if (encoding.find("base64") != std::string::npos) {
    html = decodeBase64(part.body);
  } else {
    html = std::string(part.body);
  }
  const std::string charset = parameter(type, "charset");
  if (!charset.empty() && lower(html).find("charset") == std::string::npos) {
    html = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" + charset + "\">\n" + html;
  }
  return html;
}

}  // namespace

std::optional<std::string> extractHtmlFromMht(std::string_view mht) {
  return findHtml(mht, 0);
}

// --- associated fonts ----------------------------------------------------------

namespace {

// A control word's bytes without the blank that ends it.
std::string_view withoutDelimiter(std::string_view bytes) {
  return !bytes.empty() && bytes.back() == ' ' ? bytes.substr(0, bytes.size() - 1) : bytes;
}

// Where the body of a document starts: at "\viewkind", or else after the font table.
std::size_t bodyStart(std::string_view rtf) {
  const std::size_t viewKind = rtf.find("\\viewkind");
  if (viewKind != std::string_view::npos) return viewKind;
  rtf::Lexer lexer(rtf);
  std::size_t depth = 0, tableDepth = 0;
  for (;;) {
    const rtf::Token t = lexer.next();
    if (t.kind == rtf::TokenKind::End) return 0;
    if (t.kind == rtf::TokenKind::GroupOpen) ++depth;
    if (t.kind == rtf::TokenKind::GroupClose) {
      if (tableDepth != 0 && depth == tableDepth) return lexer.consumed();
      if (depth > 0) --depth;
    }
    if (tableDepth == 0 && t.is("fonttbl")) tableDepth = depth;
  }
}

}  // namespace

std::string addAssociatedFonts(std::string_view rtf) {
  const std::size_t body = bodyStart(rtf);
  std::string out;
  out.reserve(rtf.size() + rtf.size() / 8);
  out.append(rtf.substr(0, body));
  rtf::Lexer lexer(rtf.substr(body));
  for (;;) {
    const rtf::Token t = lexer.next();
    if (t.kind == rtf::TokenKind::End) break;
    if (t.kind == rtf::TokenKind::ControlWord && t.hasParam && (t.is("f") || t.is("fs"))) {
      const std::string_view word = withoutDelimiter(t.bytes);
      out.append(word);
      out += t.is("f") ? "\\rtlch\\af" : "\\rtlch\\afs";
      out += std::to_string(t.param);
      out += "\\ltrch";
      out.append(t.bytes.substr(word.size()));
      continue;
    }
    out.append(t.bytes);
  }
  return out;
}

namespace {

struct GroupState {
  int font = -1;         // \fN in force, -1 when the style or default decides
  int complexFont = -1;  // the associated font for complex scripts
  int unicodeSkip = 1;   // \ucN
  bool ignore = false;   // a destination that holds no document text
};

enum class AssociatedMode { None, Complex, Other };

bool isTibetan(long code) {
  if (code < 0) code += 65536;
  return code >= 0x0F00 && code <= 0x0FFF;
}

bool isIgnoredDestination(std::string_view word) {
  static constexpr std::string_view kWords[] = {"fonttbl", "colortbl", "stylesheet", "info", "pict", "listtable",
                                                "listoverridetable", "rsidtbl", "generator", "pgdsctbl", "header",
                                                "footer", "object", "themedata", "latentstyles"};
  for (const auto w : kWords) {
    if (word == w) return true;
  }
  return false;
}

}  // namespace

std::string useAssociatedFontsForTibetan(std::string_view rtf) {
  std::string out;
  out.reserve(rtf.size() + rtf.size() / 16);
  std::vector<GroupState> stack{GroupState{}};
  AssociatedMode mode = AssociatedMode::None;
  bool inRun = false;     // inside a group we opened around Tibetan characters
  int pendingSkip = 0;    // fallback characters after \uN still to copy
  bool groupStart = false;
  auto closeRun = [&] {
    if (inRun) {
      out += '}';
      inRun = false;
    }
  };
  // A character of text: a fallback of the last \uN, or the end of a Tibetan run.
  auto textCharacter = [&] {
    if (pendingSkip > 0) {
      --pendingSkip;
    } else {
      closeRun();
    }
  };
  rtf::Lexer lexer(rtf);
  for (;;) {
    const rtf::Token t = lexer.next();
    if (t.kind == rtf::TokenKind::End) break;
    GroupState& state = stack.back();
    switch (t.kind) {
      case rtf::TokenKind::GroupOpen:
      case rtf::TokenKind::GroupClose:
        closeRun();
        pendingSkip = 0;
        out.append(t.bytes);
        if (t.kind == rtf::TokenKind::GroupOpen) {
          stack.push_back(stack.back());
          groupStart = true;
        } else if (stack.size() > 1) {
          stack.pop_back();
        }
        continue;
      case rtf::TokenKind::Text:
        for (const char c : t.bytes) {
          if (c != '\r' && c != '\n') {  // line breaks are no text and leave a group's start
            groupStart = false;
            textCharacter();
          }
          out += c;
        }
        continue;
      case rtf::TokenKind::HexByte:
        groupStart = false;
        textCharacter();
        out.append(t.bytes);
        continue;
      case rtf::TokenKind::ControlSymbol: {
        const bool wasGroupStart = groupStart;
        groupStart = false;
        const char s = t.symbol;
        if (s == '*' && wasGroupStart) state.ignore = true;
        if (s == '\\' || s == '{' || s == '}' || s == '~' || s == '-' || s == '_') textCharacter();
        out.append(t.bytes);
        continue;
      }
      case rtf::TokenKind::Binary:
        groupStart = false;
        closeRun();
        pendingSkip = 0;
        out.append(t.bytes);
        continue;
      default:
        break;
    }
    // A control word.
    const bool wasGroupStart = groupStart;
    groupStart = false;
    const std::string_view word = t.name;
    if (wasGroupStart && isIgnoredDestination(word)) state.ignore = true;
    if (t.is("u") && t.hasParam) {
      pendingSkip = 0;
      const bool tibetan = isTibetan(t.param) && !state.ignore;
      if (tibetan && !inRun && state.complexFont >= 0 && state.complexFont != state.font) {
        out += "{\\f" + std::to_string(state.complexFont) + ' ';
        inRun = true;
      } else if (!tibetan) {
        closeRun();
      }
      out.append(t.bytes);
      pendingSkip = state.unicodeSkip;
      continue;
    }
    closeRun();
    pendingSkip = 0;
    if (t.is("f") && t.hasParam) {
      state.font = t.param;
    } else if (t.is("af") && t.hasParam) {
      if (mode != AssociatedMode::Other) state.complexFont = t.param;
    } else if (t.is("rtlch") || t.is("ltrch")) {
      mode = AssociatedMode::Complex;
    } else if (t.is("loch") || t.is("hich") || t.is("dbch")) {
      mode = AssociatedMode::Other;
    } else if (t.is("plain")) {
      state.font = -1;
      state.complexFont = -1;
    } else if (t.is("uc") && t.hasParam) {
      state.unicodeSkip = t.param;
    }
    out.append(t.bytes);
  }
  closeRun();
  return out;
}

}  // namespace yig::docs
