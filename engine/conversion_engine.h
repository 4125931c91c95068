#pragma once
// The conversion engine: one object per convert command. convertFile routes a
// source/target pair to one of the seven conversion operations; every operation
// takes the RTF text `zz` (emptied on return) and leaves its result in the work area.
#include <chrono>
#include <cstdint>
#include <string>

#include "engine/host.h"
#include "engine/mapping_table.h"

namespace yig {

/// Flags are 16-bit integers: -1 true, 0 false.
using Flag16 = std::int16_t;
inline constexpr Flag16 kTrue = -1;
inline constexpr Flag16 kFalse = 0;

/// Counts of what one request did, for reports (the CLI, batch runs).
struct ConversionStats {
  std::size_t unitsConverted = 0;  ///< source units written in the target encoding
  std::size_t redMarks = 0;        ///< characters left red
};

class ConversionEngine {
 public:
  explicit ConversionEngine(EngineHost& host, const TableSource& tables = builtinTables());

  /// Converts the work area's RTF (or its selection) from `srccode` to `dstcode`
  /// and puts the result into the editor. Both codes are upper-cased in place.
  void convertFile(std::u16string& srccode, std::u16string& dstcode);

  // The conversion operations.
  void WJZH_HIMA_QT(std::string& zz, std::u16string dstcode);
  void WJZH_QT_HIMA(std::string& zz, std::u16string srccode);
  void WJZH_SAM_HIMA(std::string& zz);
  void WJZH_HIMA_SAM(std::string& zz);
  void WJZH_SAM_QT(std::string& zz, std::u16string dstcode);
  void WJZH_QT_SAM(std::string& zz, std::u16string srccode);
  void WJZH_QT_QT(std::string& zz, std::u16string srccode, std::u16string dstcode);

  Flag16 sfywzh = kFalse;         ///< a character was marked red
  Flag16 runNotAborted = kFalse;  ///< no operation reported "nothing in the source encoding"
  Flag16 proceed = kFalse;        ///< the request was accepted and its source text found

  /// What the last request did.
  const ConversionStats& stats() const { return stats_; }
  /// Why the last request changed nothing, when it refused its input (empty otherwise).
  const std::u16string& refusal() const { return refusal_; }

 private:
  friend struct EngineInternals;
  /// Converts `zz` from one code to another through the conversion core and
  /// puts the result into the work area (in place of its selection when it has
  /// one and `honourSelection` is set).
  void run(std::string& zz, std::u16string_view fromCode, std::u16string_view toCode, bool honourSelection);
  EngineHost& host_;
  const TableSource& tables_;
  ConversionStats stats_;
  std::u16string refusal_;
  /// Set while convertFile runs a conversion whose source is Unicode Tibetan
  /// (not a chained second stage): a document without a Unicode Tibetan font is
  /// then reported instead of being passed through unchanged.
  bool unicodeSourceRequest_ = false;
  /// When set, every RTF an operation writes into the work area is also copied
  /// here exactly as written (for checks of the operations' own output).
  std::string* outputCopy_ = nullptr;
  bool outputOnlyToCopy_ = false;
};

}  // namespace yig
