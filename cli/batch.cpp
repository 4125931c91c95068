#include "cli/batch.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "cli/cli_host.h"
#include "cli/cli_io.h"
#include "cli/cli_progress.h"
#include "documents/encoding_guess.h"
#include "documents/file_io.h"
#include "platform/platform.h"
#include "documents/open_document.h"
#include "documents/package_route.h"
#include "documents/text_decoding.h"
#include "documents/rtf_route.h"
#include "engine/conversion_engine.h"
#include "engine/convert_core.h"
#include "engine/encodings.h"
#include "engine/message_map.h"

namespace yig::cli {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kRedSamples = 5;      // red characters listed per file
constexpr std::size_t kRedContext = 12;     // characters of context either side

constexpr std::string_view kUsage =
    "usage: yigsgyur convert --from CODE|auto --to CODE [-r] [-j N] INPUT... -o OUTDIR\n"
    "                        [--report FILE.json] [--dry-run] [--tables DIR] [--lang zh|bo]\n"
    "                        [--sambhota-family Dedris|Ededris]\n"
    "\n"
    "Converts many documents, or whole folders, into OUTDIR. A single folder input\n"
    "is mirrored directly under OUTDIR; with several inputs each keeps its own name\n"
    "there. Names are kept; documents that change format get the ending .rtf (text\n"
    "stays text only when the target is HIMA; web and XML documents become RTF).\n"
    "Word (.docx, .docm, .dotx) and OpenDocument (.odt, .fodt) documents keep their\n"
    "format: only their text runs are rewritten, and --from auto goes by their fonts;\n"
    "a .doc becomes a .docx the same way (LibreOffice reads it).\n"
    "One file with -o naming no folder (and not ending in /) is written to that name.\n"
    "\n"
    "  --from auto      guess each file's encoding (its fonts, or its text)\n"
    "  -r, --recursive  convert folders with all their subfolders\n"
    "  --follow-symlinks  follow symbolic links found in folders (only those that\n"
    "                   stay inside the folder; others are skipped and reported)\n"
    "  -j, --jobs N     files converted at the same time (default: one per core)\n"
    "  --report FILE    write a JSON report of every file\n"
    "  --dry-run        list what would be done and write nothing\n"
    "\n"
    "Inputs are never overwritten, and OUTDIR may not lie inside an input folder.\n"
    "Only regular files are read: links not followed, pipes, sockets and devices\n"
    "are skipped and named in the summary and the report. \"--\" ends the options.\n"
    "Exit status: 0 all clean, 1 some characters left red, 2 some files failed\n"
    "(the others are still converted) or the job could not start.\n";

std::string upperAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

std::string endingOf(std::string_view name) {
  const std::size_t slash = name.find_last_of('/');
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  return upperAscii(std::string(name.substr(dot)));
}

bool isHidden(const fs::path& p) {
  const std::string name = platform::fromPath(p.filename());
  return !name.empty() && name[0] == '.';
}

bool hasFontOf(const rt::Document& doc, std::u16string_view code) {
  for (const rt::Document::Run& run : doc.runs()) {
    const auto e = encodingOfFontName(run.format->font.name);
    if (e && info(*e).code == code) return true;
  }
  return false;
}

// The font plain text in an encoding is shown in (as the encoding guess sets
// it); Sambhota text is glyph bytes, which plain text cannot carry.
std::optional<rt::Font> fontForPlainText(std::u16string_view code) {
  const auto e = encodingFromCode(code);
  if (!e || *e == Encoding::SAM) return std::nullopt;
  rt::Font font;
  font.name = std::u16string(info(*e).targetFontName);
  font.charset = info(*e).targetCharset;
  return font;
}

void applyFontToAll(rt::Document& doc, const rt::Font& font) {
  doc.select(0, doc.length());
  rt::FormatChange change;
  change.font = font;
  doc.applyFormat(change);
  doc.select(0, 0);
}

std::vector<RedSample> redSamples(const rt::Document& doc) {
  std::vector<RedSample> samples;
  const std::u16string_view text = doc.text();
  const rt::Color red{255, 0, 0};
  for (const rt::Document::Run& run : doc.runs()) {
    if (!run.format->color || !(*run.format->color == red)) continue;
    for (std::size_t i = run.start; i < run.end && samples.size() < kRedSamples; ++i) {
      char32_t c = text[i];
      if (c >= 0xDC00 && c <= 0xDFFF && i > run.start) continue;  // second half of a pair
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      }
      if (c == u' ' || c == u'\r' || c == u'\t' || c == u'\v') continue;
      const std::size_t from = i > kRedContext ? i - kRedContext : 0;
      std::u16string context(text.substr(from, std::min(text.size(), i + kRedContext + 1) - from));
      for (char16_t& k : context) {
        if (k == u'\r' || k == u'\n' || k == u'\v' || k == u'\t') k = u' ';
      }
      samples.push_back({c, toUtf8(context)});
    }
    if (samples.size() >= kRedSamples) break;
  }
  return samples;
}

