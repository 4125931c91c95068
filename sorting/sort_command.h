#pragma once
// The sort command over the editor: takes the editor's text (or its
// selection), checks that it is Unicode Tibetan, sorts its lines and puts the
// result back: the sorted lines, three line breaks, then the lines that could
// not be ranked, in red.
#include <cstddef>

#include "sorting/sort_host.h"
#include "sorting/tibetan_sort.h"

namespace yig::sorting {

struct SortOutcome {
  enum class Status {
    NothingToSort,  ///< the text (or selection) was empty: nothing changed
    NotTibetan,     ///< refused by the entry check: nothing changed
    Sorted,         ///< the editor holds the result
  } status = Status::NothingToSort;
  std::size_t sortedLines = 0;
  std::size_t unrankableLines = 0;
  std::size_t emptyLines = 0;
};

/// Runs the sort command with the tables built into the program.
SortOutcome SortTibetanLines(SortHost& host);
/// The same with the given tables.
SortOutcome SortTibetanLines(SortHost& host, const SortTables& tables);

}  // namespace yig::sorting
