// yigsgyur convert: converts a document between two Tibetan encodings.
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <ostream>

#include "cli/batch.h"
#include "cli/cli_host.h"
#include "cli/cli_io.h"
#include "cli/commands.h"
#include "documents/file_io.h"
#include "platform/platform.h"
#include "documents/open_document.h"
#include "documents/package_route.h"
#include "documents/save_document.h"
#include "documents/rtf_route.h"
#include "engine/conversion_engine.h"
#include "engine/convert_core.h"
#include "engine/encodings.h"
#include "engine/engine_internals.h"
#include "engine/message_map.h"

namespace yig::cli {

namespace {

constexpr std::string_view kUsage =
    "usage: yigsgyur convert --from CODE --to CODE IN -o OUT [--tables DIR] [--lang zh|bo]\n"
    "                        [--sambhota-family Dedris|Ededris]\n"
    "\n"
    "CODE is one of HIMA, BZD, TY, FZ, HG, HKA, SAM (any letter case).\n"
    "IN is any document Yigsgyur opens: RTF, text (UTF-16, UTF-8, GBK), a proof file,\n"
    "or a Word (.doc, .docx), web (.htm, .html, .mht) or XML document (through LibreOffice).\n"
    "OUT is written by its ending: .rtf, .doc, .docx, .htm/.html, .xml; .txt with the\n"
    "target HIMA gives UTF-8 text. Word to Word (.doc, .docx, .docm, .dotx) and\n"
    "OpenDocument to OpenDocument (.odt, .fodt) rewrite only the text runs of the\n"
    "package; a .doc is read and written through LibreOffice as .docx.\n"
    "--tables DIR reads DIR/<CODE>.tbl in place of a built-in table.\n"
    "IN \"-\" reads standard input (RTF or text); OUT \"-\" writes RTF to standard output.\n"
    "\"--\" ends the options. An OUT that is IN (through any link) is refused.\n"
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
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsEnded && a == "--") {
      optionsEnded = true;
      continue;
    }
    auto value = [&](std::string& v) -> bool {
      if (i + 1 >= args.size()) return false;
      v = args[++i];
      return true;
    };
    std::string v;
    if (optionsEnded) {
      if (!o.in.empty()) return "more than one input file (" + docs::quotedName(o.in) + ", " + docs::quotedName(a) + ")";
      o.in = a;
    } else if (a == "--help" || a == "-h") {
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
    } else if (a.size() > 1 && a[0] == '-') {
      return "unknown option " + docs::quotedName(a);
    } else if (o.in.empty()) {
      o.in = a;
    } else {
      return "more than one input file (" + docs::quotedName(o.in) + ", " + docs::quotedName(a) + ")";
    }
  }
  if (o.from.empty()) return "missing --from CODE";
  if (o.to.empty()) return "missing --to CODE";
  if (o.in.empty()) return "missing input file";
  if (o.out.empty()) return "missing -o OUT";
  return {};
}