// One planned file.
struct PlanItem {
  std::string input, output;
  std::uintmax_t bytes = 0;
  std::string error;     // set while planning: the file is not converted
  bool skipped = false;  // with `error`: left alone on purpose, not a failure
  bool viaLink = false;  // reached through a symbolic link that was followed
  bool explicitInput = false;  // named on the command line, not found in a folder
};

// A path made absolute and free of "..", symlinks resolved as far as they exist.
fs::path canonicalOf(const fs::path& p) {
  std::error_code ec;
  fs::path c = fs::weakly_canonical(fs::absolute(p, ec), ec);
  return ec ? fs::absolute(p).lexically_normal() : c;
}
fs::path canonicalOf(const std::string& name) { return canonicalOf(platform::toPath(name)); }

bool isInside(const fs::path& inner, const fs::path& outer) {
  auto i = inner.begin();
  for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
    if (o->empty() && std::next(o) == outer.end()) break;  // trailing slash
    if (i == inner.end() || *i != *o) return false;
  }
  return true;
}

class Planner {
 public:
  Planner(const BatchJob& job, BatchSummary& summary) : job_(job), summary_(summary) {}

  std::string plan(std::vector<PlanItem>& items) {
    const fs::path outdir = canonicalOf(job_.outdir);
    std::error_code ec;
    // One file to a name that is not a folder (--from auto, --report or
    // --dry-run on a single document): the name is the output file.
    if (job_.inputs.size() == 1 && !fs::is_directory(platform::toPath(job_.inputs[0]), ec) && !fs::is_directory(outdir, ec) &&
        !platform::isSeparator(job_.outdir.back())) {
      add(platform::toPath(job_.inputs[0]), platform::toPath(job_.outdir), items);
      items.back().explicitInput = true;
      if (endingOf(job_.outdir) == ".TXT" && job_.to != u"HIMA") {
        items.back().error = "a .txt output needs the target HIMA (other encodings need their fonts: write .rtf)";
      }
      resolveClashes(items);
      return {};
    }
    if (fs::exists(outdir, ec) && !fs::is_directory(outdir, ec)) {
      return "the output '" + job_.outdir + "' exists and is not a folder";
    }
    // Folders first: an output folder inside an input folder would be read
    // back as input on a later run and could be written into while it is walked.
    for (const std::string& input : job_.inputs) {
      if (!fs::is_directory(platform::toPath(input), ec)) continue;
      const fs::path folder = canonicalOf(input);
      if (isInside(outdir, folder)) {
        return "the output folder '" + job_.outdir + "' is inside the input folder '" + input +
               "'; choose an output folder outside it";
      }
    }
    const bool singleFolder = job_.inputs.size() == 1 && fs::is_directory(platform::toPath(job_.inputs[0]), ec);
    for (const std::string& input : job_.inputs) {
      if (fs::is_directory(platform::toPath(input), ec)) {
        fs::path root = platform::toPath(job_.outdir);
        if (!singleFolder) {
          fs::path name = platform::toPath(input).lexically_normal().filename();
          if (name.empty() || name == "." || name == "..") name = canonicalOf(input).filename();
          root /= name;
        }
        walk(platform::toPath(input), root, items);
      } else {
        add(platform::toPath(input), platform::toPath(job_.outdir) /
                platform::toPath(outputNameFor(platform::fromPath(platform::toPath(input).filename()), job_.to)),
            items);
        items.back().explicitInput = true;
      }
    }
    resolveClashes(items);
    return {};
  }

 private:
  void add(const fs::path& input, const fs::path& output, std::vector<PlanItem>& items) {
    PlanItem item;
    item.input = platform::fromPath(input);
    item.output = platform::fromPath(output);
    std::error_code ec;
    const auto size = fs::file_size(input, ec);
    if (!ec) item.bytes = size;
    inputs_.insert(canonicalOf(input));
    items.push_back(std::move(item));
  }

  void skip(const fs::path& p, std::string why, std::vector<PlanItem>& items) {
    PlanItem item;
    item.input = platform::fromPath(p);
    item.error = std::move(why);
    item.skipped = true;
    items.push_back(std::move(item));
  }

  // `root` is the canonical input folder the walk started from: nothing
  // outside it is read. `visited` holds the canonical folders walked, so a
  // followed link back up ends.
  void walk(const fs::path& folder, const fs::path& outFolder, std::vector<PlanItem>& items) {
    const fs::path root = canonicalOf(folder);
    std::set<fs::path> visited{root};
    walkIn(folder, outFolder, root, visited, items);
  }

