#pragma once
// The main window (MainForm): a frameless skinned window around the editor,
// with the conversion panel, the font and size boxes, the interface-language
// switches, the status line and the progress bar. It is also the conversion
// engine's host.
//
// Other parts of the program hook in through the public members and methods:
// the main menu goes into mainMenuArea(), the context menu and other panels are
// added with installPanel() before the window is first shown (anchoring records
// the layout at the first resize), document commands are set as the
// open/save/sort hooks.
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "engine/host.h"
#include "richtext/document.h"
#include "ui/anchoring.h"
#include "ui/interface_language.h"
#include "ui/mixed_script_label.h"

namespace yig::ui {

class AboutWindow;
class ClickableLabel;
class ConvertPanel;
class InfoBox;
class RichTextBox;
class SkinButton;
class EditorInteractions;  // editor interactions: menus, clipboard, prompts, shut-down
class WorkControl;

class MainForm : public QWidget, public EngineHost {
  Q_OBJECT
 public:
  /// Design size of the window in pixels.
  static constexpr QSize kDesignSize{1000, 660};
  /// The smallest size at which no control covers another (the main menu and
  /// the font boxes share the bar under the title at its full design width).
  static constexpr QSize kMinimumSize{1000, 400};
  /// Title-bar room kept left of the language switches (the preview switch
  /// and the recent-files list).
  static constexpr int kTitleReserve = 240;

  /// Builds the window and runs its load steps (Tibetan interface, font boxes,
  /// message map); the window is not shown.
  explicit MainForm(QWidget* parent = nullptr);
  ~MainForm() override;

  // --- controls (named as the window's design names them) ------------------
  RichTextBox* RichTextBox1;          ///< the editor
  rt::Document RichTextBox2;          ///< the hidden work area
  MixedScriptLabel* StatusCaption;    ///< Label6
  QLabel* Label11;                    ///< length caption "长度"
  QLabel* Label17;                    ///< length value
  QLabel* Label18;                    ///< time caption "耗时"
  QLabel* Label19;                    ///< time value
  QProgressBar* ProgressBar1;
  QPushButton* CancelButton;          ///< beside the progress bar while long work runs
  QPushButton* PreviewButton;         ///< the legacy-text preview switch, in the title bar
  QTimer* Timer1;                     ///< 100 ms, copies the progress into ProgressBar1
  QComboBox* Combo1;                  ///< font names
  QComboBox* Combo2;                  ///< font sizes
  QComboBox* Combo3;                  ///< SambhotaFamilyList (inside the panel)
  std::array<QRadioButton*, 2> Option2{};        ///< interface language: Tibetan, Chinese
  std::array<ClickableLabel*, 2> Option2Caption{};  ///< "藏文", "汉文"
  std::array<SkinButton*, 2> Image10{};          ///< shrink, grow every size
  std::array<SkinButton*, 3> TitleButtons{};     ///< minimize, maximize, close
  ConvertPanel* Picture2;             ///< the conversion panel

  // --- state shared with the rest of the program ---------------------------
  bool ModifiedFlag = false;
  bool SelectionOnlyFlag = false;
  bool MaximizedFlag = false;
  QRect LoadRect;                     ///< the window rectangle recorded at load
  QString SourceFontList;             ///< Text1
  std::size_t SavedSelectionStart = 0, SavedSelectionLength = 0;

  InterfaceLanguage& language() { return language_; }
  const InterfaceLanguage& language() const { return language_; }
  AnchorState& anchorState() { return anchors_; }

  // --- hooks for the main menu, context menu and document commands ----------
  /// The strip under the title bar that holds the main menu.
  QWidget* mainMenuArea() const { return menuArea_; }
  /// Adds a child panel (context menu, palette, prompts) with an anchoring tag.
  void installPanel(QWidget* panel, const QString& tag = {});
  std::function<void()> openDocumentHook, saveDocumentHook, sortDocumentHook;
  void openDocument();
  /// Opens the first of `paths` (the command line, a drop); the window holds one document.
  void openFiles(const QStringList& paths);
  void saveDocument();
  void sortDocument();

  // --- conversion panel and command ----------------------------------------
  /// The click on choice `index` (0..6, 10..16); also run when the program chooses.
  void SelectEncoding(int index);
  /// Chooses `index` as the program would (the choice's click handler runs).
  void chooseEncoding(int index);
  void DetectSourceFromCaretFont();
  /// Pre-selects the source after a paste; `pasted` is the clipboard's plain text.
  void Change(const QString& pasted);
  void ConvertCommand();
  /// The convert entry of the main menu with a non-empty editor: labels reset,
  /// targets cleared, panel shown, source pre-selected from the caret's font.
  void openConvertPanel();
  void hideConvertPanel();

