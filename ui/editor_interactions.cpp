#include "ui/editor_interactions.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QTextCursor>
#include <QToolButton>
#include <utility>

#include "engine/message_map.h"
#include "ui/about_window.h"
#include "ui/clickable_label.h"
#include "ui/clipboard_bridge.h"
#include "ui/color_palette.h"
#include "ui/context_menu.h"
#include "ui/convert_panel.h"
#include "ui/document_commands.h"
#include "ui/fonts.h"
#include "ui/info_box.h"
#include "ui/interface_language.h"
#include "ui/main_form.h"
#include "ui/main_menu.h"
#include "ui/part_editing.h"
#include "ui/paste_pipeline.h"
#include "ui/proof_prompt.h"
#include "ui/rich_text_box.h"
#include "ui/save_prompts.h"
#include "ui/skin.h"

namespace yig::ui {

namespace {

constexpr int kMenuEntriesWidth = MainMenu::kEntryCount * 80;

// Shows a small window centred over the main window (or the screen).
void centreOver(QWidget* window, const QWidget& over) {
  QRect area = over.isVisible() ? over.frameGeometry() : QRect();
  if (area.isEmpty()) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) area = screen->availableGeometry();
  }
  window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
}

}  // namespace

QUrl EditorInteractions::fontPageUrl() { return QUrl(QStringLiteral("https://github.com/yigsgyur/yigsgyur/wiki/Fonts")); }

QStringList EditorInteractions::namedHelpFiles() {
  return {QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Dorvani2014帮助.chm")),
          QDir::current().absoluteFilePath(QStringLiteral("Dorvani4.0帮助.chm"))};
}

EditorInteractions::EditorInteractions(MainForm& form) : QObject(&form), form_(form) {
  openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  buildControls();
}

EditorInteractions::~EditorInteractions() {
  if (helpWindow_) delete helpWindow_.data();
  if (exitPrompt_) delete exitPrompt_.data();
  if (openPrompt_) delete openPrompt_.data();
}