  void walkIn(const fs::path& folder, const fs::path& outFolder, const fs::path& root, std::set<fs::path>& visited,
              std::vector<PlanItem>& items) {
    std::error_code ec;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(*it);
    if (ec) {
      PlanItem item;
      item.input = platform::fromPath(folder);
      item.error = "cannot list the folder " + docs::quotedName(platform::fromPath(folder)) + ": " + ec.message();
      items.push_back(std::move(item));
      return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const fs::directory_entry& a, const fs::directory_entry& b) { return a.path() < b.path(); });
    std::vector<fs::path> subfolders;
    for (const fs::directory_entry& entry : entries) {
      const fs::path& p = entry.path();
      if (isHidden(p)) continue;  // editor backups, our own temporary files
      const fs::file_status own = entry.symlink_status(ec);
      bool viaLink = false;
      fs::file_status status = own;
      if (fs::is_symlink(own)) {
        const fs::file_status target = entry.status(ec);
        const bool folderLink = fs::is_directory(target);
        if (!folderLink && !isDocumentEnding(platform::fromPath(p))) {
          ++summary_.ignored;
          continue;
        }
        if (folderLink && !job_.recursive) continue;
        if (!job_.followSymlinks) {
          skip(p, "a symbolic link: not followed (--follow-symlinks follows links that stay inside the folder)", items);
          continue;
        }
        std::error_code linkError;
        const fs::path resolved = fs::canonical(p, linkError);
        if (linkError) {
          skip(p, "a symbolic link that leads nowhere (" + linkError.message() + ")", items);
          continue;
        }
        if (!isInside(resolved, root)) {
          skip(p, "a symbolic link leading out of the folder " + docs::quotedName(platform::fromPath(root)) + ": not followed",
               items);
          continue;
        }
        if (folderLink && visited.count(resolved) != 0) {
          skip(p, "a symbolic link back to a folder already walked (a loop): not followed", items);
          continue;
        }
        viaLink = true;
        status = target;
      }
      if (fs::is_directory(status)) {
        if (job_.recursive) {
          const fs::path real = canonicalOf(p);
          if (!visited.insert(real).second) {
            skip(p, "a folder already walked (a loop): not walked again", items);
            continue;
          }
          subfolders.push_back(p);
        }
        continue;
      }
      if (!isDocumentEnding(platform::fromPath(p))) {
        ++summary_.ignored;
        continue;
      }
      if (!fs::is_regular_file(status)) {
        skip(p, "not a regular file (pipes, sockets and devices are not read)", items);
        continue;
      }
      add(p, outFolder / platform::toPath(outputNameFor(platform::fromPath(p.filename()), job_.to)), items);
      items.back().viaLink = viaLink;
    }
    for (const fs::path& sub : subfolders) walkIn(sub, outFolder / sub.filename(), root, visited, items);
  }

  // Two inputs must not share an output (a.txt and a.rtf both give a.rtf, a.doc
  // and a.docx both a.docx): a file that keeps its own name keeps its output,
  // and the other's output takes its whole name (a.txt.rtf, a.doc.docx). No
  // output may be an input.
  void resolveClashes(std::vector<PlanItem>& items) {
    std::map<fs::path, std::string> taken;
    for (const bool keepsName : {true, false}) {
      for (PlanItem& item : items) {
        if (!item.error.empty()) continue;
        const fs::path in = platform::toPath(item.input);
        const fs::path planned = platform::toPath(item.output);
        if ((planned.filename() == in.filename()) != keepsName) continue;
        fs::path out = canonicalOf(item.output);
        if (taken.count(out) != 0) {
          const fs::path longer = planned.parent_path() / platform::toPath(platform::fromPath(in.filename()) +
                                                                           platform::fromPath(planned.extension()));
          if (!keepsName && taken.count(canonicalOf(longer)) == 0) {
            item.output = platform::fromPath(longer);
            out = canonicalOf(longer);
          } else {
            item.error = "its output '" + item.output + "' is also the output of '" + taken[out] + "'";
            continue;
          }
        }
        std::error_code ec;
        if (inputs_.count(out) != 0 || fs::equivalent(in, platform::toPath(item.output), ec)) {
          item.error = "its output '" + item.output + "' would overwrite an input";
          continue;
        }
        taken[out] = item.input;
      }
    }
  }

  const BatchJob& job_;
  BatchSummary& summary_;
  std::set<fs::path> inputs_;
};

std::string statusName(BatchFileResult::Status s) {
  switch (s) {
    case BatchFileResult::Status::Planned: return "planned";
    case BatchFileResult::Status::Clean: return "clean";
    case BatchFileResult::Status::Red: return "red";
    case BatchFileResult::Status::Unchanged: return "unchanged";
    case BatchFileResult::Status::Failed: return "failed";
    case BatchFileResult::Status::Skipped: return "skipped";
  }
  return "failed";
}

std::string codePoint(char32_t c) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(c));
  return buffer;
}

class FileConverter {
 public:
  FileConverter(const BatchJob& job, const TableSource& tables, std::mutex& officeMutex)
      : job_(job), tables_(tables), officeMutex_(officeMutex) {}

