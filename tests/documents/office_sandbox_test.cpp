// Hostile documents through the word-processor route: whatever a document
// names (web addresses, local files, macros), LibreOffice fetches nothing,
// reads nothing outside its job folder and runs nothing.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "documents/office_bridge.h"
#include "documents/open_document.h"
#include "documents/recording_host.h"
#include "test_support.h"

namespace yig::docs {
namespace {

using testing::TempFolder;

// Counts the connections made to a port on 127.0.0.1 (each is answered 404).
class Listener {
 public:
  Listener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd_, 16) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] {
      while (!stop_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int client = ::accept(fd_, nullptr, nullptr);
        if (client < 0) continue;
        ++connections_;
        char request[2048];
        (void)::recv(client, request, sizeof request, MSG_DONTWAIT);
        const char answer[] = "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n";
        (void)::send(client, answer, sizeof answer - 1, MSG_NOSIGNAL);
        ::close(client);
      }
    });
  }
  ~Listener() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
  }
  int port() const { return port_; }
  int connections() const { return connections_; }
  std::string url(const std::string& name) const { return "http://127.0.0.1:" + std::to_string(port_) + "/" + name; }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::thread thread_;
};

std::uint32_t crc32(std::string_view bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const unsigned char c : bytes) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// A zip archive of uncompressed members, enough for .docx and .odt.
std::string zip(const std::vector<std::pair<std::string, std::string>>& members) {
  std::string out, directory;
  auto put = [](std::string& s, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  for (const auto& [name, data] : members) {
    const auto offset = static_cast<std::uint32_t>(out.size());
    const std::uint32_t crc = crc32(data);
    const auto size = static_cast<std::uint32_t>(data.size());
    const auto nameSize = static_cast<std::uint32_t>(name.size());
    put(out, 0x04034b50, 4), put(out, 20, 2), put(out, 0, 2), put(out, 0, 2), put(out, 0, 2), put(out, 0x21, 2);
    put(out, crc, 4), put(out, size, 4), put(out, size, 4), put(out, nameSize, 2), put(out, 0, 2);
    out += name + data;
    put(directory, 0x02014b50, 4), put(directory, 20, 2), put(directory, 20, 2), put(directory, 0, 2);
    put(directory, 0, 2), put(directory, 0, 2), put(directory, 0x21, 2), put(directory, crc, 4);
    put(directory, size, 4), put(directory, size, 4), put(directory, nameSize, 2), put(directory, 0, 2);
    put(directory, 0, 2), put(directory, 0, 2), put(directory, 0, 2), put(directory, 0, 4);
    put(directory, offset, 4);
    directory += name;
  }
  const auto start = static_cast<std::uint32_t>(out.size());
  out += directory;
  put(out, 0x06054b50, 4), put(out, 0, 2), put(out, 0, 2);
  put(out, static_cast<std::uint32_t>(members.size()), 2), put(out, static_cast<std::uint32_t>(members.size()), 2);
  put(out, static_cast<std::uint32_t>(directory.size()), 4), put(out, start, 4), put(out, 0, 2);
  return out;
}

constexpr std::string_view kOpened = "HOSTILE-OPENED";
constexpr std::string_view kSecret = "MARKER-8d1f0c-SECRET";
constexpr std::string_view kMacroRan = "MACRO-RAN";

std::string hostilePage(const Listener& l, const std::string& marker) {
  return "<html><head><meta charset=\"utf-8\">\n"
         "<link rel=\"stylesheet\" href=\"" + l.url("style.css") + "\">\n"
         "<style>@import url(\"" + l.url("import.css") + "\"); body { background: url(" + l.url("bg.png") +
         "); }</style>\n"
         "</head><body><p>\xE0\xBD\x96\xE0\xBD\xBC\xE0\xBD\x91 " + std::string(kOpened) + "</p>\n"
         "<img src=\"" + l.url("image.png") + "\"><iframe src=\"" + l.url("frame.html") + "\"></iframe>\n"
         "<img src=\"file://" + marker + "\"><iframe src=\"file://" + marker + "\"></iframe>\n"
         "<object data=\"file://" + marker + "\" type=\"text/plain\"></object>\n"
         "</body></html>\n";
}

std::string hostileDocx(const Listener& l, const std::string& marker) {
  const std::string types =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Override PartName=\"/word/document.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>";
  const std::string rels =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
      "Target=\"word/document.xml\"/></Relationships>";
  const std::string documentRels =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rIdImg\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/image\" Target=\"" +
      l.url("linked.png") + "\" TargetMode=\"External\"/></Relationships>";
  const std::string document =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document "
      "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
      "xmlns:v=\"urn:schemas-microsoft-com:vml\"><w:body>"
      "<w:p><w:r><w:t>" + std::string(kOpened) + "</w:t></w:r></w:p>"
      "<w:p><w:fldSimple w:instr=\" INCLUDETEXT &quot;" + marker + "&quot; \"><w:r><w:t>included</w:t></w:r>"
      "</w:fldSimple></w:p>"
      "<w:p><w:fldSimple w:instr=\" INCLUDEPICTURE &quot;" + l.url("field.png") + "&quot; \\d \"><w:r><w:t>pic</w:t>"
      "</w:r></w:fldSimple></w:p>"
      "<w:p><w:r><w:pict><v:shape style=\"width:20pt;height:20pt\"><v:imagedata r:id=\"rIdImg\"/></v:shape>"
      "</w:pict></w:r></w:p></w:body></w:document>";
  return zip({{"[Content_Types].xml", types},
              {"_rels/.rels", rels},
              {"word/_rels/document.xml.rels", documentRels},
              {"word/document.xml", document}});
}

// An .odt whose Basic macro, bound to the load event, would put kMacroRan
// into the document.
std::string macroOdt() {
  const std::string content =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
      "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
      "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
      "xmlns:script=\"urn:oasis:names:tc:opendocument:xmlns:script:1.0\" "
      "xmlns:xlink=\"http://www.w3.org/1999/xlink\" office:version=\"1.2\">"
      "<office:scripts><office:event-listeners><script:event-listener script:language=\"ooo:script\" "
      "script:event-name=\"dom:load\" xlink:type=\"simple\" "
      "xlink:href=\"vnd.sun.star.script:Standard.Module1.Main?language=Basic&amp;location=document\"/>"
      "</office:event-listeners></office:scripts>"
      "<office:body><office:text><text:p>" + std::string(kOpened) + "</text:p></office:text></office:body>"
      "</office:document-content>";
  const std::string manifest =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><manifest:manifest "
      "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" manifest:version=\"1.2\">"
      "<manifest:file-entry manifest:full-path=\"/\" "
      "manifest:media-type=\"application/vnd.oasis.opendocument.text\"/>"
      "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
      "<manifest:file-entry manifest:full-path=\"Basic/\" manifest:media-type=\"\"/>"
      "<manifest:file-entry manifest:full-path=\"Basic/script-lc.xml\" manifest:media-type=\"text/xml\"/>"
      "<manifest:file-entry manifest:full-path=\"Basic/Standard/script-lb.xml\" manifest:media-type=\"text/xml\"/>"
      "<manifest:file-entry manifest:full-path=\"Basic/Standard/Module1.xml\" manifest:media-type=\"text/xml\"/>"
      "</manifest:manifest>";
  const std::string libraries =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!DOCTYPE library:libraries PUBLIC "
      "\"-//OpenOffice.org//DTD OfficeDocument 1.0//EN\" \"libraries.dtd\"><library:libraries "
      "xmlns:library=\"http://openoffice.org/2000/library\" xmlns:xlink=\"http://www.w3.org/1999/xlink\">"
      "<library:library library:name=\"Standard\" library:link=\"false\"/></library:libraries>";
  const std::string library =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!DOCTYPE library:library PUBLIC "
      "\"-//OpenOffice.org//DTD OfficeDocument 1.0//EN\" \"library.dtd\"><library:library "
      "xmlns:library=\"http://openoffice.org/2000/library\" library:name=\"Standard\" library:readonly=\"false\" "
      "library:passwordprotected=\"false\"><library:element library:name=\"Module1\"/></library:library>";
  const std::string module =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!DOCTYPE script:module PUBLIC "
      "\"-//OpenOffice.org//DTD OfficeDocument 1.0//EN\" \"module.dtd\"><script:module "
      "xmlns:script=\"http://openoffice.org/2000/script\" script:name=\"Module1\" script:language=\"StarBasic\">"
      "Sub Main\n  ThisComponent.getText().setString(\"" + std::string(kMacroRan) + "\")\nEnd Sub\n"
      "</script:module>";
  return zip({{"mimetype", "application/vnd.oasis.opendocument.text"},
              {"content.xml", content},
              {"META-INF/manifest.xml", manifest},
              {"Basic/script-lc.xml", libraries},
              {"Basic/Standard/script-lb.xml", library},
              {"Basic/Standard/Module1.xml", module}});
}

class HostileDocuments : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!findOffice()) GTEST_SKIP() << "LibreOffice (soffice) is not installed: " << kOfficeInstallHint;
    const SandboxProbe sandbox = officeSandbox();
    if (sandbox.kind == OfficeSandbox::None) GTEST_SKIP() << "LibreOffice cannot be sandboxed here: " << sandbox.reason;
    ASSERT_GT(listener_.port(), 0);
    marker_ = folder_.write("marker.txt", std::string(kSecret) + "\n");
  }
  Listener listener_;
  TempFolder folder_;
  std::string marker_;
};

