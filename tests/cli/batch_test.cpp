#include "cli/batch.h"
#include "cli/cli_host.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_io.h"
#include "cli/cli_progress.h"
#include "cli/commands.h"
#include "documents/office_bridge.h"
#include "documents/package_route.h"
#include "engine/unicode_text_rtf.h"
#include "richtext/document.h"
#include "tests/skip_on_windows.h"

namespace {

namespace fs = std::filesystem;
using yig::cli::Args;
using yig::cli::BatchFileResult;
using yig::cli::BatchJob;
using yig::cli::BatchSummary;
using Status = yig::cli::BatchFileResult::Status;

// Unicode Tibetan that converts to BZD without a red mark, and a line with
// two characters BZD has no form for (U+0F01, U+0FBE).
const std::string kCleanText = "\xE0\xBD\x96\xE0\xBD\x80\xE0\xBE\xB2\xE0\xBC\x8B\xE0\xBD\xA4\xE0\xBD\xB2\xE0\xBD\xA6\xE0\xBC\x8D\nabc\n";
const std::string kRedText = "\xE0\xBD\x96\xE0\xBD\x80\xE0\xBE\xB2\xE0\xBC\x8B \xE0\xBC\x81 \xE0\xBE\xBE\n";

std::string himaRtf(const std::string& utf8) {
  yig::rt::Document doc;
  std::u16string text = yig::cli::fromUtf8(utf8);
  yig::InsertUnicodeText(doc, text, false);
  return doc.rtf();
}

class Batch : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("yig-batch-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // With the system's separators, as the batch's own names have them.
  std::string path(const std::string& name) const { return (dir_ / fs::path(name).make_preferred()).string(); }
  void write(const std::string& name, const std::string& bytes) const {
    fs::create_directories((dir_ / name).parent_path());
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  std::string read(const std::string& name) const { return yig::cli::readFile(path(name)).bytes; }
  int run(Args args) {
    out_.str("");
    err_.str("");
    args.insert(args.begin(), "convert");
    return yig::cli::run(args, out_, err_);
  }
  BatchSummary runJob(BatchJob job) {
    BatchSummary summary;
    std::ostringstream progress;
    const std::string error = yig::cli::runBatchJob(job, summary, progress, false);
    EXPECT_EQ(error, "");
    return summary;
  }
  static const BatchFileResult* find(const BatchSummary& s, const std::string& end) {
    const std::string inputEnd = fs::path(end).make_preferred().string();
    for (const BatchFileResult& f : s.files) {
      if (f.input.size() >= inputEnd.size() && f.input.compare(f.input.size() - inputEnd.size(), inputEnd.size(), inputEnd) == 0) {
        return &f;
      }
    }
    return nullptr;
  }
  // Every file under `name`, relative to it, hidden ones included.
  std::set<std::string> filesUnder(const std::string& name) const {
    std::set<std::string> files;
    if (!fs::exists(dir_ / name)) return files;
    for (const auto& e : fs::recursive_directory_iterator(dir_ / name)) {
      if (!e.is_directory()) files.insert(fs::relative(e.path(), dir_ / name).generic_string());
    }
    return files;
  }

  // A tree of mixed documents: RTF and text at several depths, one with
  // characters left red, one link (to nothing; links are not followed), one malformed,
  // one text file that is binary, one file that is not a document.
  void makeMixedTree() {
    write("in/top.rtf", himaRtf(kCleanText));
    write("in/sub/plain.txt", kCleanText);
    write("in/sub/deeper/inner.rtf", himaRtf(kCleanText + kCleanText));
    write("in/sub/red.txt", kRedText);
    write("in/broken.rtf", "this is not RTF at all");
    write("in/sub/binary.txt", std::string("ab\0cd", 5));
    write("in/notes.md", "not a document");
    fs::create_symlink(dir_ / "nowhere.rtf", dir_ / "in/sub/gone.rtf");
  }

  fs::path dir_;
  std::ostringstream out_, err_;
};

TEST_F(Batch, MixedTreeOnFourThreadsMirrorsTheTreeAndReportsEachFile) {
  YIG_SKIP_ON_WINDOWS("symbolic links need a privilege on Windows");
  makeMixedTree();
  const int status = run({"--from", "HIMA", "--to", "BZD", "-r", "-j", "4", path("in"), "-o", path("out"),
                          "--report", path("report.json")});
  EXPECT_EQ(status, 2) << err_.str();  // two files failed, one was skipped, the others converted
  EXPECT_EQ(filesUnder("out"), (std::set<std::string>{"top.rtf", "sub/plain.rtf", "sub/red.rtf", "sub/deeper/inner.rtf"}));
  for (const char* out : {"out/top.rtf", "out/sub/plain.rtf", "out/sub/red.rtf", "out/sub/deeper/inner.rtf"}) {
    yig::rt::Document doc;
    ASSERT_TRUE(doc.setRtf(read(out)).ok) << out;
    EXPECT_NE(read(out).find("BZDBT"), std::string::npos) << out;
  }

  const std::string report = read("report.json");
  ASSERT_FALSE(report.empty());
  for (const char* name : {"top.rtf", "plain.txt", "inner.rtf", "red.txt", "broken.rtf", "binary.txt", "gone.rtf"}) {
    EXPECT_NE(report.find(name), std::string::npos) << name;
  }
  EXPECT_EQ(report.find("notes.md"), std::string::npos);
  EXPECT_NE(report.find("\"failed\": 2, \"skipped\": 1"), std::string::npos) << report;
  EXPECT_NE(report.find("\"red\": 1"), std::string::npos) << report;
  EXPECT_NE(report.find("\"ignored\": 1"), std::string::npos) << report;
  EXPECT_NE(report.find("\"code\": \"U+0F01\""), std::string::npos) << report;
  EXPECT_NE(out_.str().find("7 files: 3 clean, 1 with characters left red, 2 failed, 1 skipped"), std::string::npos)
      << out_.str();
}

TEST_F(Batch, EachFileIsReportedTruthfully) {
  YIG_SKIP_ON_WINDOWS("symbolic links need a privilege on Windows");
  makeMixedTree();
  BatchJob job;
  job.inputs = {path("in")};
  job.outdir = path("out");
  job.from = u"HIMA";
  job.to = u"BZD";
  job.recursive = true;
  job.jobs = 4;
  const BatchSummary s = runJob(job);
  ASSERT_EQ(s.files.size(), 7u);
  EXPECT_EQ(s.ignored, 1u);
  EXPECT_EQ(s.exitStatus(), 2);

  struct Expect {
    const char* input;
    Status status;
    const char* output;      // relative to out/, "" when none is written
    const char* errorPart;   // in the error text of a failure
  };
  const Expect expected[] = {
      {"in/top.rtf", Status::Clean, "top.rtf", ""},
      {"in/sub/plain.txt", Status::Clean, "sub/plain.rtf", ""},
      {"in/sub/deeper/inner.rtf", Status::Clean, "sub/deeper/inner.rtf", ""},
      {"in/sub/red.txt", Status::Red, "sub/red.rtf", ""},
      {"in/broken.rtf", Status::Failed, "", "not an RTF document"},
      {"in/sub/binary.txt", Status::Failed, "", "not a text file"},
      {"in/sub/gone.rtf", Status::Skipped, "", "symbolic link"},
  };
  for (const Expect& e : expected) {
    SCOPED_TRACE(e.input);
    const BatchFileResult* f = find(s, e.input);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->status, e.status) << f->error;
    if (e.status == Status::Failed || e.status == Status::Skipped) {
      EXPECT_NE(f->error.find(e.errorPart), std::string::npos) << f->error;
      EXPECT_EQ(f->charactersConverted, 0u);
    } else {
      EXPECT_EQ(f->output, path("out/" + std::string(e.output)));
      EXPECT_EQ(f->source, u"HIMA");
      EXPECT_GT(f->charactersConverted, 0u);
      EXPECT_EQ(f->bytes, fs::file_size(path(e.input)));
    }
  }
  const BatchFileResult* red = find(s, "in/sub/red.txt");
  EXPECT_EQ(red->redMarks, 2u);
  ASSERT_EQ(red->redSamples.size(), 2u);
  EXPECT_EQ(red->redSamples[0].code, U'\u0F01');
  EXPECT_EQ(red->redSamples[1].code, U'\u0FBE');
  EXPECT_NE(red->redSamples[0].context.find("\xE0\xBC\x81"), std::string::npos);
  // The deeper file holds the text twice: twice the characters.
  EXPECT_EQ(find(s, "inner.rtf")->charactersConverted, 2 * find(s, "top.rtf")->charactersConverted);
}

TEST_F(Batch, ExitStatusFollowsTheWorstFile) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;
    int status;
  };
  const Case cases[] = {
      {"all clean", {{"a.txt", kCleanText}, {"b.rtf", himaRtf(kCleanText)}}, 0},
      {"some red", {{"a.txt", kCleanText}, {"b.txt", kRedText}}, 1},
      {"red and failed", {{"a.txt", kRedText}, {"b.rtf", "{not rtf"}}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir_ / "in");
    fs::remove_all(dir_ / "out");
    for (const auto& [name, bytes] : c.files) write("in/" + name, bytes);
    EXPECT_EQ(run({"--from", "hima", "--to", "bzd", "-j", "2", path("in"), "-o", path("out")}), c.status) << err_.str();
  }
}