  BatchFileResult convert(const PlanItem& item) const {
    BatchFileResult r;
    r.input = item.input;
    r.output = item.output;
    r.bytes = item.bytes;
    const auto started = std::chrono::steady_clock::now();
    if (!item.error.empty()) {
      r.status = item.skipped ? BatchFileResult::Status::Skipped : BatchFileResult::Status::Failed;
      r.error = item.error;
      return r;
    }
    // The tree may have changed since it was walked: a file replaced by a
    // link, a pipe or a folder is not read.
    platform::FileStatus own;
    if (!platform::statusOf(item.input, own, false)) {
      fail(r, "cannot read " + docs::quotedName(item.input) + ": " + std::strerror(errno));
      return r;
    }
    if (own.kind == platform::FileStatus::Kind::Link && !item.viaLink && !item.explicitInput) {
      fail(r, "it became a symbolic link while the batch ran: not followed");
      return r;
    }
    try {
      convertInto(item, r);
    } catch (const std::exception& e) {
      r.status = BatchFileResult::Status::Failed;
      r.error = std::string("internal error: ") + e.what();
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return r;
  }

 private:
  static void fail(BatchFileResult& r, std::string why) {
    r.status = BatchFileResult::Status::Failed;
    r.error = std::move(why);
  }

  conv::Options conversionOptions() const {
    conv::Options options;
    options.tables = &tables_;
    options.sambhotaFamily = job_.sambhotaFamily;
    return options;
  }

  // What a finished conversion did, and the message for characters left red.
  void record(const conv::Stats& stats, BatchFileResult& r) const {
    r.charactersConverted = stats.converted;
    r.redMarks = stats.red;
    if (r.redMarks > 0) {
      r.messages.push_back(toUtf8(TranslateForDisplay(u"转换完成，发现有不能转换的字符，请检查红色标记字符！”", job_.tibetan)));
    }
    r.status = r.redMarks > 0 ? BatchFileResult::Status::Red : BatchFileResult::Status::Clean;
  }

  // Word and OpenDocument text rewritten in their own XML; --from auto goes
  // by the fonts of the runs.
  void convertPackage(const PlanItem& item, BatchFileResult& r) const {
    std::optional<Encoding> from;
    if (job_.from != u"AUTO") from = encodingFromCode(job_.from);
    // A .doc is read (or written) by LibreOffice: one such file at a time.
    std::unique_lock lock(officeMutex_, std::defer_lock);
    if (docs::isDocName(item.input) || docs::isDocName(item.output)) lock.lock();
    const docs::PackageConversion c =
        docs::convertPackageFile(item.input, item.output, from, *encodingFromCode(job_.to), conversionOptions());
    if (lock.owns_lock()) lock.unlock();
    if (c.source) r.source = std::u16string(info(*c.source).code);
    if (!from && c.source) r.guessedBy = "fonts";
    if (!c.ok()) return fail(r, c.error);
    if (c.alreadyTarget) {
      r.status = BatchFileResult::Status::Unchanged;
      return write(item, r, c.bytes);
    }
    if (c.outcome.changedParts.empty()) {
      r.messages.push_back(toUtf8(
          TranslateForDisplay(conv::statusMessage(conv::Status::NothingToConvert, *c.source), job_.tibetan)));
      return fail(r, "not converted: " + r.messages.back());
    }
    record(c.outcome.stats, r);
    // The package has no context to show: each sample is the red text itself.
    for (const conv::RedSample& red : c.outcome.stats.firstRed) {
      if (r.redSamples.size() >= kRedSamples || red.text.empty()) break;
      r.redSamples.push_back({static_cast<char32_t>(red.text[0]), toUtf8(red.text)});
    }
    write(item, r, c.bytes);
  }

  void convertInto(const PlanItem& item, BatchFileResult& r) const {
    if (docs::packageRoute(item.input, item.output)) return convertPackage(item, r);
    const docs::OpenRoute route = docs::routeFor(item.input);
    // RTF is converted as it stands; other documents are opened first.
    std::string rtfBytes;
    const bool rawRtf = route == docs::OpenRoute::Rtf;
    docs::OpenedDocument opened;
    if (rawRtf) {
      docs::RtfBytes read = docs::openAsRtf(item.input, "12", job_.tibetan);
      if (!read.ok()) return fail(r, read.error);
      rtfBytes = std::move(read.bytes);
    } else {
      if (route == docs::OpenRoute::WordProcessor) {
        // The word-processor route goes through the documents library's
        // temporary-file helper, which draws names from one shared random
        // generator: one such open at a time.
        std::lock_guard lock(officeMutex_);
        opened = docs::openForConversion(item.input, "12", job_.tibetan);
      } else {
        opened = docs::openForConversion(item.input, "12", job_.tibetan);
      }
      if (!opened.ok()) {
        std::string why = opened.outcome.error;
        if (why.empty()) why = "cannot open '" + item.input + "': " + toUtf8(opened.outcome.status);
        return fail(r, why);
      }
    }
    rt::Document& document = opened.document;

    std::u16string source = job_.from;
    if (source == u"AUTO") {
      // RTF is read into the model only to look at its fonts and text.
      if (rawRtf) document.setRtf(rtfBytes);
      if (opened.outcome.guess) {
        source = std::u16string(opened.outcome.guess->code);
        r.guessedBy = "text";
      } else if (auto byFonts = route == docs::OpenRoute::PlainText ? std::nullopt
                                                                    : docs::guessEncodingFromFonts(document)) {
        // (The fonts of plain text are only the ones the open chose.)
        source = std::u16string(byFonts->code);
        r.guessedBy = "fonts";
      } else if (auto byText = docs::guessEncoding(document.text())) {
        source = std::u16string(byText->code);
        r.guessedBy = "text";
      } else {
        return fail(r, "no Tibetan encoding recognised in its fonts or text; give --from CODE");
      }
    }
    r.source = source;

    const bool textOutput = endingOf(item.output) == ".TXT" && job_.to == u"HIMA";
    auto asText = [](std::string_view rtf) {
      rt::Document d;
      d.setRtf(rtf);
      return toUtf8(d.plainText());
    };
    if (source == job_.to) {
      // Guessed to be in the target encoding already: copied as it reads.
      r.status = BatchFileResult::Status::Unchanged;
      if (rawRtf) {
        write(item, r, textOutput ? asText(rtfBytes) : rtfBytes);
      } else {
        write(item, r, textOutput ? toUtf8(document.plainText()) : document.rtf());
      }
      return;
    }

    if (!rawRtf) {
      // Plain text carries no fonts: it is set in the source encoding's font,
      // unless the open already did so by its guess.
      if (route == docs::OpenRoute::PlainText && !hasFontOf(document, source)) {
        const auto font = fontForPlainText(source);
        if (!font) return fail(r, "plain text cannot hold " + toUtf8(source) + " (its characters need their fonts): convert the RTF document");
        applyFontToAll(document, *font);
      }
      rtfBytes = document.rtf();
    }
    document = rt::Document();

    std::string out;
    const conv::Result result =
        conv::convert(rtfBytes, *encodingFromCode(source), *encodingFromCode(job_.to), conversionOptions(), out);
    std::string().swap(rtfBytes);
    if (!result.ok()) {
      r.messages.push_back(toUtf8(TranslateForDisplay(result.message, job_.tibetan)));
      return fail(r, "not converted: " + r.messages.back());
    }
    record(result.stats, r);
    if (r.redMarks > 0) {
      rt::Document shown;
      shown.setRtf(out);
      r.redSamples = redSamples(shown);
    }
    write(item, r, textOutput ? asText(out) : out);
  }

  static void write(const PlanItem& item, BatchFileResult& r, const std::string& bytes) {
    const fs::path parent = platform::toPath(item.output).parent_path();
    if (!parent.empty()) {
      std::error_code ec;
      fs::create_directories(parent, ec);
      if (ec && !fs::is_directory(parent)) return fail(r, "cannot create the folder '" + platform::fromPath(parent) + "': " + ec.message());
    }
    // The output is never readable by more people than the input.
    unsigned limit = 07777;
    platform::FileStatus input;
    if (platform::statusOf(item.input, input)) limit = input.mode & 0777;
    std::string error = docs::writeFileAtomically(item.output, bytes, limit);
    if (!error.empty()) fail(r, error);
  }

  const BatchJob& job_;
  const TableSource& tables_;
  std::mutex& officeMutex_;
};

std::string progressLine(const BatchFileResult& r) {
  using S = BatchFileResult::Status;
  std::string line;
  switch (r.status) {
    case S::Failed: return "FAILED " + shown(r.input) + ": " + r.error;
    case S::Skipped: return "skipped " + shown(r.input) + ": " + r.error;
    case S::Planned: return shown(r.input) + " -> " + shown(r.output);
    case S::Unchanged: line = "same   "; break;
    case S::Red: line = "red    "; break;
    case S::Clean: line = "ok     "; break;
  }
  line += shown(r.input) + " -> " + shown(r.output) + " (" + toUtf8(r.source);
  if (!r.guessedBy.empty()) line += ", guessed by its " + r.guessedBy;
  if (r.status == S::Unchanged) {
    line += ", already the target";
  } else {
    line += ", " + std::to_string(r.charactersConverted) + " converted";
  }
  if (r.redMarks > 0) {
    line += ", " + std::to_string(r.redMarks) + " left red";
    if (!r.redSamples.empty()) line += " first " + codePoint(r.redSamples.front().code);
  }
  return line + ")";
}

void jsonString(std::string& out, std::string_view s) {
  const std::string clean = toUtf8(docs::decodeUtf8Lenient(s));  // invalid bytes become U+FFFD
  out += '"';
  for (const char c : clean) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
          out += buffer;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

std::string number(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3f", v);
  return buffer;
}

std::string summaryLine(const BatchSummary& s, bool dryRun) {
  using S = BatchFileResult::Status;
  std::string line = std::to_string(s.files.size()) + (s.files.size() == 1 ? " file" : " files");
  if (dryRun) {
    line += " to convert, " + std::to_string(s.count(S::Failed)) + " refused";
  } else {
    line += ": " + std::to_string(s.count(S::Clean) + s.count(S::Unchanged)) + " clean, " +
            std::to_string(s.count(S::Red)) + " with characters left red, " + std::to_string(s.count(S::Failed)) +
            " failed";
  }
  if (s.count(S::Skipped) > 0) line += ", " + std::to_string(s.count(S::Skipped)) + " skipped";
  if (s.ignored > 0) line += " (" + std::to_string(s.ignored) + " other files ignored)";
  line += "; " + formatBytes(s.bytes());
  if (!dryRun) {
    const double secs = s.seconds > 0 ? s.seconds : 1e-9;
    char rate[64];
    std::snprintf(rate, sizeof rate, " in %.2f s, %.1f files/s, %.2f MB/s", s.seconds,
                  static_cast<double>(s.files.size()) / secs, static_cast<double>(s.bytes()) / 1048576.0 / secs);
    line += rate;
    line += ", " + std::to_string(s.threads) + (s.threads == 1 ? " thread" : " threads");
  }
  return line;
}

}  // namespace

std::size_t BatchSummary::count(BatchFileResult::Status s) const {
  return static_cast<std::size_t>(
      std::count_if(files.begin(), files.end(), [s](const BatchFileResult& f) { return f.status == s; }));
}

std::uintmax_t BatchSummary::bytes() const {
  std::uintmax_t total = 0;
  for (const BatchFileResult& f : files) total += f.bytes;
  return total;
}

int BatchSummary::exitStatus() const {
  if (count(BatchFileResult::Status::Failed) > 0) return 2;
  if (count(BatchFileResult::Status::Red) > 0) return 1;
  return 0;
}

bool isDocumentEnding(std::string_view path) {
  static constexpr std::string_view kEndings[] = {".RTF", ".TXT",  ".DOC", ".DOCX", ".DOCM",  ".DOTX", ".ODT",
                                                  ".FODT", ".XML", ".HTM", ".HTML", ".MHT", ".MHTML"};
  const std::string ending = endingOf(path);
  return std::find(std::begin(kEndings), std::end(kEndings), ending) != std::end(kEndings);
}

std::string outputNameFor(const std::string& inputName, std::u16string_view target) {
  const std::string ending = endingOf(inputName);
  const docs::OpenRoute route = docs::routeFor(inputName);
  if (route == docs::OpenRoute::Rtf || docs::packageRoute(inputName, inputName)) {
    // A binary Word document comes back as the package it was converted in.
    if (docs::isDocName(inputName)) return inputName + (inputName.back() == 'C' ? "X" : "x");
    return inputName;
  }
  if (route == docs::OpenRoute::PlainText && ending == ".TXT" && target == u"HIMA") return inputName;
  if (ending.empty()) return inputName + ".rtf";
  return inputName.substr(0, inputName.size() - ending.size()) + ".rtf";
}

std::string runBatchJob(const BatchJob& job, BatchSummary& summary, std::ostream& progressOut, bool terminal) {
  summary = BatchSummary{};
  std::vector<PlanItem> items;
  Planner planner(job, summary);
  if (std::string error = planner.plan(items); !error.empty()) return error;

  std::unique_ptr<TableSource> userTables;
  if (!job.tablesDir.empty()) {
    if (!fs::is_directory(platform::toPath(job.tablesDir))) return "the table folder '" + job.tablesDir + "' does not exist";
    userTables = directoryTables(job.tablesDir);
  }
  const TableSource& tables = userTables ? *userTables : builtinTables();

  summary.files.resize(items.size());
  if (job.dryRun) {
    for (std::size_t i = 0; i < items.size(); ++i) {
      BatchFileResult& r = summary.files[i];
      r.input = items[i].input;
      r.output = items[i].output;
      r.bytes = items[i].bytes;
      r.error = items[i].error;
      r.status = r.error.empty() ? BatchFileResult::Status::Planned
                 : items[i].skipped ? BatchFileResult::Status::Skipped
                                    : BatchFileResult::Status::Failed;
      if (job.from != u"AUTO") r.source = job.from;
    }
    return {};
  }

  unsigned threads = job.jobs != 0 ? job.jobs : std::max(1u, std::thread::hardware_concurrency());
  threads = static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>(threads, items.size())));
  summary.threads = threads;

  // Largest files first, so that a big file is not left to run alone at the end.
  std::vector<std::size_t> order(items.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return items[a].bytes > items[b].bytes; });

  std::uintmax_t totalBytes = 0;
  for (const PlanItem& item : items) totalBytes += item.bytes;
  BatchProgress progress(progressOut, terminal, items.size(), totalBytes);
  std::mutex officeMutex;
  const FileConverter converter(job, tables, officeMutex);
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t k = next++; k < order.size(); k = next++) {
      const std::size_t i = order[k];
      summary.files[i] = converter.convert(items[i]);
      const BatchFileResult& r = summary.files[i];
      progress.fileDone(r.bytes, progressLine(r), r.status == BatchFileResult::Status::Failed ||
                                                      r.status == BatchFileResult::Status::Red ||
                                                      r.status == BatchFileResult::Status::Skipped);
    }
  };
  const auto started = std::chrono::steady_clock::now();
  progress.start();
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  progress.finish();
  summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return {};
}