TEST_F(HostileDocuments, NothingIsFetchedAndNoLinkedFileIsRead) {
  const std::string page = hostilePage(listener_, marker_);
  const std::string archive =
      "MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"b\"\r\n\r\n--b\r\n"
      "Content-Type: text/html; charset=\"utf-8\"\r\nContent-Location: file:///C:/page.htm\r\n\r\n" +
      page + "\r\n--b\r\nContent-Type: text/css\r\nContent-Location: " + listener_.url("style.css") +
      "\r\n\r\np {}\r\n--b--\r\n";
  const std::pair<std::string, std::string> documents[] = {
      {"page.htm", page}, {"archive.mht", archive}, {"linked.docx", hostileDocx(listener_, marker_)}};
  for (const auto& [name, bytes] : documents) {
    RecordingHost host;
    const OpenOutcome opened = OpenDocument(host, folder_.write(name, bytes));
    ASSERT_TRUE(opened.ok()) << name << ": " << opened.error;
    const std::string rtf = host.editor().rtf();
    EXPECT_NE(host.editor().plainText().find(u"HOSTILE-OPENED"), std::u16string::npos) << name;
    EXPECT_EQ(rtf.find(kSecret), std::string::npos) << name << ": the linked local file was read";
  }
  EXPECT_EQ(listener_.connections(), 0) << "LibreOffice reached the network";
}