TEST_F(Batch, OutputFolderInsideAnInputFolderIsRefused) {
  write("in/a.rtf", himaRtf(kCleanText));
  for (const std::string& out : {path("in/converted"), path("in"), path("in/../in/x/y")}) {
    SCOPED_TRACE(out);
    EXPECT_EQ(run({"--from", "HIMA", "--to", "BZD", "-r", path("in"), "-o", out}), 2);
    EXPECT_NE(err_.str().find("inside the input folder"), std::string::npos) << err_.str();
    EXPECT_EQ(filesUnder("in"), std::set<std::string>{"a.rtf"});
  }
}

TEST_F(Batch, InputsAreNeverOverwritten) {
  const std::string original = himaRtf(kCleanText);
  write("in/a.rtf", original);
  write("in/b.txt", kCleanText);
  // Files named one by one, written into their own folder: a.rtf would be
  // its own output; b.txt becomes b.rtf beside it.
  EXPECT_EQ(run({"--from", "HIMA", "--to", "BZD", path("in/a.rtf"), path("in/b.txt"), "-o", path("in")}), 2);
  EXPECT_EQ(read("in/a.rtf"), original);
  EXPECT_NE(out_.str().find("1 failed"), std::string::npos) << out_.str();
  EXPECT_NE(err_.str().find("would overwrite an input"), std::string::npos) << err_.str();
  EXPECT_TRUE(fs::exists(path("in/b.rtf")));

  // The report may not replace an input either.
  EXPECT_EQ(run({"--from", "HIMA", "--to", "BZD", path("in/b.txt"), "-o", path("out"), "--report", path("in/b.txt")}), 2);
  EXPECT_EQ(read("in/b.txt"), kCleanText);
}