std::string batchReportJson(const BatchJob& job, const BatchSummary& summary) {
  using S = BatchFileResult::Status;
  std::string j = "{\n  \"from\": ";
  jsonString(j, job.from == u"AUTO" ? "auto" : toUtf8(job.from));
  j += ",\n  \"to\": ";
  jsonString(j, toUtf8(job.to));
  j += ",\n  \"threads\": " + std::to_string(summary.threads);
  j += ",\n  \"dryRun\": ";
  j += job.dryRun ? "true" : "false";
  j += ",\n  \"files\": [";
  bool first = true;
  for (const BatchFileResult& f : summary.files) {
    j += first ? "\n    {" : ",\n    {";
    first = false;
    j += "\"input\": ";
    jsonString(j, shown(f.input));
    j += ", \"output\": ";
    jsonString(j, shown(f.output));
    j += ", \"status\": ";
    jsonString(j, statusName(f.status));
    j += ", \"bytes\": " + std::to_string(f.bytes);
    if (!f.source.empty()) {
      j += ", \"source\": ";
      jsonString(j, toUtf8(f.source));
    }
    if (job.from == u"AUTO" && f.status != S::Planned) {
      j += ", \"guessedBy\": ";
      if (f.guessedBy.empty()) {
        j += "null";
      } else {
        jsonString(j, f.guessedBy);
      }
    }
    j += ", \"seconds\": " + number(f.seconds);
    j += ", \"charactersConverted\": " + std::to_string(f.charactersConverted);
    j += ", \"redMarks\": " + std::to_string(f.redMarks);
    j += ", \"red\": [";
    for (std::size_t k = 0; k < f.redSamples.size(); ++k) {
      j += k == 0 ? "{\"code\": " : ", {\"code\": ";
      jsonString(j, codePoint(f.redSamples[k].code));
      j += ", \"context\": ";
      jsonString(j, f.redSamples[k].context);
      j += "}";
    }
    j += "], \"messages\": [";
    for (std::size_t k = 0; k < f.messages.size(); ++k) {
      if (k > 0) j += ", ";
      jsonString(j, f.messages[k]);
    }
    j += "]";
    if (!f.error.empty()) {
      j += ", \"error\": ";
      jsonString(j, f.error);
    }
    j += "}";
  }
  j += first ? "],\n" : "\n  ],\n";
  j += "  \"summary\": {\"files\": " + std::to_string(summary.files.size()) +
       ", \"clean\": " + std::to_string(summary.count(S::Clean)) +
       ", \"unchanged\": " + std::to_string(summary.count(S::Unchanged)) +
       ", \"red\": " + std::to_string(summary.count(S::Red)) +
       ", \"failed\": " + std::to_string(summary.count(S::Failed)) +
       ", \"skipped\": " + std::to_string(summary.count(S::Skipped)) +
       ", \"ignored\": " + std::to_string(summary.ignored) + ", \"bytes\": " + std::to_string(summary.bytes()) +
       ", \"seconds\": " + number(summary.seconds) + ", \"exitStatus\": " + std::to_string(summary.exitStatus()) +
       ", \"line\": ";
  jsonString(j, summaryLine(summary, job.dryRun));
  j += "}\n}\n";
  return j;
}

