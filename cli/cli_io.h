#pragma once
// File and text helpers shared by the command-line subcommands: whole-file
// reading, atomic writing, and UTF-8 / UTF-16 decoding with byte-order-mark
// detection. Every failure comes back as a one-line message naming the file.
#include <cstddef>
#include <initializer_list>
#include <iosfwd>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace yig::cli {

/// Bytes of a file, or why they could not be read.
struct FileBytes {
  std::string bytes;
  std::string error;  ///< empty on success
  bool ok() const { return error.empty(); }
};

/// Reads the whole file at `path` ("-": standard input). Only regular files
/// are read; a pipe, socket or device named as a file is refused.
FileBytes readFile(const std::string& path);

/// Writes `bytes` to `path` through a temporary file in the same folder that
/// is renamed over the target, so an existing file is either replaced whole or
/// left as it was. Returns the error message, empty on success.
std::string writeFileAtomic(const std::string& path, std::string_view bytes);

/// A file name as messages, progress lines and reports show it: control
/// characters and bytes that are not UTF-8 escaped as \xNN.
std::string shown(std::string_view name);
/// A message as it may be printed: the same escapes, line breaks kept.
std::string escapeControls(std::string_view text);

/// A stream buffer in front of a terminal's: control characters written
/// through it (other than line breaks, tabs, carriage returns and the
/// clear-to-end-of-line sequence ESC [ K that progress lines use) come out as
/// \xNN, so that no text reaching the terminal, a file name in a message
/// above all, can move the cursor, recolour or clear the screen.
class ControlEscapingBuffer : public std::streambuf {
 public:
  explicit ControlEscapingBuffer(std::streambuf* to) : to_(to) {}
  ~ControlEscapingBuffer() override;

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  void put(std::string_view bytes);
  void escapePending();
  std::streambuf* to_;
  std::string pending_;  // an ESC and what followed it, while it may still be ESC [ K
};

/// When `output` is `input` (one file, through whatever links), prints why
/// nothing is written and returns true. "-" (a standard stream) is never the same.
bool refuseSameFile(std::string_view command, const std::string& input, const std::string& output, std::ostream& err);

/// "-" in place of a file name: standard input is kept in a private
/// temporary file for the commands that need a named file, and an output is
/// written to a private file first and copied to standard output when complete.
/// Everything is removed when the object goes.
class StandardStreams {
 public:
  StandardStreams() = default;
  ~StandardStreams();
  StandardStreams(const StandardStreams&) = delete;
  StandardStreams& operator=(const StandardStreams&) = delete;

  /// Standard input in a file named "stdin" + `ending` (".rtf" when the bytes
  /// are RTF and `ending` is empty, else ".txt"); empty with `error` set on failure.
  std::string spoolInput(std::string_view ending, std::string& error);
  /// A private file name for an output that goes to standard output.
  std::string outputFile(std::string_view ending);
  /// Copies the finished file to `out`.
  static bool copyToOutput(const std::string& path, std::ostream& out, std::string& error);

 private:
  std::string folder();
  std::string folder_;
};

enum class TextEncoding {
  Utf8,        ///< no byte-order mark
  Utf8Bom,     ///< EF BB BF
  Utf16LE,     ///< FF FE
  Utf16BE,     ///< FE FF
};

/// Text decoded from a file.
struct DecodedText {
  std::u16string text;  ///< without the byte-order mark
  TextEncoding encoding = TextEncoding::Utf8;
  std::string error;    ///< empty on success: where the bytes stop being valid text
  bool ok() const { return error.empty(); }
};

/// Decodes bytes as UTF-16 when they start with a UTF-16 byte-order mark, else
/// as UTF-8 (a UTF-8 byte-order mark is dropped). Invalid UTF-8 or a dangling
/// odd byte in UTF-16 is an error naming the byte offset.
DecodedText decodeText(std::string_view bytes);

/// The words of a subcommand that takes one input file, "-o OUT" and on/off
/// flags; "--" ends the options, "-" names a standard stream. An output that
/// is the input is refused.
struct InOutArgs {
  std::string input, output;
};
using Flag = std::pair<std::string_view, bool*>;
/// Parses `args`; on --help prints the usage to `out`; on a mistake prints one
/// line (and the usage) to `err`. Returns the exit status to end with, or
/// nothing when the command should go on. `outputHint` names the -o form in messages.
std::optional<int> parseInOutArgs(std::string_view command, const std::vector<std::string>& args,
                                  std::initializer_list<Flag> flags, std::string_view outputHint,
                                  void (*usage)(std::ostream&), std::ostream& out, std::ostream& err,
                                  InOutArgs& parsed);

/// Reads and decodes a text input of `command`; on failure prints one line to
/// `err` and returns nothing.
std::optional<DecodedText> readTextInput(std::string_view command, const std::string& path, std::ostream& err);

}  // namespace yig::cli