TEST_F(HostileDocuments, MacrosDoNotRunOnLoad) {
  const OfficeResult converted = convertWithOffice(folder_.write("macro.odt", macroOdt()), "rtf:Rich Text Format", "rtf");
  ASSERT_TRUE(converted.ok()) << converted.error;
  EXPECT_NE(converted.bytes.find(kOpened), std::string::npos);
  EXPECT_EQ(converted.bytes.find(kMacroRan), std::string::npos);
}

// A stand-in for soffice, run in the sandbox, reports what it can reach: its
// job folder's and input's modes, the profile settings, the network, a file
// outside, and whether /usr is writable. The input names the port and the file.
TEST(OfficeSandbox, TheProgramSeesOnlyItsPrivateJobFolder) {
  const SandboxProbe sandbox = officeSandbox();
  if (sandbox.kind != OfficeSandbox::Bubblewrap) GTEST_SKIP() << "bubblewrap cannot run here: " << sandbox.reason;
  if (!std::filesystem::exists("/bin/bash")) GTEST_SKIP() << "the stand-in needs bash";
  TempFolder folder, outside;
  Listener listener;
  const std::string secret = outside.write("secret.txt", std::string(kSecret));
  std::filesystem::create_directories(folder.path() / "office/program");
  const std::string program = folder.write("office/program/soffice",
      "#!/bin/bash\n"
      "in=\"${@: -1}\"; outdir=\"${@: -2:1}\"; job=\"$(dirname \"$outdir\")\"\n"
      "read -r port secret < \"$in\"\n"
      "{ stat -c %a \"$job\" \"$in\" \"$job/profile/user/registrymodifications.xcu\"\n"
      "  grep -o 'MacroSecurityLevel\\|DisableMacrosExecution' \"$job/profile/user/registrymodifications.xcu\"\n"
      "  (exec 3<>\"/dev/tcp/127.0.0.1/$port\") 2>/dev/null && echo network || echo no-network\n"
      "  cat \"$secret\" 2>/dev/null || echo no-secret\n"
      "  touch /usr/yigsgyur-probe 2>/dev/null && echo usr-writable || echo usr-read-only\n"
      "} > \"$outdir/document.rtf\"\n");
  ::chmod(program.c_str(), 0700);
  OfficeSettings& settings = officeSettings();
  const std::string saved = settings.program;
  settings.program = program;
  const OfficeResult result =
      convertBytesWithOffice(std::to_string(listener.port()) + " " + secret + "\n", "txt", "rtf", "rtf");
  settings.program = saved;
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(result.bytes,
            "700\n600\n600\nMacroSecurityLevel\nDisableMacrosExecution\nno-network\nno-secret\nusr-read-only\n");
  EXPECT_EQ(listener.connections(), 0);
}

