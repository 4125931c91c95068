#pragma once
// A recording EngineHost and an in-memory table source for engine tests.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/conversion_engine.h"
#include "engine/host.h"
#include "engine/mapping_table.h"
#include "richtext/document.h"

namespace yig::test {

class RecordingHost final : public EngineHost {
 public:
  explicit RecordingHost(std::u16string sourceList = u"Himalaya;Monlam;Tibetan ; Uni;????;")
      : list(std::move(sourceList)) {}
  rt::Document& editor() override { return editorDoc; }
  rt::Document& workArea() override { return area; }
  std::u16string sourceFontList() const override { return list; }
  std::u16string sambhotaFamily() const override { return u"Ededris"; }
  bool tibetanInterface() const override { return tibetan; }
  std::u16string translateForDisplay(const std::u16string& chinese) const override {
    return tibetan ? u"[bo]" + chinese : chinese;
  }
  void showMessage(const std::u16string& text) override { messages.push_back(text); }
  void progressStarted() override { ++starts; }
  void progressStopped() override { ++stops; }
  void setProgress(int percent) override { progress.push_back(percent); }
  void setElapsedTime(const std::u16string& caption) override { elapsed = caption; }
  std::size_t savedSelectionStart() const override { return selStart; }
  std::size_t savedSelectionLength() const override { return selLength; }

  std::u16string list;
  bool tibetan = false;
  rt::Document editorDoc, area;
  std::vector<std::u16string> messages;
  std::vector<int> progress;
  int starts = 0, stops = 0;
  std::u16string elapsed;
  std::size_t selStart = 0, selLength = 0;
};

/// Tables given as text (without byte-order mark), stored in the scrambled form.
class MemoryTables final : public TableSource {
 public:
  void put(std::string code, std::u16string_view text) { tables_[std::move(code)] = scrambleTable(text); }
  std::optional<std::vector<std::uint8_t>> read(std::string_view code) const override {
    auto it = tables_.find(std::string(code));
    if (it == tables_.end()) return std::nullopt;
    return it->second;
  }

 private:
  std::map<std::string, std::vector<std::uint8_t>> tables_;
};

/// "\uNNNN?" for a character (signed 16-bit number).
inline std::string esc(char16_t c, char letter = 'u') {
  int n = c >= 0x8000 ? static_cast<int>(c) - 65536 : static_cast<int>(c);
  return std::string("\\") + letter + std::to_string(n) + "?";
}

}  // namespace yig::test