void EditorInteractions::buildControls() {
  QWidget* menuArea = form_.mainMenuArea();
  mainMenu_ = new MainMenu(menuArea);
  mainMenu_->setGeometry(0, 0, kMenuEntriesWidth, menuArea->height());
  mainMenu_->layoutContent(kMenuEntriesWidth);
  connect(mainMenu_, &MainMenu::triggered, this, &EditorInteractions::runMainMenuEntry);

  paletteButton_ = new SkinButton(Picture::Palette, menuArea);
  paletteButton_->setObjectName(QStringLiteral("PaletteButton"));
  paletteButton_->setToolTip(QStringLiteral("文字颜色"));
  paletteButton_->setGeometry(kMenuEntriesWidth + 2, (menuArea->height() - 30) / 2, 30, 30);

  palette_ = new ColorPalette(&form_);
  form_.installPanel(palette_);
  connect(paletteButton_, &SkinButton::clicked, this, [this] {
    const QPoint below = paletteButton_->mapTo(&form_, QPoint(0, paletteButton_->height() + 2));
    palette_->move(std::clamp(below.x(), 0, std::max(0, form_.width() - palette_->width())), below.y());
    palette_->toggle();
  });
  connect(palette_, &ColorPalette::colorPicked, this, [this](const QColor& color) {
    form_.RichTextBox1->setSelectionColor(color);
    form_.RichTextBox1->setFocus();
    palette_->hide();
  });

  contextMenu_ = new ContextMenu(&form_);
  form_.installPanel(contextMenu_);
  connect(contextMenu_, &ContextMenu::triggered, this, &EditorInteractions::runContextEntry);

  proofPrompt_ = new ProofPrompt(&form_);
  form_.installPanel(proofPrompt_);

  documents_ = std::make_unique<DocumentCommands>(form_, *proofPrompt_);
  parts_ = new PartCommands(*form_.RichTextBox1, form_.language(), &form_);
  parts_->showInfo = [this](const QString& chinese) { form_.ShowMessage(chinese); };
  parts_->documentChanged = [this] {
    form_.ModifiedFlag = true;
    form_.refreshTitle();
  };
  form_.openDocumentHook = [this] { documents_->open(); };
  form_.saveDocumentHook = [this] { documents_->save(); };
  form_.sortDocumentHook = [this] { documents_->sort(); };

  // Recent files: a list in the title bar, left of the language switches.
  recentButton_ = new QToolButton(&form_);
  recentButton_->setObjectName(QStringLiteral("RecentFilesButton"));
  recentButton_->setText(QStringLiteral("最近文件"));
  recentButton_->setPopupMode(QToolButton::InstantPopup);
  recentButton_->setAutoRaise(true);
  recentButton_->setFocusPolicy(Qt::NoFocus);
  recentButton_->setStyleSheet(QStringLiteral("QToolButton { color: white; }"));
  const QRect options = form_.Option2[0]->geometry();
  recentButton_->setGeometry(options.x() - 136, options.y() - 6, 126, 32);
  form_.installPanel(recentButton_, QStringLiteral("MOVEH"));
  auto* recentMenu = new QMenu(recentButton_);
  recentButton_->setMenu(recentMenu);
  connect(recentMenu, &QMenu::aboutToShow, this, [this, recentMenu] {
    recentMenu->clear();
    for (const QString& path : DocumentCommands::recentFiles()) {
      QAction* entry = recentMenu->addAction(QFileInfo(path).fileName());
      entry->setToolTip(path);
      connect(entry, &QAction::triggered, this, [this, path] { openFileCommand(path); });
    }
    recentMenu->setEnabled(!recentMenu->isEmpty());
  });

  // The usual keys of a desktop program, wherever the focus is in the window.
  const auto addShortcut = [this](const QKeySequence& keys, std::function<void()> run) {
    auto* shortcut = new QShortcut(keys, &form_);
    connect(shortcut, &QShortcut::activated, this, std::move(run));
  };
  addShortcut(QKeySequence::Open, [this] { runMainMenuEntry(MainMenu::Open); });
  addShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), [this] {
    if (form_.busy() || proofPrompt_->isVisible()) return;
    form_.endLegacyPreview();
    mainMenuPreamble();
    documents_->saveCurrent();
  });
  addShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] { runMainMenuEntry(MainMenu::Save); });
  addShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { runMainMenuEntry(MainMenu::Exit); });

  RichTextBox& editor = *form_.RichTextBox1;
  connect(&editor, &RichTextBox::filesDropped, this, [this](const QStringList& paths) {
    if (!paths.isEmpty()) openFileCommand(paths.front());
  });
  editor.setContextMenuPolicy(Qt::NoContextMenu);
  formObject_ = &form_;
  editorObject_ = &editor;
  viewportObject_ = editor.viewport();
  editor.installEventFilter(this);
  editor.viewport()->installEventFilter(this);
  form_.installEventFilter(this);
  connect(&editor, &RichTextBox::mousePressed, this, [this](Qt::MouseButton) { contextMenu_->dismiss(); });
  connect(&form_, &MainForm::languageChanged, this, [this](bool) {
    applyLanguageToOwnLabels();
    layoutControls();
  });

  applyLanguageToOwnLabels();
  layoutControls();
}

void EditorInteractions::applyLanguageToOwnLabels() {
  // The window applied its language before these controls existed; give them
  // the same captions and fonts its labels got.
  recentButton_->setText(form_.language().translateForDisplay(QStringLiteral("最近文件")));
  recentButton_->setFont(form_.language().tibetan() ? interfaceFont(kTibetanUiFont, 14)
                                                    : interfaceFont(kChineseUiFont, kChineseUiPoints));
  if (!form_.language().tibetan()) return;
  const MappingTable switchMap = BuildSwitchMap(true);
  const QFont font = interfaceFont(kTibetanUiFont, kTibetanUiPoints);
  for (QWidget* root : {static_cast<QWidget*>(mainMenu_), static_cast<QWidget*>(contextMenu_),
                        static_cast<QWidget*>(proofPrompt_)}) {
    for (QLabel* label : root->findChildren<QLabel*>()) {
      label->setFont(font);
      centreLetters(label, true);
      const std::u16string& value = switchMap.lookup(toU16(label->text()));
      if (!value.empty()) label->setText(toQString(value));
    }
  }
}

void EditorInteractions::layoutControls() {
  mainMenu_->layoutContent(kMenuEntriesWidth);
  contextMenu_->layoutContent();
  proofPrompt_->layoutContent();
}

// --- main menu ---------------------------------------------------------------------