TEST_F(Batch, SameOutputNameKeepsTheWholeInputName) {
  write("in/a.rtf", himaRtf(kCleanText));
  write("in/a.txt", kCleanText);
  BatchJob job;
  job.inputs = {path("in")};
  job.outdir = path("out");
  job.from = u"HIMA";
  job.to = u"BZD";
  const BatchSummary s = runJob(job);
  EXPECT_EQ(s.exitStatus(), 0);
  EXPECT_EQ(filesUnder("out"), (std::set<std::string>{"a.rtf", "a.txt.rtf"}));
  // A .doc listed before the .docx of its name: the .docx still keeps its name.
  write("words/b.doc", "x");
  write("words/b.docx", "x");
  job.inputs = {path("words")};
  job.dryRun = true;
  const BatchSummary planned = runJob(job);
  EXPECT_EQ(find(planned, "b.doc")->output, path("out/b.doc.docx"));
  EXPECT_EQ(find(planned, "b.docx")->output, path("out/b.docx"));
}

TEST_F(Batch, DryRunWritesNothing) {
  YIG_SKIP_ON_WINDOWS("symbolic links need a privilege on Windows");
  makeMixedTree();
  EXPECT_EQ(run({"--from", "HIMA", "--to", "BZD", "-r", "--dry-run", path("in"), "-o", path("out"), "--report",
                 path("report.json")}),
            0)
      << err_.str();
  EXPECT_FALSE(fs::exists(path("out")));
  EXPECT_FALSE(fs::exists(path("report.json")));
  EXPECT_NE(out_.str().find("would write " + path("out/sub/deeper/inner.rtf")), std::string::npos) << out_.str();
}

