#pragma once
// The document commands of the main window: open and save with their file
// dialogs, proof-file import through the Picture7 prompt, and the sort. The
// file dialogs can be replaced (tests choose files without a dialog).
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "documents/document_host.h"
#include "documents/kept_package.h"
#include "documents/open_document.h"
#include "documents/save_document.h"

namespace yig::ui {

class MainForm;
class ProofPrompt;

/// The main window as the document commands see it.
class FormDocumentHost : public docs::DocumentHost {
 public:
  FormDocumentHost(MainForm& form, ProofPrompt& prompt) : form_(form), prompt_(prompt) {}

  rt::Document& editor() override;
  void setStatusCaption(const std::u16string& text) override;
  void showMessage(const std::u16string& text) override;
  bool tibetanInterface() const override;
  std::u16string fontBox() const override;
  void setFontBox(const std::u16string& fontName) override;
  void setSizeBox(int sizeHalfPoints) override;
  void selectSourceEncoding(int index, std::u16string_view code) override;
  docs::ProofChoice askProofMode() override;
  void clearModifiedFlag() override;
  void processEvents() override;

 private:
  MainForm& form_;
  ProofPrompt& prompt_;
};

/// A file chosen in the save dialog, with its filter entry (1..6).
struct SaveChoice {
  QString path;
  int filterIndex = 1;
};

class DocumentCommands {
 public:
  DocumentCommands(MainForm& form, ProofPrompt& prompt);

  /// Replace the dialogs: return the chosen path, or nothing when cancelled.
  std::function<std::optional<QString>()> chooseOpenPath;
  std::function<std::optional<SaveChoice>()> chooseSavePath;

  /// The open command: a file dialog, then the document into the editor.
  /// Returns true when the editor received a document (a proof import too).
  bool open();
  /// Opens a given file (the dialog's part skipped).
  bool openPath(const QString& path);
  /// The save command: a file dialog, then the editor's content written.
  /// Returns true only when the file was written.
  bool save();
  /// Saves over the opened document when it is in a format the program
  /// writes; asks for a name otherwise.
  bool saveCurrent();
  /// Writes the editor's content to `typedPath`: its ending chooses the
  /// format, `filterIndex` (1..6) only fills in a missing ending.
  bool saveTo(const QString& typedPath, int filterIndex);
  /// The sort of the editor's text, or of its selection when
  /// `SelectionOnlyFlag` is set.
  void sort();

  FormDocumentHost& host() { return host_; }
  /// The package of the Word or OpenDocument file the document came from:
  /// converting the whole document converts it too, and saving as a name of
  /// its kind writes it while the editor holds the document that goes with it.
  std::optional<docs::KeptPackage>& keptPackage() { return kept_; }
  /// The files last opened or saved, newest first (kept between runs).
  static QStringList recentFiles();
  static void rememberRecentFile(const QString& path);
  /// The folder and name the next dialog proposes (the last file opened or saved).
  QString lastPath() const { return lastPath_; }

 private:
  std::optional<QString> askOpenPath();
  std::optional<SaveChoice> askSavePath();

  MainForm& form_;
  FormDocumentHost host_;
  QString lastPath_;
  std::optional<docs::KeptPackage> kept_;
};

/// The dialog filter in Qt's form ("Name (*.a *.b);;...") from the
/// "Name|*.a;*.b|" form the commands are described with.
QString qtFileFilter(std::u16string_view filter);

}  // namespace yig::ui