// The clipboard is the user's: no command empties it (text another program
// put there must survive a click on the toolbar, a conversion or exit).
void EditorInteractions::mainMenuPreamble() {
  form_.Label19->clear();
  form_.ProgressBar1->setValue(0);
  form_.ProgressBar1->hide();
  form_.hideConvertPanel();
  contextMenu_->dismiss();
  palette_->hide();
  const QFont headings = form_.language().tibetan() ? interfaceFont(kTibetanUiFont, 18)
                                                    : interfaceFont(kChineseUiFont, 11);
  form_.Picture2->sourceHeading()->setFont(headings);
  form_.Picture2->targetHeading()->setFont(headings);
}

void EditorInteractions::runMainMenuEntry(int index) {
  // The proof-file prompt is answered first: the open command that asked it
  // is still running. Long work locks the commands until it ends.
  if (proofPrompt_->isVisible() || form_.busy()) return;
  // Every command works on the document itself, not on its preview.
  if (index != MainMenu::About && index != MainMenu::Help && index != MainMenu::FontDownload) form_.endLegacyPreview();
  mainMenuPreamble();
  switch (index) {
    case MainMenu::Open: openCommand(); break;
    case MainMenu::Save: saveCommand(); break;
    case MainMenu::Convert: convertCommand(); break;
    case MainMenu::Sort: sortCommand(); break;
    case MainMenu::About: form_.ShowAbout(); break;
    case MainMenu::Help: helpCommand(); break;
    case MainMenu::Exit: exitCommand(); break;
    case MainMenu::FontDownload: fontDownloadCommand(); break;
    default: break;
  }
}

void EditorInteractions::openCommand() {
  form_.hideConvertPanel();
  if (form_.ModifiedFlag)
    ShowOpenPrompt();
  else
    documents_->open();
  form_.trimWorkingSet();
}

void EditorInteractions::openFileCommand(const QString& path) {
  if (form_.busy() || proofPrompt_->isVisible()) return;
  form_.hideConvertPanel();
  if (form_.ModifiedFlag) {
    pendingOpenPath_ = path;
    ShowOpenPrompt();
    return;
  }
  documents_->openPath(path);
  form_.trimWorkingSet();
}

void EditorInteractions::saveCommand() {
  form_.hideConvertPanel();
  documents_->save();
  form_.trimWorkingSet();
}

void EditorInteractions::convertCommand() {
  form_.Label18->hide();
  form_.Label19->hide();
  if (form_.RichTextBox1->plainText().isEmpty()) {
    openCommand();
    return;
  }
  form_.SelectionOnlyFlag = !form_.RichTextBox1->selectedText().isEmpty();
  form_.openConvertPanel();
}

void EditorInteractions::sortCommand() {
  form_.SelectionOnlyFlag = !form_.RichTextBox1->selectedText().isEmpty();
  form_.sortDocument();
}

QString EditorInteractions::bundledGuide() const {
  const QDir appDir(QCoreApplication::applicationDirPath());
  QStringList candidates{appDir.filePath(QStringLiteral("help/index.html")),
                         appDir.filePath(QStringLiteral("../share/yigsgyur/help/index.html"))};
#ifdef YIG_HELP_DIR
  candidates << QDir(QStringLiteral(YIG_HELP_DIR)).filePath(QStringLiteral("index.html"));
#endif
  for (const QString& path : candidates)
    if (QFileInfo(path).isFile()) return QFileInfo(path).canonicalFilePath();
  return {};
}

void EditorInteractions::helpCommand() {
  bool opened = false;
  for (const QString& path : namedHelpFiles())
    if (QFileInfo(path).isFile()) opened = openUrl(QUrl::fromLocalFile(path)) || opened;
  if (opened) return;
  // The bundled guide is shown inside the program: a browser may not start.
  const QString guide = bundledGuide();
  if (guide.isEmpty()) return;
  if (!helpWindow_) {
    helpWindow_ = new QTextBrowser();
    helpWindow_->setAttribute(Qt::WA_DeleteOnClose);
    helpWindow_->setObjectName(QStringLiteral("HelpWindow"));
    helpWindow_->setOpenExternalLinks(true);
    helpWindow_->resize(780, 600);
    centreOver(helpWindow_, form_);
  }
  helpWindow_->setWindowTitle(form_.language().translateForDisplay(QStringLiteral("帮    助")) +
                              QStringLiteral(" — Yigsgyur"));
  helpWindow_->setSource(QUrl::fromLocalFile(guide));
  helpWindow_->show();
  helpWindow_->raise();
}

