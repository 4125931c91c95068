#pragma once
// Everything the user does around the editor: the main menu and its shared
// preamble, the context menu, Ctrl+V/Ctrl+C/Ctrl+X through our clipboard code,
// the colour palette, the save prompts, the proof-file prompt, help and the
// font page, and shut-down (also when the window system closes the window).
#include <QObject>
#include <QPointer>
#include <QTextBrowser>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>

#include "ui/save_prompts.h"

class QKeyEvent;
class QToolButton;

namespace yig::ui {

class ColorPalette;
class ContextMenu;
class DocumentCommands;
class MainForm;
class MainMenu;
class PartCommands;
class ProofPrompt;
class SkinButton;

class EditorInteractions : public QObject {
  Q_OBJECT
 public:
  /// The page with free Tibetan fonts that the font-download entry opens.
  static QUrl fontPageUrl();
  /// The help files looked for first, as the help entry names them.
  static QStringList namedHelpFiles();

  explicit EditorInteractions(MainForm& form);
  ~EditorInteractions() override;

  MainMenu* mainMenu() const { return mainMenu_; }
  ContextMenu* contextMenu() const { return contextMenu_; }
  ColorPalette* colorPalette() const { return palette_; }
  SkinButton* paletteButton() const { return paletteButton_; }
  QToolButton* recentFilesButton() const { return recentButton_; }
  ProofPrompt* proofPrompt() const { return proofPrompt_; }
  DocumentCommands& documents() { return *documents_; }
  /// Notes, headers and footers: their tooltips, editor dialogs and list.
  PartCommands& parts() { return *parts_; }

  /// Opens a web page or file; replaceable for tests. Returns whether it opened.
  std::function<bool(const QUrl&)> openUrl;

  // --- main menu -------------------------------------------------------------
  /// Runs entry `index` (0..7) after the shared preamble.
  void runMainMenuEntry(int index);
  /// Clipboard cleared, time value emptied, progress bar reset and hidden,
  /// conversion panel hidden, panel headings in the interface's font.
  void mainMenuPreamble();
  void openCommand();
  /// Opens `path` (a dropped file, a recent file, the command line), asking
  /// about unsaved changes first.
  void openFileCommand(const QString& path);
  void saveCommand();
  void convertCommand();
  void sortCommand();
  void helpCommand();
  void exitCommand();
  void fontDownloadCommand();
  /// The bundled user guide's first page, if it can be found.
  QString bundledGuide() const;
  /// The window showing the guide, while it is open.
  QTextBrowser* helpWindow() const { return helpWindow_.data(); }

  // --- editor and context menu -----------------------------------------------
  /// Shows the context menu at `pos` (window coordinates) with its entries
  /// enabled for the editor's state.
  void showContextMenu(QPoint pos);
  void runContextEntry(int index);
  void paste();
  void copy();
  void cut();

  // --- prompts and shut-down -------------------------------------------------
  ExitPrompt* ShowExitPrompt();
  OpenPrompt* ShowOpenPrompt();
  ExitPrompt* exitPrompt() const { return exitPrompt_; }
  OpenPrompt* openPrompt() const { return openPrompt_; }
  void answerExitPrompt(int answer);
  void answerOpenPrompt(int answer);
  /// Empties the editor and the work area, releases the message map, clears
  /// the clipboard and closes every window of the program.
  void shutDown();
  bool shutDownDone() const { return shuttingDown_; }

 signals:
  /// The program has shut down (its windows are closed).
  void shutDownFinished();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildControls();
  void applyLanguageToOwnLabels();
  void layoutControls();
  bool handleEditorKey(QKeyEvent* event);

  MainForm& form_;
  MainMenu* mainMenu_ = nullptr;
  ContextMenu* contextMenu_ = nullptr;
  ColorPalette* palette_ = nullptr;
  SkinButton* paletteButton_ = nullptr;
  QToolButton* recentButton_ = nullptr;
  QString pendingOpenPath_;
  QPointer<QTextBrowser> helpWindow_;  // the file to open once the open prompt is answered
  ProofPrompt* proofPrompt_ = nullptr;
  std::unique_ptr<DocumentCommands> documents_;
  PartCommands* parts_ = nullptr;
  QPointer<ExitPrompt> exitPrompt_;
  QPointer<OpenPrompt> openPrompt_;
  const QObject* formObject_ = nullptr;
  const QObject* editorObject_ = nullptr;
  const QObject* viewportObject_ = nullptr;
  bool shuttingDown_ = false;
  bool shownOnce_ = false;
};

}  // namespace yig::ui