TEST_F(Batch, AutoGuessesEachFileAndReportsTheGuess) {
  // BZD documents made by a first run, then a mixed folder converted to HIMA.
  write("stage/bzd.rtf", himaRtf(kCleanText));
  BatchJob first;
  first.inputs = {path("stage/bzd.rtf")};
  first.outdir = path("in") + "/";  // a folder, though it does not exist yet
  first.from = u"HIMA";
  first.to = u"BZD";
  ASSERT_EQ(runJob(first).exitStatus(), 0);
  write("in/hima.rtf", himaRtf(kCleanText));
  write("in/hima.txt", kCleanText);
  write("in/latin.txt", "only latin letters\n");

  BatchJob job;
  job.inputs = {path("in")};
  job.outdir = path("out");
  job.from = u"AUTO";
  job.to = u"HIMA";
  const BatchSummary s = runJob(job);
  struct Expect {
    const char* input;
    std::u16string source;
    std::string by;
    Status status;
  };
  const Expect expected[] = {
      {"bzd.rtf", u"BZD", "fonts", Status::Clean},
      {"hima.rtf", u"HIMA", "fonts", Status::Unchanged},
      {"hima.txt", u"HIMA", "text", Status::Unchanged},
      {"latin.txt", u"", "", Status::Failed},
  };
  for (const Expect& e : expected) {
    SCOPED_TRACE(e.input);
    const BatchFileResult* f = find(s, e.input);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->status, e.status) << f->error;
    EXPECT_EQ(f->source, e.source);
    EXPECT_EQ(f->guessedBy, e.by);
  }
  // The BZD document came back to the Unicode text it was made from.
  yig::rt::Document back;
  ASSERT_TRUE(back.setRtf(read("out/bzd.rtf")).ok);
  EXPECT_NE(back.plainText().find(yig::cli::fromUtf8(kCleanText.substr(0, 21))), std::u16string::npos);
  // A Unicode text guessed to be in the target encoding stays text, as it was.
  EXPECT_EQ(read("out/hima.txt").substr(0, 24), kCleanText.substr(0, 24));
}

TEST_F(Batch, PlainTextTakesTheFontOfTheGivenSource) {
  // Without --from auto, the user's source is believed even where the guess
  // says otherwise: BZD text made of code page 936 characters.
  write("stage/a.rtf", himaRtf(kCleanText));
  BatchJob first;
  first.inputs = {path("stage/a.rtf")};
  first.outdir = path("bzd") + "/";
  first.from = u"HIMA";
  first.to = u"BZD";
  ASSERT_EQ(runJob(first).exitStatus(), 0);
  yig::rt::Document bzd;
  ASSERT_TRUE(bzd.setRtf(read("bzd/a.rtf")).ok);
  // Blank lines first: the guess looks at the first 500 characters only and
  // finds nothing to go by.
  write("in/bzd.txt", std::string(600, '\n') + yig::cli::toUtf8(bzd.plainText()));

  BatchJob job;
  job.inputs = {path("in/bzd.txt")};
  job.outdir = path("out") + "/";
  job.from = u"BZD";
  job.to = u"HIMA";
  const BatchSummary s = runJob(job);
  ASSERT_EQ(s.files.size(), 1u);
  EXPECT_EQ(s.files[0].status, Status::Clean) << s.files[0].error;
  EXPECT_EQ(fs::path(s.files[0].output).filename(), "bzd.txt");
  EXPECT_NE(read("out/bzd.txt").find(kCleanText.substr(0, 21)), std::string::npos);
}

TEST_F(Batch, ReportEscapesNamesAndCountsMatchTheRun) {
  YIG_SKIP_ON_WINDOWS("its names hold quotes, which Windows does not take");
  write("in/we\"ird\\name.txt", kRedText);
  EXPECT_EQ(run({"--from", "HIMA", "--to", "BZD", path("in"), "-o", path("out"), "--report", path("r.json")}), 1);
  const std::string report = read("r.json");
  EXPECT_NE(report.find("we\\\"ird\\\\name.txt"), std::string::npos) << report;
  EXPECT_NE(report.find("\"redMarks\": 2"), std::string::npos) << report;
  EXPECT_NE(report.find("\"exitStatus\": 1"), std::string::npos) << report;
}

