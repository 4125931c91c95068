#pragma once
// Helpers of the editor-interaction and session tests: a shown main window,
// clipboard payloads, settling the event loop, file dialogs replaced.
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <memory>

#include "ui/editor_interactions.h"
#include "ui/main_form.h"
#include "ui/rich_text_box.h"

namespace yig::ui::test {

/// Lets queued events (deferred slots, deletions) run.
inline void settle(int rounds = 3) {
  for (int i = 0; i < rounds; ++i) {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

/// A main window, shown, in the given interface language.
inline std::unique_ptr<MainForm> shownForm(bool tibetan = false) {
  auto form = std::make_unique<MainForm>();
  form->setInterfaceLanguage(tibetan);
  form->show();
  (void)QTest::qWaitForWindowExposed(form.get(), 30000);
  settle();
  form->ModifiedFlag = false;
  return form;
}

inline void setClipboardText(const QString& text) {
  auto* data = new QMimeData;
  data->setText(text);
  QApplication::clipboard()->setMimeData(data);
}

inline void setClipboardRtf(const QByteArray& rtf, const QString& text) {
  auto* data = new QMimeData;
  data->setData(QStringLiteral("text/rtf"), rtf);
  data->setText(text);
  QApplication::clipboard()->setMimeData(data);
}

/// Runs `action` once `widget` is shown (it may be shown by a nested event loop).
template <typename Fn>
void whenVisible(QWidget* widget, Fn action) {
  auto* timer = new QTimer(widget);
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, widget, [timer, widget, action] {
    if (!widget->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    action();
  });
  timer->start();
}

/// Ctrl+<key> typed into the editor.
inline void ctrlKey(MainForm& form, Qt::Key key) {
  QTest::keyClick(form.RichTextBox1, key, Qt::ControlModifier);
  settle();
}

}  // namespace yig::ui::test
