#include "ui/document_commands.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QTextDocument>
#include <QSignalBlocker>

#include "sorting/sort_command.h"
#include "ui/background_work.h"
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
  // The dialog offers the opened document's own type first (RTF for a new one).
  const int own = docs::filterForEnding(localPath(lastPath_));
  QString selected = list.value(own > 0 ? own - 1 : 1);
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
  if (form_.busy()) return false;
  RichTextBox& editor = *form_.RichTextBox1;
  // The worker reads the file into a copy of the editor's document; the
  // editor keeps showing its document until the new one is complete.
  WorkControl control(form_);
  WorkerDocumentHost worker(control, host_, editor.model());
  docs::OpenOutcome outcome;
  std::optional<docs::KeptPackage> kept;
  std::unique_ptr<QTextDocument> shown;
  const QFont font = editor.document()->defaultFont();
  form_.showStatus(QStringLiteral("正在打开…"));
  runInBackground(form_, control, [&] {
    outcome = docs::OpenDocument(worker, localPath(path));
    worker.editor().select(0, 0);
    if (outcome.result == docs::OpenOutcome::Result::Opened) kept = docs::keepPackage(localPath(path), worker.editor(), std::move(outcome.madePackage));
    if (outcome.ok())
      shown = RichTextBox::buildDocument(worker.editor(), font, form_.thread(),
                                         [&control] { return control.cancelRequested(); });
  });
  host_.setOpenedFileName(worker.openedFileName());
  host_.setProofMode(worker.proofMode());
  if (control.cancelRequested() || (outcome.ok() && !shown)) {
    form_.showStatus(QStringLiteral("已取消，文档保持不变。"));
    return false;
  }
  const bool loaded = outcome.result == docs::OpenOutcome::Result::Opened ||
                      outcome.result == docs::OpenOutcome::Result::ProofImported;
  if (outcome.ok()) {
    editor.showBuilt(std::move(worker.editor()), std::move(shown));
    editor.forgetUndoSteps();
    // The kept package goes with the document it came with.
    if (outcome.result != docs::OpenOutcome::Result::ProofCancelled) kept_ = std::move(kept);
    // Showing the document counts as a change, so the flag is cleared afterwards.
    form_.ModifiedFlag = false;
    lastPath_ = path;
    form_.setDocumentPath(path);
    rememberRecentFile(path);
    editor.setFocus();
  } else if (form_.StatusCaption->text() == form_.language().translateForDisplay(QStringLiteral("正在打开…"))) {
    form_.StatusCaption->clear();
  }
  for (const std::u16string& message : control.messages()) form_.showMessage(message);
  // Legacy text in fonts this machine lacks would show as other characters.
  if (outcome.ok()) form_.previewIfFontsMissing();
  form_.trimWorkingSet();
  return loaded;
}

bool DocumentCommands::save() {
  const std::optional<SaveChoice> choice = askSavePath();
  if (!choice) {
    form_.trimWorkingSet();
    return false;
  }
  return saveTo(choice->path, choice->filterIndex);
}

bool DocumentCommands::saveCurrent() {
  const QString current = form_.documentPath();
  const int filter = docs::filterForEnding(localPath(current));
  // A document opened from a file we can write again in its own format is
  // saved over it; anything else asks for a name. An OpenDocument file is
  // written again only as its package.
  if (!current.isEmpty() && filter == 0 && kept_ && docs::savesAs(*kept_, localPath(current)) &&
      docs::inStep(*kept_, form_.RichTextBox1->model()))
    return saveTo(current, 1);
  if (current.isEmpty() || filter == 0) return save();
  return saveTo(current, filter);
}

bool DocumentCommands::saveTo(const QString& typedPath, int filterIndex) {
  if (form_.busy()) return false;
  form_.endLegacyPreview();
  const std::string typed = localPath(typedPath);
  const docs::TypedSaveName name = docs::resolveTypedSaveName(typed, filterIndex);
  WorkControl control(form_);
  control.cancellable = false;  // a save is written whole or not at all
  WorkerDocumentHost worker(control, host_, form_.RichTextBox1->model());
  docs::SaveOutcome outcome;
  // A name of the kept package's kind receives the package while the editor
  // holds the document that goes with it; an edited document goes the way of
  // any other, through LibreOffice.
  const bool packageName = kept_ && docs::savesAs(*kept_, typed);
  bool edited = false;
  runInBackground(form_, control, [&] {
    edited = packageName && !docs::inStep(*kept_, worker.editor());
    if (packageName && !edited) {
      outcome = docs::SaveKeptPackage(worker, *kept_, typed);
    } else {
      outcome = docs::SaveDocument(worker, name.path, name.filterIndex);
    }
  });
  for (const std::u16string& message : control.messages()) form_.showMessage(message);
  if (outcome.ok()) {
    // The changed flag stays as it was: the program asks about saving again
    // before the document is replaced or the program closes.
    lastPath_ = QString::fromUtf8(outcome.writtenPath.c_str());
    form_.setDocumentPath(lastPath_);
    rememberRecentFile(lastPath_);
    const bool throughOffice = edited && docs::formatForPath(outcome.writtenPath) == docs::SaveFormat::Word;
    form_.showStatus(throughOffice ? QStringLiteral("文档已修改，经LibreOffice保存为：") : QStringLiteral("已保存为："));
    form_.StatusCaption->setText(form_.StatusCaption->text() + QFileInfo(lastPath_).fileName());
  }
  form_.trimWorkingSet();
  return outcome.ok();
}

void DocumentCommands::sort() {
  if (form_.busy()) return;
  RichTextBox& editor = *form_.RichTextBox1;
  WorkControl control(form_);
  control.cancellable = false;
  WorkerEngineHost worker(control, editor.model());
  sorting::SortOutcome outcome;
  std::unique_ptr<QTextDocument> shown;
  const QFont font = editor.document()->defaultFont();
  const bool selectionOnly = form_.SelectionOnlyFlag;
  runInBackground(form_, control, [&] {
    sorting::EngineSortHost host(worker, selectionOnly);
    outcome = sorting::SortTibetanLines(host);
    if (outcome.status == sorting::SortOutcome::Status::Sorted)
      shown = RichTextBox::buildDocument(worker.editor(), font, form_.thread());
  });
  if (outcome.status == sorting::SortOutcome::Status::Sorted) {
    editor.rememberForUndo();
    editor.showBuilt(std::move(worker.editor()), std::move(shown));
  }
  for (const std::u16string& message : control.messages()) form_.showMessage(message);
  form_.trimWorkingSet();
}

// --- recent files ------------------------------------------------------------

namespace {

constexpr int kRecentFiles = 8;

QSettings settings() { return QSettings(QStringLiteral("Yigsgyur"), QStringLiteral("Yigsgyur")); }

}  // namespace

QStringList DocumentCommands::recentFiles() {
  return settings().value(QStringLiteral("recentFiles")).toStringList();
}

void DocumentCommands::rememberRecentFile(const QString& path) {
  const QString absolute = QFileInfo(path).absoluteFilePath();
  QStringList files = recentFiles();
  files.removeAll(absolute);
  files.prepend(absolute);
  while (files.size() > kRecentFiles) files.removeLast();
  settings().setValue(QStringLiteral("recentFiles"), files);
}

}  // namespace yig::ui