  // --- fonts and sizes -------------------------------------------------------
  void FillFontControls();
  void ApplyFontName();
  void FontNameEdited();
  void ApplyFontSize();
  void ScaleDocumentFonts(int direction);
  /// The font dialog; `chooser` replaces the dialog (tests): it receives the
  /// initial font and returns the chosen one, or nothing when cancelled.
  void ShowFontDialog(std::function<std::optional<QFont>(const QFont&)> chooser = {});
  void SyncFontControls();

  // --- interface language and messages -----------------------------------
  /// Chooses the Tibetan (true) or Chinese interface, as a click on Option2 does.
  void setInterfaceLanguage(bool tibetan);
  void ApplyInterfaceLanguage();
  /// Shows a fixed Chinese message, translated in the Tibetan interface.
  void ShowMessage(const QString& chinese);
  /// The information box while it is open.
  InfoBox* infoBox() const;
  AboutWindow* aboutWindow();
  /// Shows the about window (non-blocking).
  void ShowAbout();

  /// Trims memory after large operations.
  void trimWorkingSet();

  // --- EngineHost --------------------------------------------------------
  rt::Document& editor() override;
  rt::Document& workArea() override { return RichTextBox2; }
  std::u16string sourceFontList() const override;
  std::u16string sambhotaFamily() const override;
  bool tibetanInterface() const override { return language_.tibetan(); }
  std::u16string translateForDisplay(const std::u16string& chinese) const override;
  void showMessage(const std::u16string& text) override;
  void progressStarted() override;
  void progressStopped() override;
  void setProgress(int percent) override;
  void processEvents() override;
  void setElapsedTime(const std::u16string& caption) override;
  std::size_t savedSelectionStart() const override { return SavedSelectionStart; }
  std::size_t savedSelectionLength() const override { return SavedSelectionLength; }

  /// The progress shown: the running work's, else the last one's.
  int progress() const;

  // --- long work on a worker thread -----------------------------------------
  /// True while open, save, convert or sort runs in the background: the
  /// window's commands are locked and the editor is read-only.
  bool busy() const { return work_ != nullptr; }
  /// Asks the running work to stop (Cancel, Esc, closing the window).
  void cancelWork();
  void workStarted(WorkControl& control);
  void workFinished();
  /// Shows `text` in the status line (translated in the Tibetan interface).
  void showStatus(const QString& chinese);

  // --- reading legacy text without its fonts -------------------------------
  /// True while the editor shows the legacy runs as Unicode Tibetan.
  bool legacyPreview() const { return previewOriginal_.has_value(); }
  /// Shows the document's legacy runs as Unicode Tibetan, read-only (true), or
  /// the document as it is again (false). The document itself never changes.
  void setLegacyPreview(bool on);
  /// Ends the preview before a command that reads or changes the document.
  void endLegacyPreview() { setLegacyPreview(false); }
  /// Turns the preview on when the document uses legacy fonts this machine
  /// does not have (after opening a document).
  void previewIfFontsMissing();
  /// Whether opening a document may turn the preview on by itself.
  bool previewWhenFontsMissing = true;

  /// The file the document came from or was last saved to ("" for a new one);
  /// the window title names it, with a mark while it has unsaved changes.
  QString documentPath() const { return documentPath_; }
  void setDocumentPath(const QString& path);
  void refreshTitle();

  /// Menus, context menu, clipboard keys, prompts and shut-down (editor interactions).
  EditorInteractions* interactions() const { return interactions_; }

 signals:
  void titleButtonClicked(int index);
  void languageChanged(bool tibetan);
  void editorMouseReleased(Qt::MouseButton button);
  void fontDialogClosed();
  void conversionFinished();

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildControls();
  void connectControls();
  void showMessageText(const QString& text);
  void onEditorChanged();
  void startManualSizing(EdgeZone zone, QPoint globalPos);
  void setCommandsEnabled(bool enabled);
  void setFontControlsEnabled(bool enabled);

  EditorInteractions* interactions_ = nullptr;  // editor interactions
  InterfaceLanguage language_;
  AnchorState anchors_;
  QWidget* menuArea_ = nullptr;
  QLabel* fontCaption_ = nullptr;
  QLabel* sizeCaption_ = nullptr;
  QPointer<InfoBox> infoBox_;
  AboutWindow* about_ = nullptr;
  int progress_ = 0;
  WorkControl* work_ = nullptr;
  std::optional<rt::Document> previewOriginal_;  // the document while the preview shows
  bool previewModified_ = false;
  QString documentPath_;
  QElapsedTimer sinceEvents_;
  int appliedLanguage_ = -1;  // 1 Tibetan, 0 Chinese, -1 none yet
  // Window sizing by its edges.
  QString zoneName_;
  EdgeZone sizingZone_ = EdgeZone::None;
  QPoint sizingStart_;
  QRect sizingGeometry_;
};

}  // namespace yig::ui
