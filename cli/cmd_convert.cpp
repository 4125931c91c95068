// yigsgyur convert: converts a document between two Tibetan encodings.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <sstream>

#include "cli/batch.h"
#include "cli/cli_host.h"
#include "cli/commands.h"
#include "engine/conversion_engine.h"
#include "engine/message_map.h"
#include "engine/unicode_text_rtf.h"

namespace yig::cli {

namespace {

constexpr std::string_view kUsage =
    "usage: yigsgyur convert --from CODE --to CODE IN -o OUT [--tables DIR] [--lang zh|bo]\n"
    "                        [--sambhota-family Dedris|Ededris]\n"
    "\n"
    "CODE is one of HIMA, BZD, TY, FZ, HG, HKA, SAM (any letter case).\n"
    "IN is an RTF document or a UTF-8/UTF-16 text file (turned into RTF first).\n"
    "OUT is written as RTF; when it ends in .txt and the target is HIMA, as UTF-8 text.\n"
    "--tables DIR reads DIR/<CODE>.tbl in place of a built-in table.\n"
    "Exit status: 0 converted, 1 converted with characters marked red, 2 error.\n"
    "Many files or folders at once: yigsgyur convert --from CODE|auto --to CODE [-r] [-j N] IN... -o OUTDIR\n"
    "(yigsgyur convert -r --help lists its options).\n";

struct Options {
  std::u16string from, to;
  std::string in, out, tables;
  bool tibetan = false;
  std::u16string family = u"Ededris";
};

// Parses the arguments; returns an error text (empty when fine).
std::string parse(const Args& args, Options& o, bool& help) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& v) -> bool {
      if (i + 1 >= args.size()) return false;
      v = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      help = true;
      return {};
    } else if (a == "--from" || a == "--to") {
      if (!value(v)) return "option " + a + " needs a code";
      std::u16string code = fromUtf8(v);
      for (auto& c : code) {
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
      }
      if (!isEncodingCode(code)) return "unknown encoding code '" + v + "' (use HIMA, BZD, TY, FZ, HG, HKA or SAM)";
      (a == "--from" ? o.from : o.to) = code;
    } else if (a == "-o" || a == "--output") {
      if (!value(o.out)) return "option -o needs a file name";
    } else if (a == "--tables") {
      if (!value(o.tables)) return "option --tables needs a folder";
    } else if (a == "--lang") {
      if (!value(v) || (v != "zh" && v != "bo")) return "option --lang takes zh or bo";
      o.tibetan = v == "bo";
    } else if (a == "--sambhota-family") {
      if (!value(v) || (v != "Dedris" && v != "Ededris")) return "option --sambhota-family takes Dedris or Ededris";
      o.family = fromUtf8(v);
    } else if (!a.empty() && a[0] == '-') {
      return "unknown option '" + a + "'";
    } else if (o.in.empty()) {
      o.in = a;
    } else {
      return "more than one input file ('" + o.in + "', '" + a + "')";
    }
  }
  if (o.from.empty()) return "missing --from CODE";
  if (o.to.empty()) return "missing --to CODE";
  if (o.in.empty()) return "missing input file";
  if (o.out.empty()) return "missing -o OUT";
  return {};
}

bool endsWith(std::string_view s, std::string_view tail) {
  if (s.size() < tail.size()) return false;
  for (std::size_t i = 0; i < tail.size(); ++i) {
    char a = s[s.size() - tail.size() + i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != tail[i]) return false;
  }
  return true;
}

bool looksLikeRtf(std::string_view bytes) {
  std::size_t i = 0;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
  while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\r' || bytes[i] == '\n' || bytes[i] == '\t')) ++i;
  return bytes.substr(i, 5) == "{\\rtf";
}

// Decodes a text file: UTF-16 with a byte-order mark, else UTF-8 (with or
// without its mark). Line ends become CR LF.
bool decodeText(std::string_view bytes, std::u16string& text) {
  if (bytes.size() >= 2 && (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")) {
    bool little = bytes[0] == '\xFF';
    if (bytes.size() % 2 != 0) return false;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      auto lo = static_cast<unsigned char>(bytes[little ? i : i + 1]);
      auto hi = static_cast<unsigned char>(bytes[little ? i + 1 : i]);
      text += static_cast<char16_t>(lo | (hi << 8));
    }
  } else {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    bool ok = true;
    text = fromUtf8(bytes, &ok);
    if (!ok) return false;
  }
  std::u16string lines;
  lines.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == u'\r') {
      lines += u"\r\n";
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else if (c == u'\n') {
      lines += u"\r\n";
    } else {
      lines += c;
    }
  }
  text.swap(lines);
  return true;
}

