#pragma once
// Internal helpers of the conversion operations, shared by the national-standard
// and the Sambhota operations: access to the engine's host, tables and counters,
// early stops with a message, and writing the result into the work area.
#include <chrono>
#include <string>
#include <string_view>

#include "engine/conversion_engine.h"
#include "engine/rtf_pieces.h"

namespace yig {

struct EngineInternals {
  static EngineHost& host(ConversionEngine& e) { return e.host_; }
  static const TableSource& tables(ConversionEngine& e) { return e.tables_; }
  static ConversionStats& stats(ConversionEngine& e) { return e.stats_; }

  /// Ends a request that found nothing to convert: shows the (Chinese) message,
  /// translated for the Tibetan interface, and sets runNotAborted and proceed to 0.
  /// The message is kept as the request's refusal; the document stays unchanged.
  static void stopWithMessage(ConversionEngine& e, std::u16string_view chineseMessage);


  /// Puts `rtf` into the work area: in place of its selection when it has
  /// selected text and `honourSelection` is set, else as its whole RTF.
  static void writeWorkArea(ConversionEngine& e, std::string_view rtf, bool honourSelection);

  /// Copies every RTF the operations write into the work area to `*copy`
  /// (nullptr stops copying). With `workAreaToo` false the string is the only
  /// holder of the result and the work area is not touched (measurements of
  /// the operations alone).
  static void copyOutputTo(ConversionEngine& e, std::string* copy, bool workAreaToo = true) {
    e.outputCopy_ = copy;
    e.outputOnlyToCopy_ = copy != nullptr && !workAreaToo;
  }
};

/// The elapsed-time caption: "0.25s" under a second, "3.5s" under a minute,
/// "2:3.5" from a minute on (minutes keep counting past the hour).
std::u16string elapsedCaption(std::chrono::nanoseconds elapsed);

/// Upper-cases the ASCII letters of an encoding code in place.
void upperCaseCode(std::u16string& code);

/// The code as a narrow string (table resource names are ASCII).
std::string narrowCode(std::u16string_view code);

}  // namespace yig
