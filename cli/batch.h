#pragma once
// Batch conversion: many files and whole folder trees converted into an
// output folder that mirrors them, on several threads. Every file is opened
// the way the desktop program opens it and converted by its own
// ConversionEngine with its own host, editor and work area, so files share
// nothing but the read-only tables. A file that fails is reported and
// skipped; nothing is written for it.
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace yig::cli {

struct BatchJob {
  std::vector<std::string> inputs;  ///< files and folders
  std::string outdir;
  std::u16string from;              ///< an encoding code, or u"AUTO" to guess per file
  std::u16string to;
  bool recursive = false;           ///< folders: the whole tree, not only their own files
  bool followSymlinks = false;      ///< follow symbolic links found in folders, when they stay inside the folder
  unsigned jobs = 0;                ///< threads; 0 = one per core
  bool dryRun = false;              ///< list what would be done, write nothing
  std::string reportPath;           ///< JSON report, when not empty
  std::string tablesDir;            ///< DIR/<CODE>.tbl in place of the built-in tables
  bool tibetan = false;             ///< messages in Tibetan
  std::u16string sambhotaFamily = u"Ededris";
};

/// A character left red in a converted file.
struct RedSample {
  char32_t code = 0;
  std::string context;  ///< UTF-8: a few characters either side, the red one in the middle
};

/// What happened to one file.
struct BatchFileResult {
  enum class Status {
    Planned,    ///< dry run: would be converted
    Clean,      ///< converted, nothing left red
    Red,        ///< converted, some characters left red
    Unchanged,  ///< already in the target encoding (guessed): written as it was
    Failed,     ///< nothing written; `error` says why
    Skipped,    ///< found in a folder but not read (a link not followed, a pipe...); `error` says why
  };
  std::string input;
  std::string output;
  std::uintmax_t bytes = 0;
  Status status = Status::Planned;
  std::u16string source;       ///< the source encoding used (or guessed)
  std::string guessedBy;       ///< with --from auto: "text", "fonts", or empty when nothing decided
  double seconds = 0;
  std::size_t charactersConverted = 0;
  std::size_t redMarks = 0;
  std::vector<RedSample> redSamples;  ///< the first few
  std::vector<std::string> messages;  ///< what the engine said (UTF-8)
  std::string error;
};

struct BatchSummary {
  std::vector<BatchFileResult> files;  ///< in the order of the inputs and of names in folders
  std::size_t ignored = 0;             ///< files in folders that are not documents
  double seconds = 0;
  unsigned threads = 1;
  std::size_t count(BatchFileResult::Status s) const;
  std::uintmax_t bytes() const;
  /// 0 all clean, 1 some characters left red, 2 some files failed
  /// (skipped files do not count against the run).
  int exitStatus() const;
};

/// Endings of the documents a folder is searched for (upper case, with dot).
bool isDocumentEnding(std::string_view path);

/// The output name for an input name: the same, except that a document
/// saved in another format gets the ".rtf" ending (text stays text only when
/// the target is Unicode).
std::string outputNameFor(const std::string& inputName, std::u16string_view target);

/// Runs the job. Returns an empty text and fills `summary`, or the reason the
/// job cannot start (nothing is done then). Progress goes to `progress`
/// (redrawn in place when `terminal`).
std::string runBatchJob(const BatchJob& job, BatchSummary& summary, std::ostream& progress, bool terminal);

/// The JSON report of a finished job.
std::string batchReportJson(const BatchJob& job, const BatchSummary& summary);

/// True when a `convert` command line asks for a batch: several inputs, a
/// folder, an output folder, --from auto, or one of -r, -j, --report, --dry-run.
bool isBatchConvert(const Args& args);

/// `yigsgyur convert` in batch form: parses `args`, runs, prints the summary.
int runBatchConvert(const Args& args, std::ostream& out, std::ostream& err);

}  // namespace yig::cli
