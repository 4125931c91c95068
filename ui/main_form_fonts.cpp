// The font and size boxes, whole-document scaling and the font dialog.
#include <QApplication>
#include <QFontDatabase>
#include <QFontDialog>

#include "ui/encoding_choices.h"
#include "ui/main_form.h"
#include "ui/rich_text_box.h"

namespace yig::ui {

void MainForm::FillFontControls() {
  const QSignalBlocker blockSizes(Combo2);
  Combo1->clear();
  for (const QString& family : QFontDatabase::families())
    if (!family.startsWith(QLatin1Char('@'))) Combo1->addItem(family);
  Combo2->clear();
  for (const SizeName& s : chineseSizeNames()) Combo2->addItem(QString::fromUtf16(s.name));
  for (const char16_t* size : numericSizes()) Combo2->addItem(QString::fromUtf16(size));
  // Setting the box's text applies it to the (empty) editor's caret.
  Combo1->setEditText(QStringLiteral("Microsoft Himalaya"));
  Combo2->setEditText(QStringLiteral("24"));
}

void MainForm::ApplyFontName() {
  RichTextBox1->setSelectionFontName(Combo1->currentText());
  RichTextBox1->setFocus();
}

void MainForm::FontNameEdited() {
  const QString text = Combo1->currentText();
  if (text.isEmpty()) return;
  const std::optional<QString> current = RichTextBox1->selectionFontName();
  if (current && *current == text) return;
  RichTextBox1->setSelectionFontName(text);
}

void MainForm::ApplyFontSize() {
  if (const std::optional<double> points = sizeTextToPoints(Combo2->currentText()))
    RichTextBox1->setSelectionFontPoints(*points);
  RichTextBox1->setFocus();
}

void MainForm::ScaleDocumentFonts(int direction) {
  const std::string rtf = RichTextBox1->rtf();
  const std::string scaled = scaleRtfFontSizes(
      rtf, direction, [](void* self) { static_cast<MainForm*>(self)->processEvents(); }, this);
  const int start = RichTextBox1->selStart(), length = RichTextBox1->selLength();
  RichTextBox1->rememberForUndo();
  RichTextBox1->setRtf(scaled);
  RichTextBox1->select(start, length);
}

void MainForm::ShowFontDialog(std::function<std::optional<QFont>(const QFont&)> chooser) {
  QFont initial(RichTextBox1->defaultFontName().isEmpty() ? QStringLiteral("Microsoft Himalaya")
                                                          : RichTextBox1->defaultFontName());
  initial.setPointSizeF(RichTextBox1->selectionFontPoints().value_or(12));
  if (!chooser) {
    chooser = [this](const QFont& font) -> std::optional<QFont> {
      bool ok = false;
      const QFont chosen = QFontDialog::getFont(&ok, font, this, QString(), QFontDialog::DontUseNativeDialog);
      if (!ok) return std::nullopt;
      return chosen;
    };
  }
  // Cancelling leaves the selection as it was.
  if (const std::optional<QFont> chosen = chooser(initial)) {
    const QStringList families = chosen->families();
    RichTextBox1->setSelectionFontName(families.isEmpty() ? chosen->family() : families.first());
    if (chosen->pointSizeF() > 0) RichTextBox1->setSelectionFontPoints(chosen->pointSizeF());
    RichTextBox1->setSelectionEffects(chosen->bold(), chosen->italic(), chosen->underline(), chosen->strikeOut());
  }
  emit fontDialogClosed();
}

void MainForm::SyncFontControls() {
  if (const std::optional<QString> name = RichTextBox1->selectionFontName(); name && !name->isEmpty()) {
    if (Combo1->currentText() != *name) Combo1->setEditText(*name);
  }
  if (const std::optional<double> points = RichTextBox1->selectionFontPoints()) {
    const QString text = pointsToSizeText(*points);
    if (Combo2->currentText() != text) Combo2->setEditText(text);
  }
}

}  // namespace yig::ui
