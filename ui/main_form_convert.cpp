// The conversion panel's selection rules and the convert command.
#include <QApplication>
#include <QClipboard>
#include <QTextDocument>
#include <chrono>

#include "engine/conversion_engine.h"
#include "engine/engine_internals.h"
#include "engine/encodings.h"
#include "ui/background_work.h"
#include "ui/clickable_label.h"
#include "ui/convert_panel.h"
#include "ui/document_commands.h"
#include "ui/editor_interactions.h"
#include "ui/encoding_choices.h"
#include "ui/main_form.h"
#include "ui/rich_text_box.h"
#include "ui/skin.h"

namespace yig::ui {

void MainForm::SelectEncoding(int index) {
  Combo3->setVisible(index == 15);
  for (int i = 0; i <= 16; ++i) {
    if (!isChoiceIndex(i)) continue;
    const bool chosen = Picture2->option(i)->isChecked();
    Picture2->label(i)->setColors(chosen ? skin::kChosen : QColor(Qt::white),
                                  chosen ? skin::kChosenText : palette().color(QPalette::ButtonText));
  }
  if (index >= 0 && index <= 6) SourceFontList = QStringView(choiceRow(index).sourceFonts).toString();
}

void MainForm::chooseEncoding(int index) {
  if (!isChoiceIndex(index)) return;
  Picture2->setChosen(index);
  SelectEncoding(index);
}

void MainForm::DetectSourceFromCaretFont() {
  if (RichTextBox1->textLength() == 0) return;
  const std::optional<QString> name = RichTextBox1->selectionFontName();
  if (!name) return;
  if (const std::optional<int> source = sourceFromFontName(*name)) chooseEncoding(*source);
}

void MainForm::Change(const QString& pasted) {
  const int n = static_cast<int>(std::min<qsizetype>(pasted.size(), 500));
  auto finish = [&] { RichTextBox1->select(RichTextBox1->selStart(), 0); };
  // Sambhota text is recognised by its fonts, one caret position at a time.
  for (int k = 1; k <= n && k - 1 <= RichTextBox1->textLength(); ++k) {
    const QString name = RichTextBox1->fontNameAtCaret(k - 1);
    if (sourceFromFontName(name) == static_cast<int>(Encoding::SAM)) {
      RichTextBox1->select(k - 1, 0);
      Combo1->setEditText(name);
      chooseEncoding(5);
      finish();
      return;
    }
  }
  RichTextBox1->select(0, RichTextBox1->textLength());
  if (const std::optional<PasteGuess> guess = guessFromPastedText(pasted, n)) {
    // Putting the font into the font box applies it to the whole document.
    Combo1->setEditText(guess->font);
    RichTextBox1->setDefaultFontName(guess->font);
    chooseEncoding(guess->sourceIndex);
  }
  finish();
}

void MainForm::openConvertPanel() {
  for (int i = 0; i <= 16; ++i)
    if (isChoiceIndex(i)) Picture2->label(i)->setColors(Qt::white, palette().color(QPalette::ButtonText));
  Picture2->clearTargets();
  Combo3->hide();
  Picture2->show();
  Picture2->raise();
  DetectSourceFromCaretFont();
}

void MainForm::hideConvertPanel() { Picture2->hide(); }

namespace {

// `package` converted from `from` to `to`, going with the document the
// conversion left in `host`'s editor; nothing when it could not be converted
// or held nothing to convert.
std::optional<docs::KeptPackage> convertKeptPackage(const docs::KeptPackage& package, std::u16string_view from,
                                                    std::u16string_view to, WorkerEngineHost& host) {
  const std::optional<Encoding> source = encodingFromCode(from), target = encodingFromCode(to);
  if (!source || !target) return std::nullopt;
  conv::Options options;
  options.sambhotaFamily = host.sambhotaFamily();
  docs::KeptPackage converted = package;
  const docs::docx::Outcome outcome = docs::convertKeptPackage(converted, *source, *target, options);
  if (!outcome.ok() || outcome.changedParts.empty()) return std::nullopt;
  converted.fingerprint = docs::documentFingerprint(host.editor());
  return converted;
}

}  // namespace

void MainForm::ConvertCommand() {
  if (busy()) return;
  endLegacyPreview();
  ProgressBar1->hide();
  const bool selected = !RichTextBox1->selectedText().isEmpty();
  SavedSelectionStart = selected ? static_cast<std::size_t>(RichTextBox1->selStart()) : 0;
  SavedSelectionLength = selected ? static_cast<std::size_t>(RichTextBox1->selLength()) : 0;
  const int source = Picture2->chosenSource();
  if (source < 0) {
    ShowMessage(QStringLiteral("请选择原文本编码类型！"));
    return;
  }
  const int target = Picture2->chosenTarget();
  if (target < 0) {
    ShowMessage(QStringLiteral("请选择目标文本编码类型！"));
    return;
  }
  StatusCaption->show();
  if (target == source + 10) {
    ShowMessage(QStringLiteral("原文件与目标文件编码相同！"));
    return;
  }
  hideConvertPanel();
  StatusCaption->setText(Picture2->label(source)->text() + QStringLiteral(" -->") + Picture2->label(target)->text());
  const auto started = std::chrono::steady_clock::now();

  // The worker converts a copy of the document; the editor keeps showing the
  // original until the result is complete.
  WorkControl control(*this);
  WorkerEngineHost host(control, RichTextBox1->model());
  host.setProgressSpan(0, 60);  // the display of the result takes the rest
  std::u16string srccode(choiceRow(source).code), dstcode(choiceRow(target).code);
  bool changed = false;
  std::unique_ptr<QTextDocument> shown;
  const QFont font = RichTextBox1->document()->defaultFont();
  const auto cancelled = [&control] { return control.cancelRequested(); };
  // The package a Word or OpenDocument file came with follows a conversion of
  // the whole document it goes with, converted in its own XML.
  std::optional<docs::KeptPackage>* kept =
      interactions_ && !selected ? &interactions_->documents().keptPackage() : nullptr;
  std::optional<docs::KeptPackage> convertedPackage;
  bool packageFollows = false;
  runInBackground(*this, control, [&] {
    const bool packageInStep = kept && *kept && docs::inStep(**kept, host.editor());
    rt::Document& area = host.workArea();
    area.setRtf(selected ? host.editor().selectionRtf() : host.editor().rtf());
    area.select(0, 0);
    ConversionEngine engine(host);
    engine.convertFile(srccode, dstcode);
    changed = engine.proceed != kFalse && !control.cancelRequested();
    packageFollows = packageInStep && changed;
    if (packageFollows) convertedPackage = convertKeptPackage(**kept, srccode, dstcode, host);
    // The result's display is built here too: for a large document it takes
    // longer than the conversion.
    if (changed) {
      shown = RichTextBox::buildDocument(host.editor(), font, thread(), cancelled,
                                         [&control](int percent) { control.setProgress(60 + percent * 40 / 100); });
    }
    changed = shown != nullptr;
  });
  if (changed) {
    // One step for undo: the document as it was before.
    RichTextBox1->rememberForUndo();
    RichTextBox1->showBuilt(std::move(host.editor()), std::move(shown));
    // A package that could not follow no longer goes with the document: saves
    // take the editor's, as for any other document.
    if (convertedPackage) {
      *kept = std::move(convertedPackage);
    } else if (packageFollows) {
      kept->reset();
    }
  }
  hideConvertPanel();
  // The time the user waited, showing the result included.
  Label19->setText(toQString(elapsedCaption(std::chrono::steady_clock::now() - started)));
  Label18->show();
  Label19->show();
  if (control.cancelRequested()) showStatus(QStringLiteral("已取消，文档保持不变。"));
  for (const std::u16string& message : control.messages()) showMessage(message);
  trimWorkingSet();
  emit conversionFinished();
}

}  // namespace yig::ui
