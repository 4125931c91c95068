#pragma once
// The conversion core: RTF bytes in, RTF bytes out, in one pass.
//
// The input is lexed once. The core follows the RTF state a reader keeps
// (groups, fonts and their associated slots, styles, \ucN, destinations) and
// decides for every character which font draws it. Characters drawn in a font
// of the source encoding are converted; every other byte is copied as it
// stands. The target font is added to the font table under a number no font
// of the document uses, and red to the colour table; converted text is
// written inside a group of its own that names the target font, characters
// that cannot be converted keep their bytes inside a red group.
//
// The input may arrive in chunks and the output leaves through a sink, so
// memory stays bounded by the longest run of text and the document's tables.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/encodings.h"
#include "engine/mapping_table.h"

namespace yig::conv {

struct Options {
  const TableSource* tables = nullptr;  ///< nullptr: the tables built into the program
  /// The Sambhota family written when converting to Sambhota ("Dedris" or "Ededris").
  std::u16string sambhotaFamily = u"Ededris";
  /// Refuse a document that holds no font of the source encoding (the panel's
  /// request does; the second stage of a chain does not need to).
  bool requireSourceFont = true;
  /// Input size when known, for progress.
  std::uint64_t totalBytes = 0;
};

enum class Status {
  Converted,         ///< the output is complete (it may hold red marks)
  NothingToConvert,  ///< no font of the source encoding: nothing written worth keeping
  Incomplete,        ///< not a whole RTF document (cut off, unbalanced groups)
  NoFontTable,       ///< an RTF document without a font table
  NoTable,           ///< the mapping table could not be found
  Cancelled,         ///< stopped by the caller
  SameEncoding,      ///< source and target are the same
};

/// A character left red, with where it stood.
struct RedSample {
  std::uint64_t offset = 0;  ///< byte offset in the input (of the first stage for a chain)
  std::u16string text;       ///< the character(s) as the source encoding gives them
};

struct Stats {
  std::size_t converted = 0;  ///< units written in the target encoding
  std::size_t red = 0;        ///< characters left or marked red
  std::vector<RedSample> firstRed;  ///< the first few red characters
};

struct Result {
  Status status = Status::Converted;
  Stats stats;
  std::u16string message;  ///< the message for the user when status is not Converted
  bool ok() const { return status == Status::Converted; }
};

/// Receives the output as it is written.
using Sink = std::function<void(std::string_view)>;

struct Callbacks {
  std::function<void(int percent)> progress;  ///< 0..100, at most once per percent
  std::function<bool()> cancelled;            ///< polled now and then; true stops the conversion
};

/// How many red characters Stats::firstRed keeps.
inline constexpr std::size_t kRedSamples = 20;

/// A conversion fed chunk by chunk. Chains through Unicode run as two stages,
/// the first one's output streaming into the second.
class Converter {
 public:
  Converter(Encoding from, Encoding to, const Options& options, Sink sink, Callbacks callbacks = {});
  ~Converter();
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  /// Passes the next bytes; false once the conversion has stopped (refused,
  /// cancelled): later chunks are ignored and finish() says why.
  bool feed(std::string_view chunk);
  /// Ends the input and returns the outcome. The output is whole only when ok().
  Result finish();

 private:
  class Stage;
  std::unique_ptr<Stage> first_;
  std::unique_ptr<Stage> second_;
  Status preset_ = Status::Converted;
};

/// Converts a whole document held in memory.
Result convert(std::string_view rtf, Encoding from, Encoding to, const Options& options, std::string& out,
               const Callbacks& callbacks = {});

/// The message for a refusal (the Chinese text the program shows).
std::u16string statusMessage(Status status, Encoding from);

}  // namespace yig::conv