TEST_F(Batch, NonDocumentsInFoldersAndSubfoldersWithoutRecursionAreLeftOut) {
  write("in/a.txt", kCleanText);
  write("in/sub/b.txt", kCleanText);
  write("in/.hidden.txt", kCleanText);
  write("in/picture.png", "png");
  BatchJob job;
  job.inputs = {path("in")};
  job.outdir = path("out");
  job.from = u"HIMA";
  job.to = u"BZD";
  const BatchSummary s = runJob(job);
  ASSERT_EQ(s.files.size(), 1u);
  EXPECT_EQ(s.ignored, 1u);
  EXPECT_EQ(filesUnder("out"), std::set<std::string>{"a.rtf"});
}

TEST_F(Batch, SeveralInputsKeepTheirNamesUnderTheOutputFolder) {
  write("one/a.txt", kCleanText);
  write("two/a.txt", kCleanText);
  write("single.txt", kCleanText);
  EXPECT_EQ(run({"--from", "HIMA", "--to", "hima", path("one"), "-o", path("out")}), 2);  // nothing to do
  EXPECT_FALSE(fs::exists(path("out")));
  EXPECT_EQ(run({"--from", "HIMA", "--to", "BZD", path("one"), path("two") + "/", path("single.txt"), "-o",
                 path("out")}),
            0)
      << err_.str();
  EXPECT_EQ(filesUnder("out"), (std::set<std::string>{"one/a.rtf", "two/a.rtf", "single.rtf"}));
}

TEST_F(Batch, WordDocumentWithoutLibreOfficeFailsAloneAndWritesNothing) {
  struct MissingOffice {
    std::string saved = yig::docs::officeSettings().program;
    MissingOffice() { yig::docs::officeSettings().program = "/nonexistent/soffice"; }
    ~MissingOffice() { yig::docs::officeSettings().program = saved; }
  } missing;
  write("in/letter.doc", "\xD0\xCF\x11\xE0 pretend Word document");
  write("in/a.txt", kCleanText);
  write("in/b.txt", kCleanText);
  BatchJob job;
  job.inputs = {path("in")};
  job.outdir = path("out");
  job.from = u"HIMA";
  job.to = u"BZD";
  job.jobs = 3;
  const BatchSummary s = runJob(job);
  const BatchFileResult* doc = find(s, "letter.doc");
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->status, Status::Failed);
  EXPECT_NE(doc->error.find("LibreOffice"), std::string::npos) << doc->error;
  EXPECT_EQ(filesUnder("out"), (std::set<std::string>{"a.rtf", "b.rtf"}));
  EXPECT_EQ(s.exitStatus(), 2);
}

TEST_F(Batch, WordAndOpenDocumentKeepTheirFormatAndAreGuessedByTheirFonts) {
  auto data = [](const std::string& name) {
    return yig::cli::readFile(std::string(YIG_TEST_DATA_DIR) + "/documents/" + name).bytes;
  };
  write("in/bzd.docx", data("lo-bzd.docx"));
  write("in/sub/ty.odt", data("lo-ty.odt"));
  write("in/hima.docx", data("lo-hima.docx"));
  BatchJob job;
  job.inputs = {path("in")};
  job.outdir = path("out");
  job.from = u"AUTO";
  job.to = u"HIMA";
  job.recursive = true;
  const BatchSummary s = runJob(job);
  EXPECT_EQ(filesUnder("out"), (std::set<std::string>{"bzd.docx", "sub/ty.odt", "hima.docx"}));
  struct Expect {
    const char* name;
    std::u16string source;
    Status status;
  };
  for (const Expect& e : {Expect{"bzd.docx", u"BZD", Status::Clean}, Expect{"sub/ty.odt", u"TY", Status::Clean},
                          Expect{"hima.docx", u"HIMA", Status::Unchanged}}) {
    SCOPED_TRACE(e.name);
    const BatchFileResult* f = find(s, e.name);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->status, e.status) << f->error;
    EXPECT_EQ(f->source, e.source);
    EXPECT_EQ(f->guessedBy, "fonts");
    // What is written holds text in Unicode fonts only.
    std::string error;
    const std::string out = read(std::string("out/") + e.name);
    const auto parts = yig::docs::packageEncodings(
        e.name[0] == 's' ? yig::docs::PackageKind::OpenDocument : yig::docs::PackageKind::Word, out, error);
    EXPECT_EQ(yig::docs::mostUsedEncoding(parts), yig::Encoding::HIMA) << error;
    for (const auto& part : parts) {
      EXPECT_TRUE(part.encodings.empty() || part.encodings == std::vector{yig::Encoding::HIMA}) << part.part;
    }
  }
  EXPECT_EQ(read("out/hima.docx"), data("lo-hima.docx"));
}