// Writes `data` to `path` through a temporary file in the same folder and a rename.
bool writeAtomically(const std::string& path, std::string_view data, std::string& error) {
  namespace fs = std::filesystem;
  fs::path target(path);
  fs::path temp = target;
  temp += ".tmp-" + std::to_string(::getpid());
  {
    std::ofstream f(temp, std::ios::binary | std::ios::trunc);
    if (!f) {
      error = "cannot write '" + temp.string() + "'";
      return false;
    }
    f.write(data.data(), static_cast<std::streamsize>(data.size()));
    f.close();
    if (!f) {
      error = "cannot write '" + temp.string() + "'";
      std::error_code ec;
      fs::remove(temp, ec);
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) {
    error = "cannot replace '" + path + "': " + ec.message();
    fs::remove(temp, ec);
    return false;
  }
  return true;
}

}  // namespace

int runConvert(const Args& args, std::ostream& out, std::ostream& err) {
  if (isBatchConvert(args)) return runBatchConvert(args, out, err);
  Options o;
  bool help = false;
  std::string problem = parse(args, o, help);
  if (help) {
    out << kUsage;
    return 0;
  }
  if (!problem.empty()) {
    err << "yigsgyur convert: " << problem << '\n' << kUsage;
    return 2;
  }
  if (o.from == o.to) {
    err << "yigsgyur convert: " << toUtf8(TranslateForDisplay(u"原文件与目标文件编码相同！", o.tibetan)) << '\n';
    return 2;
  }
  bool plainOut = endsWith(o.out, ".txt");
  if (plainOut && o.to != u"HIMA") {
    err << "yigsgyur convert: a .txt output needs the target HIMA (other encodings need their fonts: write .rtf)\n";
    return 2;
  }
  std::unique_ptr<TableSource> userTables;
  if (!o.tables.empty()) {
    if (!std::filesystem::is_directory(o.tables)) {
      err << "yigsgyur convert: table folder '" << o.tables << "' does not exist\n";
      return 2;
    }
    userTables = directoryTables(o.tables);
  }

  std::ifstream in(o.in, std::ios::binary);
  if (!in) {
    err << "yigsgyur convert: cannot read '" << o.in << "'\n";
    return 2;
  }
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();

  CliHost::Options hostOptions;
  hostOptions.tibetan = o.tibetan;
  hostOptions.sourceFontList = standardSourceFontList(o.from);
  hostOptions.sambhotaFamily = o.family;
  hostOptions.showProgress = ::isatty(2) != 0;
  CliHost host(out, err, hostOptions);

  if (looksLikeRtf(bytes)) {
    rt::ReadResult read = host.editor().setRtf(bytes);
    if (!read.ok) {
      err << "yigsgyur convert: '" << o.in << "' is not a readable RTF document: " << read.error << '\n';
      return 2;
    }
  } else {
    std::u16string text;
    if (!decodeText(bytes, text)) {
      err << "yigsgyur convert: '" << o.in << "' is neither RTF nor UTF-8/UTF-16 text\n";
      return 2;
    }
    InsertUnicodeText(host.editor(), text, false);
  }
  std::string().swap(bytes);
  host.workArea().setRtf(host.editor().rtf());

  ConversionEngine engine(host, userTables ? *userTables : builtinTables());
  std::u16string src = o.from, dst = o.to;
  engine.convertFile(src, dst);
  if (!engine.refusal().empty()) return 2;  // the engine has said why

  std::string result;
  if (plainOut) {
    result = toUtf8(host.editor().plainText());
  } else {
    result = host.editor().rtf();
  }
  std::string error;
  if (!writeAtomically(o.out, result, error)) {
    err << "yigsgyur convert: " << error << '\n';
    return 2;
  }
  const ConversionStats& stats = engine.stats();
  if (stats.redMarks == 0) host.say(u"转换完成，正常！");  // the engine itself reports red marks
  out << toUtf8(host.translateForDisplay(u"耗时")) << ": " << toUtf8(host.elapsed()) << '\n';
  out << toUtf8(host.translateForDisplay(u"红色标记字符")) << ": " << stats.redMarks << '\n';
  return stats.redMarks == 0 ? 0 : 1;
}

}  // namespace yig::cli