// "-" as IN or OUT: standard input goes through a private file, and the
// output is written to one and copied to standard output once complete (the
// lines that report on the conversion then go to `err`).
int convertThroughStandardStreams(const Options& o, std::ostream& out, std::ostream& err) {
  StandardStreams streams;
  std::string in = o.in, output = o.out, error;
  if (in == "-") in = streams.spoolInput("", error);
  if (output == "-") output = streams.outputFile(".rtf");
  if (in.empty() || output.empty()) {
    err << "yigsgyur convert: " << (error.empty() ? "cannot make a temporary folder" : error) << '\n';
    return 2;
  }
  Args again = {"--from", toUtf8(o.from), "--to", toUtf8(o.to), "--sambhota-family", toUtf8(o.family),
                "--lang", o.tibetan ? "bo" : "zh", "-o", output};
  if (!o.tables.empty()) again.insert(again.end(), {"--tables", o.tables});
  again.insert(again.end(), {"--", in});
  const int status = runConvert(again, o.out == "-" ? err : out, err);
  if (o.out == "-" && status != 2 && !StandardStreams::copyToOutput(output, out, error)) {
    err << "yigsgyur convert: " << error << '\n';
    return 2;
  }
  return status;
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
  if (refuseSameFile("convert", o.in, o.out, err)) return 2;
  if (o.in == "-" || o.out == "-") return convertThroughStandardStreams(o, out, err);
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
    if (!std::filesystem::is_directory(platform::toPath(o.tables))) {
      err << "yigsgyur convert: table folder '" << o.tables << "' does not exist\n";
      return 2;
    }
    userTables = directoryTables(o.tables);
  }

  CliHost::Options hostOptions;
  hostOptions.tibetan = o.tibetan;
  hostOptions.showProgress = platform::isTerminal(2);
  CliHost host(out, err, hostOptions);

  conv::Options options;
  options.tables = userTables.get();
  options.sambhotaFamily = o.family;
  conv::Callbacks callbacks;
  if (hostOptions.showProgress) {
    host.progressStarted();
    callbacks.progress = [&host](int percent) { host.setProgress(percent); };
  }
  const Encoding from = *encodingFromCode(o.from), to = *encodingFromCode(o.to);
  const auto started = std::chrono::steady_clock::now();
  auto finished = [&](const conv::Result& result) {
    if (hostOptions.showProgress) host.progressStopped();
    if (!result.ok()) {
      host.say(result.message);
      err << "yigsgyur convert: '" << o.in << "': " << toUtf8(host.translateForDisplay(result.message)) << '\n';
      return 2;
    }
    const std::size_t red = result.stats.red;
    host.say(red == 0 ? u"转换完成，正常！" : u"转换完成，发现有不能转换的字符，请检查红色标记字符！”");
    out << toUtf8(host.translateForDisplay(u"耗时")) << ": "
        << toUtf8(elapsedCaption(std::chrono::steady_clock::now() - started)) << '\n';
    out << toUtf8(host.translateForDisplay(u"红色标记字符")) << ": " << red << '\n';
    return red == 0 ? 0 : 1;
  };

  if (docs::packageRoute(o.in, o.out)) {
    // Word and OpenDocument text converted in their own XML: every other part stays as stored.
    docs::PackageConversion c = docs::convertPackageFile(o.in, o.out, from, to, options);
    conv::Result converted;
    converted.stats = c.outcome.stats;
    if (c.ok() && c.outcome.changedParts.empty()) {
      converted.status = conv::Status::NothingToConvert;
      converted.message = conv::statusMessage(converted.status, from);
      return finished(converted);
    }
    const std::string error = c.ok() ? writeFileAtomic(o.out, c.bytes) : c.error;
    if (!error.empty()) {
      if (hostOptions.showProgress) host.progressStopped();
      err << "yigsgyur convert: " << error << '\n';
      return 2;
    }
    return finished(converted);
  }

  if (docs::routeFor(o.in) == docs::OpenRoute::Rtf && endsWith(o.out, ".rtf")) {
    // RTF to RTF a chunk at a time: memory stays bounded whatever the size.
    const docs::FileConversion c = docs::convertRtfFile(o.in, o.out, from, to, options, callbacks);
    if (!c.error.empty()) {
      if (hostOptions.showProgress) host.progressStopped();
      err << "yigsgyur convert: " << c.error << '\n';
      return 2;
    }
    return finished(c.result);
  }

  // Every other input the desktop program opens: Word, web and XML documents
  // as LibreOffice writes them in RTF, text and proof files.
  docs::RtfBytes input = docs::openAsRtf(o.in, "12", o.tibetan);
  if (!input.ok()) {
    err << "yigsgyur convert: " << input.error << '\n';
    return 2;
  }

  std::string output;
  const conv::Result result = conv::convert(input.bytes, from, to, options, output, callbacks);
  std::string().swap(input.bytes);
  if (!result.ok()) return finished(result);

  if (endsWith(o.out, ".rtf")) {
    // Written under exactly the name given.
    std::string error = writeFileAtomic(o.out, output);
    if (!error.empty()) {
      err << "yigsgyur convert: " << error << '\n';
      return 2;
    }
  } else if (plainOut) {
    rt::Document document;
    document.setRtf(output);
    std::string error = writeFileAtomic(o.out, toUtf8(document.plainText()));
    if (!error.empty()) {
      err << "yigsgyur convert: " << error << '\n';
      return 2;
    }
  } else {
    // RTF as the conversion wrote it; Word, web page and XML through LibreOffice.
    docs::SaveOutcome saved = docs::saveRtfAs(output, o.out, docs::formatForPath(o.out));
    if (!saved.ok()) {
      err << "yigsgyur convert: " << saved.error << '\n';
      return 2;
    }
    if (saved.writtenPath != o.out) out << "written to " << saved.writtenPath << '\n';
  }
  return finished(result);
}

}  // namespace yig::cli
