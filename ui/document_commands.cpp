#include "ui/document_commands.h"

#include <QApplication>
#include <QFileDialog>
#include <QSignalBlocker>

#include "sorting/sort_command.h"
#include "ui/interface_language.h"
#include "ui/main_form.h"
#include "ui/proof_prompt.h"
#include "ui/rich_text_box.h"

namespace yig::ui {

namespace {

/// The open dialog's filter.
constexpr std::u16string_view kOpenFilter =
    u"Word文档(*.doc;*.docx)|*.doc;*.docx|RTF文档(*.rtf)|*.rtf|网页文件(*.htm;*.html;*.mht)|*.htm;*.html;*.mht|"
    u"XML文档(;*.xml)|*.xml|TXT文档（Unicode;Big endian;UTF-8;ANSI)(*.txt)|*.txt|所有文件(*.*)|*.*|";

std::string localPath(const QString& path) { return path.toUtf8().toStdString(); }

}  // namespace

QString qtFileFilter(std::u16string_view filter) {
  const QStringList parts = toQString(filter).split(QChar(u'|'));
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QChar(u';'), QChar(u' '));
    if (patterns.trimmed().isEmpty()) continue;
    // Qt reads the patterns from the last parentheses of an entry: give them
    // their own, after the caption.
    entries << QStringLiteral("%1 (%2)").arg(parts[i], patterns.trimmed());
  }
  return entries.join(QStringLiteral(";;"));
}

// --- the main window as the document commands' host ---------------------------

rt::Document& FormDocumentHost::editor() { return form_.RichTextBox1->model(); }

void FormDocumentHost::setStatusCaption(const std::u16string& text) {
  form_.StatusCaption->setText(toQString(text));
  form_.StatusCaption->show();
}

void FormDocumentHost::showMessage(const std::u16string& text) { form_.showMessage(text); }

bool FormDocumentHost::tibetanInterface() const { return form_.language().tibetan(); }

std::u16string FormDocumentHost::fontBox() const { return toU16(form_.Combo1->currentText()); }

void FormDocumentHost::setFontBox(const std::u16string& fontName) {
  const QSignalBlocker block(form_.Combo1);
  form_.Combo1->setEditText(toQString(fontName));
}

void FormDocumentHost::setSizeBox(int sizeHalfPoints) {
  const QSignalBlocker block(form_.Combo2);
  const QString text = sizeHalfPoints % 2 == 0 ? QString::number(sizeHalfPoints / 2)
                                               : QString::number(sizeHalfPoints / 2.0, 'f', 1);
  form_.Combo2->setEditText(text);
}

void FormDocumentHost::selectSourceEncoding(int index, std::u16string_view) { form_.chooseEncoding(index); }

docs::ProofChoice FormDocumentHost::askProofMode() { return prompt_.ask(); }

void FormDocumentHost::clearModifiedFlag() { form_.ModifiedFlag = false; }

void FormDocumentHost::processEvents() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

// --- the commands ---------------------------------------------------------------

DocumentCommands::DocumentCommands(MainForm& form, ProofPrompt& prompt) : form_(form), host_(form, prompt) {}

std::optional<QString> DocumentCommands::askOpenPath() {
  if (chooseOpenPath) return chooseOpenPath();
  const QString path = QFileDialog::getOpenFileName(
      &form_, form_.language().translateForDisplay(QStringLiteral("打开文件")), lastPath_, qtFileFilter(kOpenFilter));
  if (path.isEmpty()) return std::nullopt;
  return path;
}

std::optional<SaveChoice> DocumentCommands::askSavePath() {
  if (chooseSavePath) return chooseSavePath();
  const QString filters = qtFileFilter(docs::kSaveFilter);
  const QStringList list = filters.split(QStringLiteral(";;"));
  QString selected = list.value(0);
  const QString path = QFileDialog::getSaveFileName(
      &form_, form_.language().translateForDisplay(QStringLiteral("保存文件")), lastPath_, filters, &selected);
  if (path.isEmpty()) return std::nullopt;
  return SaveChoice{path, std::max(1, static_cast<int>(list.indexOf(selected)) + 1)};
}

bool DocumentCommands::open() {
  const std::optional<QString> path = askOpenPath();
  form_.trimWorkingSet();
  // A cancelled dialog leaves the editor as it was.
  if (!path) return false;
  return openPath(*path);
}

bool DocumentCommands::openPath(const QString& path) {
  RichTextBox& editor = *form_.RichTextBox1;
  editor.viewport()->setCursor(Qt::WaitCursor);
  const docs::OpenOutcome outcome = docs::OpenDocument(host_, localPath(path));
  editor.viewport()->unsetCursor();
  const bool loaded = outcome.result == docs::OpenOutcome::Result::Opened ||
                      outcome.result == docs::OpenOutcome::Result::ProofImported;
  if (outcome.ok()) {
    // The commands changed the model: show it. Showing it counts as a change,
    // so the flag is cleared afterwards.
    editor.model().select(0, 0);
    editor.modelChanged();
    form_.ModifiedFlag = false;
    lastPath_ = path;
    editor.setFocus();
  }
  form_.trimWorkingSet();
  return loaded;
}

bool DocumentCommands::save() {
  const std::optional<SaveChoice> choice = askSavePath();
  if (!choice) {
    form_.trimWorkingSet();
    return false;
  }
  const docs::SaveOutcome outcome = docs::SaveDocument(host_, localPath(choice->path), choice->filterIndex);
  if (outcome.ok()) lastPath_ = QString::fromUtf8(outcome.writtenPath.c_str());
  form_.trimWorkingSet();
  return outcome.ok();
}

void DocumentCommands::sort() {
  RichTextBox& editor = *form_.RichTextBox1;
  editor.viewport()->setCursor(Qt::WaitCursor);
  editor.setReadOnly(true);
  sorting::EngineSortHost host(form_, form_.SelectionOnlyFlag);
  const sorting::SortOutcome outcome = sorting::SortTibetanLines(host);
  editor.setReadOnly(false);
  if (outcome.status == sorting::SortOutcome::Status::Sorted) editor.modelChanged();
  editor.viewport()->unsetCursor();
  form_.Timer1->stop();
  form_.ProgressBar1->setValue(form_.progress());
  form_.trimWorkingSet();
}

}  // namespace yig::ui