void EditorInteractions::fontDownloadCommand() { openUrl(fontPageUrl()); }

void EditorInteractions::exitCommand() {
  if (form_.ModifiedFlag)
    ShowExitPrompt();
  else
    shutDown();
}

// --- editor and context menu -----------------------------------------------------

void EditorInteractions::showContextMenu(QPoint pos) {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  RichTextBox& editor = *form_.RichTextBox1;
  contextMenu_->setEnabling(!editor.selectedText().isEmpty(), readClipboard().hasText(), editor.textLength() > 0,
                            parts_->noteAtCaret().has_value());
  contextMenu_->popup(pos);
}

void EditorInteractions::runContextEntry(int index) {
  RichTextBox& editor = *form_.RichTextBox1;
  if (index != ContextMenu::Copy && index != ContextMenu::SelectAll) form_.endLegacyPreview();
  switch (index) {
    case ContextMenu::Undo: editor.undoStep(); break;
    case ContextMenu::Cut: cut(); break;
    case ContextMenu::Copy: copy(); break;
    case ContextMenu::Paste: paste(); break;
    case ContextMenu::Delete: {
      QTextCursor cursor = editor.textCursor();
      cursor.removeSelectedText();
      editor.setTextCursor(cursor);
      break;
    }
    case ContextMenu::SelectAll: editor.select(0, editor.textLength()); break;
    case ContextMenu::FontDialog: form_.ShowFontDialog(); break;
    case ContextMenu::EditNote:
    case ContextMenu::HeadersFooters: break;  // after the menu is gone: they open dialogs
    default: break;
  }
  contextMenu_->dismiss();
  if (index == ContextMenu::EditNote) {
    if (const auto note = parts_->noteAtCaret()) parts_->editNote(note->unit);
  } else if (index == ContextMenu::HeadersFooters) {
    parts_->headersAndFootersCommand();
  }
  if (index != ContextMenu::FontDialog) editor.setFocus();
}

void EditorInteractions::paste() {
  form_.endLegacyPreview();
  runPastePipeline(form_);
  contextMenu_->dismiss();
}

void EditorInteractions::copy() { copySelection(*form_.RichTextBox1); }

void EditorInteractions::cut() {
  form_.endLegacyPreview();
  cutSelection(*form_.RichTextBox1);
}

bool EditorInteractions::handleEditorKey(QKeyEvent* event) {
  const Qt::KeyboardModifiers mods =
      event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
  const int key = event->key();
  if (key == Qt::Key_Escape && mods == Qt::NoModifier) {
    // Esc answers the proof-file prompt with "取消", closes the context menu,
    // stops long work, or closes the conversion panel.
    if (proofPrompt_->isVisible()) return proofPrompt_->hide(), true;
    if (contextMenu_->isVisible()) return contextMenu_->dismiss(), true;
    if (form_.busy()) return form_.cancelWork(), true;
    if (form_.Picture2->isVisible()) return form_.hideConvertPanel(), true;
    return false;
  }
  // While long work runs the editor is read-only: nothing may paste or cut.
  if (form_.busy() && (key == Qt::Key_V || key == Qt::Key_X || key == Qt::Key_Insert || key == Qt::Key_Delete))
    return true;
  if (mods == Qt::ControlModifier && key == Qt::Key_V) return paste(), true;
  if (mods == Qt::ControlModifier && key == Qt::Key_C) return copy(), true;
  // The editor's own cut and the other clipboard keys would offer other
  // programs HTML without our fonts, and paste without the pipeline.
  if (mods == Qt::ControlModifier && key == Qt::Key_X) return cut(), true;
  if (mods == Qt::ShiftModifier && key == Qt::Key_Insert) return paste(), true;
  if (mods == Qt::ControlModifier && key == Qt::Key_Insert) return copy(), true;
  if (mods == Qt::ShiftModifier && key == Qt::Key_Delete) return cut(), true;
  return false;
}

// --- prompts and shut-down -----------------------------------------------------------

ExitPrompt* EditorInteractions::ShowExitPrompt() {
  if (!exitPrompt_) {
    exitPrompt_ = new ExitPrompt(form_.language());
    connect(exitPrompt_, &SavePrompt::answered, this, &EditorInteractions::answerExitPrompt);
    centreOver(exitPrompt_, form_);
  }
  exitPrompt_->show();
  exitPrompt_->raise();
  exitPrompt_->activateWindow();
  return exitPrompt_;
}