TEST_F(Batch, OneFileToAFileNameWritesThatFile) {
  write("in/a.txt", kCleanText);
  // --report or --from auto make it a batch; the output is still the file named.
  EXPECT_EQ(run({"--from", "auto", "--to", "BZD", path("in/a.txt"), "-o", path("b.rtf"), "--report", path("r.json")}), 0)
      << err_.str();
  EXPECT_TRUE(fs::is_regular_file(path("b.rtf")));
  EXPECT_NE(read("b.rtf").find("BZDBT"), std::string::npos);
  EXPECT_NE(read("r.json").find("\"guessedBy\": \"text\""), std::string::npos);
  // Plain text cannot carry the national-standard fonts.
  EXPECT_EQ(run({"--from", "HIMA", "--to", "BZD", path("in/a.txt"), "-o", path("c.txt"), "--report", path("r.json")}), 2);
  EXPECT_FALSE(fs::exists(path("c.txt")));
}

TEST(BatchNames, OutputEndingChangesOnlyWithTheFormat) {
  struct Case {
    const char* input;
    std::u16string target;
    const char* output;
  };
  const Case cases[] = {
      {"a.rtf", u"BZD", "a.rtf"},       {"a.RTF", u"HIMA", "a.RTF"},     {"a.txt", u"HIMA", "a.txt"},
      {"a.txt", u"BZD", "a.rtf"},       {"a.TXT", u"SAM", "a.rtf"},      {"a.doc", u"HIMA", "a.docx"},
      {"a.b.docx", u"BZD", "a.b.docx"}, {"page.html", u"HIMA", "page.rtf"}, {"README", u"HIMA", "README.rtf"},
      {"a.odt", u"SAM", "a.odt"},       {"a.FODT", u"HIMA", "a.FODT"},   {"a.docm", u"TY", "a.docm"},     {"B.DOC", u"HG", "B.DOCX"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(yig::cli::outputNameFor(c.input, c.target), c.output) << c.input;
  }
}

TEST(BatchDispatch, BatchFormIsRecognised) {
  const std::string folder = fs::temp_directory_path().string();
  struct Case {
    Args args;
    bool batch;
  };
  const Case cases[] = {
      {{"--from", "HIMA", "--to", "BZD", "a.rtf", "-o", "b.rtf"}, false},
      {{"--from", "HIMA", "--to", "BZD", "a.rtf", "-o", "b.rtf", "--tables", folder}, false},
      {{"--from", "HIMA", "--to", "BZD", "a.rtf", "b.rtf", "-o", "out"}, true},
      {{"--from", "auto", "--to", "BZD", "a.rtf", "-o", "b.rtf"}, true},
      {{"--from", "HIMA", "--to", "BZD", "-r", "a.rtf", "-o", "b.rtf"}, true},
      {{"--from", "HIMA", "--to", "BZD", "-j4", "a.rtf", "-o", "b.rtf"}, true},
      {{"--from", "HIMA", "--to", "BZD", "a.rtf", "-o", "b.rtf", "--report", "r.json"}, true},
      {{"--from", "HIMA", "--to", "BZD", "a.rtf", "-o", "b.rtf", "--dry-run"}, true},
      {{"--from", "HIMA", "--to", "BZD", "a.rtf", "-o", folder}, true},
      {{"--from", "HIMA", "--to", "BZD", "a.rtf", "-o", "newdir/"}, true},
      {{"--from", "HIMA", "--to", "BZD", folder, "-o", "out"}, true},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const auto& a : c.args) line += a + " ";
    EXPECT_EQ(yig::cli::isBatchConvert(c.args), c.batch) << line;
  }
}

