#include "ui/background_work.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <exception>

#include "ui/main_form.h"
#include "ui/rich_text_box.h"

namespace yig::ui {

void WorkControl::onWindowThread(const std::function<void()>& task) {
  if (QThread::currentThread() == form_.thread()) {
    task();
    return;
  }
  QMetaObject::invokeMethod(&form_, task, Qt::BlockingQueuedConnection);
}

void runInBackground(MainForm& form, WorkControl& control, const std::function<void()>& work) {
  QEventLoop loop;
  std::exception_ptr failure;
  QThread* worker = QThread::create([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
  });
  QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
  form.workStarted(control);
  worker->start();
  // The loop ends when the worker has finished; until then the window paints,
  // follows the progress and takes Cancel, while its commands are locked.
  if (!worker->isFinished()) loop.exec();
  worker->wait();
  delete worker;
  form.workFinished();
  if (failure) std::rethrow_exception(failure);
}

WorkerEngineHost::WorkerEngineHost(WorkControl& control, rt::Document editorCopy)
    : control_(control),
      editor_(std::move(editorCopy)),
      sourceFonts_(control.form().sourceFontList()),
      family_(control.form().sambhotaFamily()),
      tibetan_(control.form().tibetanInterface()),
      selStart_(control.form().savedSelectionStart()),
      selLength_(control.form().savedSelectionLength()) {}

std::u16string WorkerEngineHost::translateForDisplay(const std::u16string& chinese) const {
  // The interface language cannot change while the window is locked.
  return control_.form().translateForDisplay(chinese);
}

WorkerDocumentHost::WorkerDocumentHost(WorkControl& control, docs::DocumentHost& window, rt::Document editorCopy)
    : control_(control),
      window_(window),
      editor_(std::move(editorCopy)),
      fontBox_(window.fontBox()),
      tibetan_(window.tibetanInterface()) {
  setOpenedFileName(window.openedFileName());
  setProofMode(window.proofMode());
}

void WorkerDocumentHost::setStatusCaption(const std::u16string& text) {
  control_.onWindowThread([&] { window_.setStatusCaption(text); });
}

void WorkerDocumentHost::setFontBox(const std::u16string& fontName) {
  fontBox_ = fontName;
  control_.onWindowThread([&] { window_.setFontBox(fontName); });
}

void WorkerDocumentHost::setSizeBox(int sizeHalfPoints) {
  control_.onWindowThread([&] { window_.setSizeBox(sizeHalfPoints); });
}

void WorkerDocumentHost::selectSourceEncoding(int index, std::u16string_view code) {
  control_.onWindowThread([&] { window_.selectSourceEncoding(index, code); });
}

docs::ProofChoice WorkerDocumentHost::askProofMode() {
  docs::ProofChoice choice = docs::ProofChoice::Cancel;
  control_.onWindowThread([&] {
    window_.setOpenedFileName(openedFileName());
    choice = window_.askProofMode();
  });
  return choice;
}

}  // namespace yig::ui