OpenPrompt* EditorInteractions::ShowOpenPrompt() {
  if (!openPrompt_) {
    openPrompt_ = new OpenPrompt(form_.language());
    connect(openPrompt_, &SavePrompt::answered, this, &EditorInteractions::answerOpenPrompt);
    centreOver(openPrompt_, form_);
  }
  openPrompt_->show();
  openPrompt_->raise();
  openPrompt_->activateWindow();
  return openPrompt_;
}

void EditorInteractions::answerExitPrompt(int answer) {
  switch (answer) {
    case ExitPrompt::Yes:
      // Only a document that was really saved may be left behind; a cancelled
      // or failed save keeps the program open with the document unsaved.
      if (documents_->save()) shutDown();
      break;
    case ExitPrompt::No: shutDown(); break;
    default: break;
  }
}

void EditorInteractions::answerOpenPrompt(int answer) {
  const QString pending = std::exchange(pendingOpenPath_, QString());
  switch (answer) {
    case OpenPrompt::Yes:
      // The changes count as saved only when the save went through; a file
      // dropped or named is opened once they are.
      if (documents_->save()) {
        form_.ModifiedFlag = false;
        if (!pending.isEmpty()) documents_->openPath(pending);
      }
      break;
    case OpenPrompt::No: {
      form_.ModifiedFlag = false;
      const QString before = form_.RichTextBox1->plainText();
      // When no document replaced the changed one (dialog cancelled, file
      // unreadable), the changes are still unsaved.
      const bool opened = pending.isEmpty() ? documents_->open() : documents_->openPath(pending);
      if (!opened && form_.RichTextBox1->plainText() == before) form_.ModifiedFlag = true;
      break;
    }
    default: break;
  }
}

void EditorInteractions::shutDown() {
  if (shuttingDown_) return;
  shuttingDown_ = true;
  form_.RichTextBox1->clear();
  form_.RichTextBox2.clear();
  form_.language().releaseMessageMap();
  if (exitPrompt_) exitPrompt_->close();
  if (openPrompt_) openPrompt_->close();
  if (helpWindow_) helpWindow_->close();
  if (InfoBox* box = form_.infoBox()) box->close();
  form_.aboutWindow()->close();
  if (form_.isVisible()) form_.close();
  form_.trimWorkingSet();
  emit shutDownFinished();
}

bool EditorInteractions::eventFilter(QObject* watched, QEvent* event) {
  // Only pointers are compared before the event type is known: the filter also
  // sees the events of the window's own destruction.
  if (watched == formObject_) {
    if (event->type() == QEvent::Close && !shuttingDown_ && form_.busy()) {
      // Closing during long work stops the work first; the window stays.
      event->ignore();
      form_.cancelWork();
      return true;
    }
    if (event->type() == QEvent::Close && !shuttingDown_) {
      // Every way of closing the window (title button, Alt+F4, the task bar)
      // asks about unsaved changes first.
      if (form_.ModifiedFlag) {
        event->ignore();
        ShowExitPrompt();
        return true;
      }
      shutDown();
      return false;
    }
    if (event->type() == QEvent::Show && !shownOnce_) {
      // The rectangle the maximize button returns to is the one the window
      // first appears with.
      shownOnce_ = true;
      if (!form_.MaximizedFlag) form_.LoadRect = form_.geometry();
    }
    return false;
  }
  if (watched == editorObject_ && event->type() == QEvent::KeyPress)
    return handleEditorKey(static_cast<QKeyEvent*>(event));
  if (watched == editorObject_ && event->type() == QEvent::ShortcutOverride) {
    // Claim the clipboard keys so that no shortcut elsewhere takes them.
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::ControlModifier &&
        (key->key() == Qt::Key_V || key->key() == Qt::Key_C || key->key() == Qt::Key_X))
      event->accept();
    return false;
  }
  if (watched == viewportObject_ && event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::RightButton) {
      const QPoint pos = form_.RichTextBox1->viewport()->mapTo(&form_, mouse->position().toPoint());
      // After the editor has handled the release (caret, font boxes).
      QMetaObject::invokeMethod(this, [this, pos] { showContextMenu(pos); }, Qt::QueuedConnection);
    }
  }
  return false;
}

}  // namespace yig::ui
