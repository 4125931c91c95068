#include "sorting/sort_command.h"

#include <algorithm>
#include <string>

#include "engine/unicode_text_rtf.h"
#include "richtext/document.h"

namespace yig::sorting {
namespace {

// Shows a fixed message, translated for the chosen interface.
void tell(SortHost& host, std::u16string_view chinese) {
  host.showMessage(host.translateForDisplay(std::u16string(chinese)));
}

// Ends the busy pointer and the progress display on every way out.
class BusyScope {
 public:
  explicit BusyScope(SortHost& host) : host_(host) { host_.setBusy(true); }
  ~BusyScope() {
    if (progress_) host_.progressStopped();
    host_.setBusy(false);
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
  void startProgress() {
    progress_ = true;
    host_.progressStarted();
  }

 private:
  SortHost& host_;
  bool progress_ = false;
};

// The sorted part ends with three line breaks. Inserting RTF drops a final
// paragraph mark right before the closing brace (as a rich-edit control
// does), so the breaks the insertion left out are added at the caret.
void keepThreeLineBreaks(rt::Document& editor, std::size_t insertedFrom) {
  const std::u16string_view text = editor.text();
  const std::size_t caret = std::min(editor.selStart(), text.size());
  std::size_t breaks = 0;
  while (breaks < 3 && caret > insertedFrom + breaks && text[caret - 1 - breaks] == u'\r') ++breaks;
  if (breaks < 3) editor.replaceSelectionText(std::u16string(3 - breaks, u'\r'));
}

}  // namespace

SortOutcome SortTibetanLines(SortHost& host) { return SortTibetanLines(host, SortTables::builtin()); }

SortOutcome SortTibetanLines(SortHost& host, const SortTables& tables) {
  SortOutcome outcome;
  rt::Document& editor = host.editor();
  if (editor.length() == 0) return outcome;

  // The text to sort, and the range of the editor it replaces. When only the
  // selection is sorted, only the selection is replaced: the text around it
  // stays as it was.
  const bool selectionOnly = host.selectionOnly();
  std::size_t start = 0;
  std::size_t length = editor.length();
  std::u16string text;
  if (selectionOnly) {
    start = editor.selStart();
    length = editor.selLength();
    text = editor.selectedText();
  } else {
    text = editor.plainText();
  }
  if (text.empty()) return outcome;

  host.hideConversionPanel();
  if (!looksLikeUnicodeTibetan(text)) {
    tell(host, kNotTibetanMessage);
    outcome.status = SortOutcome::Status::NotTibetan;
    return outcome;
  }

  SortedText result;
  {
    BusyScope busy(host);
    busy.startProgress();
    result = sortText(text, tables, [&host](int percent) {
      host.setProgress(percent);
      host.processEvents();
    });
    text.clear();

    editor.select(start, length);
    const bool anySorted = !result.sorted.empty();
    InsertUnicodeText(editor, result.sorted, false);
    if (anySorted) keepThreeLineBreaks(editor, start);
    // When no line could be ranked the result is the red part alone.
    InsertUnicodeText(editor, result.unrankable, true);
  }

  outcome.status = SortOutcome::Status::Sorted;
  outcome.sortedLines = result.sortedLines;
  outcome.unrankableLines = result.unrankableLines;
  outcome.emptyLines = result.emptyLines;
  tell(host, kSortDoneMessage);
  host.sortFinished();
  return outcome;
}

}  // namespace yig::sorting