bool isBatchConvert(const Args& args) {
  std::size_t positional = 0;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a == "--") {
      if (!optionsEnded) {
        optionsEnded = true;
        continue;
      }
      std::error_code ec;
      if (++positional > 1 || fs::is_directory(platform::toPath(a), ec)) return true;
      continue;
    }
    const bool takesValue = a == "--from" || a == "--to" || a == "-o" || a == "--output" || a == "--tables" ||
                            a == "--lang" || a == "--sambhota-family" || a == "-j" || a == "--jobs" ||
                            a == "--report";
    if (a == "-r" || a == "--recursive" || a == "--dry-run" || a == "-j" || a == "--jobs" || a == "--report" ||
        a == "--follow-symlinks" ||
        a.rfind("--jobs=", 0) == 0 || a.rfind("--report=", 0) == 0 || (a.size() > 2 && a.rfind("-j", 0) == 0)) {
      return true;
    }
    if (takesValue) {
      if (i + 1 >= args.size()) return false;
      const std::string& v = args[++i];
      if (a == "--from" && upperAscii(v) == "AUTO") return true;
      if (a == "-o" || a == "--output") {
        std::error_code ec;
        if (fs::is_directory(platform::toPath(v), ec) || (!v.empty() && platform::isSeparator(v.back()))) return true;
      }
      continue;
    }
    if (!a.empty() && a[0] == '-') continue;
    ++positional;
    std::error_code ec;
    if (positional > 1 || fs::is_directory(platform::toPath(a), ec)) return true;
  }
  return false;
}