TEST(BatchProgressLine, FitsTheWidthAndEstimatesTheTimeLeft) {
  yig::cli::ProgressSnapshot s;
  s.filesDone = 25;
  s.filesTotal = 100;
  s.bytesDone = 10 * 1048576;
  s.bytesTotal = 40 * 1048576;
  s.elapsedSeconds = 5;  // 2 MB/s, 30 MB to go: 15 s
  const std::string line = yig::cli::renderProgressLine(s, 100);
  EXPECT_NE(line.find("25/100 files"), std::string::npos) << line;
  EXPECT_NE(line.find("2.0 MB/s"), std::string::npos) << line;
  EXPECT_NE(line.find("0:15 left"), std::string::npos) << line;
  EXPECT_NE(line.find("[#######"), std::string::npos) << line;
  for (std::size_t width : {100u, 60u, 30u, 10u}) EXPECT_LE(yig::cli::renderProgressLine(s, width).size(), width);

  s.bytesDone = 0;  // nothing done yet: no rate, no estimate
  EXPECT_EQ(yig::cli::renderProgressLine(s, 100).find("/s"), std::string::npos);
}

TEST(BatchProgressLine, UnitsAndDurations) {
  EXPECT_EQ(yig::cli::formatBytes(0), "0 B");
  EXPECT_EQ(yig::cli::formatBytes(1023), "1023 B");
  EXPECT_EQ(yig::cli::formatBytes(1536), "1.5 KB");
  EXPECT_EQ(yig::cli::formatBytes(200ull * 1048576), "200.0 MB");
  EXPECT_EQ(yig::cli::formatDuration(59.6), "1:00");
  EXPECT_EQ(yig::cli::formatDuration(3725), "1:02:05");
  EXPECT_EQ(yig::cli::formatDuration(-1), "0:00");
}

}  // namespace

// A hostile tree: links out of it, a link loop, a pipe, the longest name,
// names with control characters and bytes that are not UTF-8, and an RTF cut
// off before its end. Nothing outside the tree is read, every file left alone
// is named with its reason, and the cut-off file is a failure.
TEST_F(Batch, HostileTreeStaysInsideAndNamesEveryFileLeftAlone) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links, named pipes and modes: POSIX only";
#else
  const std::string longest = std::string(251, 'n') + ".rtf";
  const std::string odd[] = {"new\nline.rtf", "esc\x1B[2J.rtf", "bad\xFF.rtf", longest};
  write("outside/secret.rtf", himaRtf(kCleanText + "SECRET-OUTSIDE\n"));
  write("in/good.rtf", himaRtf(kCleanText));
  write("in/sub/inner.rtf", himaRtf(kCleanText));
  for (const std::string& name : odd) write("in/" + name, himaRtf(kCleanText));
  const std::string whole = himaRtf(kCleanText);
  write("in/cut.rtf", whole.substr(0, whole.size() / 2));
  ::chmod(path("in/good.rtf").c_str(), 0600);
  fs::create_symlink(path("outside/secret.rtf"), path("in/out-link.rtf"));
  fs::create_symlink(path("outside"), path("in/out-folder"));
  fs::create_symlink(path("in"), path("in/sub/loop"));
  fs::create_symlink("good.rtf", path("in/in-link.rtf"));
  ASSERT_EQ(::mkfifo(path("in/pipe.rtf").c_str(), 0600), 0);

  struct Expect {
    const char* input;
    Status status;
    const char* reason;
  };
  const Expect leftAlone[] = {
      {"in/out-link.rtf", Status::Skipped, "symbolic link"},   {"in/out-folder", Status::Skipped, "symbolic link"},
      {"in/sub/loop", Status::Skipped, "symbolic link"},       {"in/in-link.rtf", Status::Skipped, "not followed"},
      {"in/pipe.rtf", Status::Skipped, "not a regular file"}, {"in/cut.rtf", Status::Failed, "RTF"},
  };
  for (const bool follow : {false, true}) {
    SCOPED_TRACE(follow ? "following links" : "not following links");
    fs::remove_all(dir_ / "out");
    Args args = {"--from", "HIMA", "--to", "BZD", "-r", "-j", "2", path("in"), "-o", path("out"), "--report",
                 path("r.json")};
    if (follow) args.push_back("--follow-symlinks");
    EXPECT_EQ(run(args), 2) << err_.str();

    std::set<std::string> written = {"good.rtf", "sub/inner.rtf"};
    for (const std::string& name : odd) written.insert(name);
    if (follow) written.insert("in-link.rtf");
    EXPECT_EQ(filesUnder("out"), written);
    for (const std::string& name : written) EXPECT_EQ(read("out/" + name).find("SECRET"), std::string::npos) << name;
    struct stat info {};
    ASSERT_EQ(::stat(path("out/good.rtf").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u) << "wider permissions than the input";

    BatchJob job;
    job.inputs = {path("in")};
    job.outdir = path("out-job");
    job.from = u"HIMA";
    job.to = u"BZD";
    job.recursive = true;
    job.followSymlinks = follow;
    const BatchSummary s = runJob(job);
    for (const Expect& e : leftAlone) {
      if (follow && std::string(e.input) == "in/in-link.rtf") continue;
      const BatchFileResult* f = find(s, e.input);
      ASSERT_NE(f, nullptr) << e.input;
      EXPECT_EQ(f->status, e.status) << e.input;
      EXPECT_NE(f->error.find(e.reason), std::string::npos) << e.input << ": " << f->error;
    }
    const std::string report = read("r.json");
    EXPECT_NE(report.find("pipe.rtf\", \"output\": \"\", \"status\": \"skipped\""), std::string::npos) << report;
    EXPECT_NE(report.find("cut.rtf\", \"status\": \"failed\""), std::string::npos) << report;
    EXPECT_NE(report.find("\"skipped\": " + std::to_string(follow ? 4 : 5)), std::string::npos) << report;
    // Names reach the terminal and the report escaped.
    for (const std::string& shown : {out_.str(), err_.str(), report}) {
      EXPECT_EQ(shown.find('\x1B'), std::string::npos);
      EXPECT_EQ(shown.find('\xFF'), std::string::npos);
      EXPECT_EQ(shown.find("new\nline"), std::string::npos);
    }
    EXPECT_NE(err_.str().find("esc\\x1B[2J.rtf"), std::string::npos) << err_.str();
  }
#endif
}