// Without bubblewrap LibreOffice runs under `unshare --net`: still no
// network, and the user is told once.
TEST(OfficeSandbox, WithoutBubblewrapTheNetworkIsStillCutOffAndThatIsSaid) {
  if (!std::filesystem::exists("/bin/bash") || !std::filesystem::exists("/usr/bin/unshare")) {
    GTEST_SKIP() << "needs bash and unshare";
  }
  TempFolder folder;
  std::filesystem::create_directories(folder.path() / "bin");
  for (const char* tool : {"true", "unshare", "timeout"}) {
    std::error_code ec;
    std::filesystem::create_symlink(std::filesystem::path("/usr/bin") / tool, folder.path() / "bin" / tool, ec);
  }
  const std::string program = folder.write("soffice",
      "#!/bin/bash\n"
      "in=\"${@: -1}\"; outdir=\"${@: -2:1}\"; read -r port < \"$in\"\n"
      "(exec 3<>\"/dev/tcp/127.0.0.1/$port\") 2>/dev/null && echo network > \"$outdir/document.rtf\" ||\n"
      "  echo no-network > \"$outdir/document.rtf\"\n");
  ::chmod(program.c_str(), 0700);
  Listener listener;
  OfficeSettings& settings = officeSettings();
  const OfficeSettings saved = settings;
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  std::vector<std::string> warnings;
  settings.program = program;
  settings.warn = [&warnings](const std::string& text) { warnings.push_back(text); };
  ::setenv("PATH", (folder.path() / "bin").c_str(), 1);
  settings.sandbox = false;
  (void)officeSandbox();  // the next probe is made afresh, without bwrap on PATH
  settings.sandbox = true;
  const SandboxProbe probe = officeSandbox();
  std::vector<OfficeResult> results;
  for (int k = 0; k < 2 && probe.kind == OfficeSandbox::NetworkOnly; ++k) {
    results.push_back(convertBytesWithOffice(std::to_string(listener.port()) + "\n", "txt", "rtf", "rtf"));
  }
  ::setenv("PATH", path.c_str(), 1);
  settings = saved;
  settings.sandbox = false;
  (void)officeSandbox();  // later tests probe again with the real PATH
  settings.sandbox = true;
  if (probe.kind != OfficeSandbox::NetworkOnly) GTEST_SKIP() << "unshare --net cannot run here: " << probe.reason;

  EXPECT_NE(probe.reason.find("bwrap) is not installed"), std::string::npos) << probe.reason;
  for (const OfficeResult& result : results) {
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.bytes, "no-network\n");
  }
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("without bubblewrap"), std::string::npos) << warnings[0];
  EXPECT_EQ(listener.connections(), 0);
}

}  // namespace
}  // namespace yig::docs