namespace {

// Parses the batch command line; returns an error text, empty when fine.
std::string parseBatch(const Args& args, BatchJob& job, bool& help) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string a = args[i];
    if (a == "--") {
      // Every word after "--" is an input, even one that starts with "-".
      job.inputs.insert(job.inputs.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    }
    std::string inlineValue;
    bool hasInline = false;
    if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
      inlineValue = a.substr(a.find('=') + 1);
      a = a.substr(0, a.find('='));
      hasInline = true;
    } else if (a.size() > 2 && a.rfind("-j", 0) == 0) {
      inlineValue = a.substr(2);
      a = "-j";
      hasInline = true;
    }
    auto value = [&](std::string& v) -> bool {
      if (hasInline) {
        v = inlineValue;
        return true;
      }
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
      const std::string code = upperAscii(v);
      const std::u16string code16 = fromUtf8(code);
      if (a == "--from" && code == "AUTO") {
        job.from = u"AUTO";
      } else if (!isEncodingCode(code16)) {
        return "unknown encoding code '" + v + "' (use HIMA, BZD, TY, FZ, HG, HKA or SAM" +
               (a == "--from" ? ", or auto)" : ")");
      } else {
        (a == "--from" ? job.from : job.to) = code16;
      }
    } else if (a == "-o" || a == "--output") {
      if (!value(job.outdir) || job.outdir.empty()) return "option -o needs a folder";
    } else if (a == "-r" || a == "--recursive") {
      job.recursive = true;
    } else if (a == "--follow-symlinks") {
      job.followSymlinks = true;
    } else if (a == "-j" || a == "--jobs") {
      if (!value(v)) return "option -j needs a number of threads";
      char* end = nullptr;
      const long n = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || n < 1 || n > 1024) return "option -j takes a number from 1 to 1024";
      job.jobs = static_cast<unsigned>(n);
    } else if (a == "--report") {
      if (!value(job.reportPath) || job.reportPath.empty()) return "option --report needs a file name";
    } else if (a == "--dry-run") {
      job.dryRun = true;
    } else if (a == "--tables") {
      if (!value(job.tablesDir)) return "option --tables needs a folder";
    } else if (a == "--lang") {
      if (!value(v) || (v != "zh" && v != "bo")) return "option --lang takes zh or bo";
      job.tibetan = v == "bo";
    } else if (a == "--sambhota-family") {
      if (!value(v) || (v != "Dedris" && v != "Ededris")) return "option --sambhota-family takes Dedris or Ededris";
      job.sambhotaFamily = fromUtf8(v);
    } else if (a.size() > 1 && a[0] == '-') {
      return "unknown option " + docs::quotedName(args[i]);
    } else {
      job.inputs.push_back(args[i]);
    }
  }
  if (job.from.empty()) return "missing --from CODE (or --from auto)";
  if (job.to.empty()) return "missing --to CODE";
  if (job.inputs.empty()) return "no input files or folders";
  if (job.outdir.empty()) return "missing -o OUTDIR";
  return {};
}

}  // namespace