// An output that is the input, by any name, is refused before anything is
// written; so is a cut-off RTF. "--" ends the options.
TEST_F(Batch, SingleCommandsRefuseTheirInputAsOutput) {
  YIG_SKIP_ON_WINDOWS("symbolic links need a privilege on Windows");
  const std::string original = himaRtf(kCleanText);
  write("a.rtf", original);
  write("a.txt", kCleanText);
  fs::create_symlink(path("a.rtf"), path("soft.rtf"));
  fs::create_hard_link(path("a.rtf"), path("hard.rtf"));
  fs::create_hard_link(path("a.txt"), path("hard.txt"));
  const Args cases[] = {
      {"convert", "--from", "HIMA", "--to", "BZD", path("a.rtf"), "-o", path("a.rtf")},
      {"convert", "--from", "HIMA", "--to", "BZD", path("a.rtf"), "-o", path("soft.rtf")},
      {"convert", "--from", "HIMA", "--to", "BZD", path("soft.rtf"), "-o", path("hard.rtf")},
      {"save", path("a.rtf"), "-o", path("hard.rtf")},
      {"open", path("hard.rtf"), "-o", path("a.rtf")},
      {"text2rtf", path("a.txt"), "-o", path("hard.txt")},
      {"sort", path("hard.txt"), "-o", path("a.txt")},
  };
  for (const Args& args : cases) {
    SCOPED_TRACE(args[0] + " " + args[args.size() - 3] + " -o " + args.back());
    std::ostringstream out, err;
    EXPECT_EQ(yig::cli::run(args, out, err), 2);
    EXPECT_NE(err.str().find("the same file"), std::string::npos) << err.str();
    EXPECT_EQ(read("a.rtf"), original);
    EXPECT_EQ(read("a.txt"), kCleanText);
  }
  write("cut.rtf", original.substr(0, original.size() - 3));
  EXPECT_EQ(run({"--from", "HIMA", "--to", "BZD", path("cut.rtf"), "-o", path("cut-out.rtf")}), 2);
  EXPECT_FALSE(fs::exists(path("cut-out.rtf")));
  // After "--" a word that looks like an option is a file name.
  EXPECT_EQ(run({"--from", "HIMA", "--to", "BZD", "-o", path("x.rtf"), "--", "-x.rtf"}), 2);
  EXPECT_EQ(err_.str().find("unknown option"), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("'-x.rtf'"), std::string::npos) << err_.str();
}