int runBatchConvert(const Args& args, std::ostream& out, std::ostream& err) {
  BatchJob job;
  bool help = false;
  const std::string problem = parseBatch(args, job, help);
  if (help) {
    out << kUsage;
    return 0;
  }
  if (!problem.empty()) {
    err << "yigsgyur convert: " << problem << '\n' << kUsage;
    return 2;
  }
  if (job.from == job.to) {
    err << "yigsgyur convert: "
        << toUtf8(TranslateForDisplay(u"\u539F\u6587\u4EF6\u4E0E\u76EE\u6807\u6587\u4EF6\u7F16\u7801\u76F8\u540C\uFF01",
                                      job.tibetan))  // 原文件与目标文件编码相同！
        << '\n';
    return 2;
  }
  if (!job.reportPath.empty()) {
    // The report must not replace an input either.
    std::error_code ec;
    for (const std::string& input : job.inputs) {
      if (canonicalOf(job.reportPath) == canonicalOf(input) || docs::isSameFile(job.reportPath, input) ||
          (fs::is_directory(platform::toPath(input), ec) && isInside(canonicalOf(job.reportPath), canonicalOf(input)))) {
        err << "yigsgyur convert: the report " << docs::quotedName(job.reportPath) << " would be written into an input\n";
        return 2;
      }
    }
  }

  const bool terminal = &err == &std::cerr && platform::isTerminal(STDERR_FILENO);
  BatchSummary summary;
  const std::string error = runBatchJob(job, summary, err, terminal);
  if (!error.empty()) {
    err << "yigsgyur convert: " << error << '\n';
    return 2;
  }
  if (job.dryRun) {
    for (const BatchFileResult& f : summary.files) {
      if (f.status == BatchFileResult::Status::Failed) {
        out << "would fail  " << shown(f.input) << ": " << f.error << '\n';
      } else if (f.status == BatchFileResult::Status::Skipped) {
        out << "would skip  " << shown(f.input) << ": " << f.error << '\n';
      } else {
        out << "would write " << shown(f.output) << "  (from " << shown(f.input) << ")\n";
      }
    }
  } else if (!job.reportPath.empty()) {
    const std::string written = writeFileAtomic(job.reportPath, batchReportJson(job, summary));
    if (!written.empty()) {
      err << "yigsgyur convert: the report was not written: " << written << '\n';
      out << summaryLine(summary, job.dryRun) << '\n';
      return 2;
    }
  }
  out << summaryLine(summary, job.dryRun) << '\n';
  return summary.exitStatus();
}

}  // namespace yig::cli
