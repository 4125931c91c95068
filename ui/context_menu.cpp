#include "ui/context_menu.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QRegularExpression>

#include <QApplication>

#include "ui/clickable_label.h"
#include "ui/skin.h"

namespace yig::ui {

namespace {
constexpr int kPadding = 4;
constexpr int kMinEntryWidth = 150;

// Sets an entry's text colour; a disabled entry always shows grey.
void paintEntry(ClickableLabel* label, const QColor& color) {
  label->setColors(QColor(), color);
  QPalette p = label->palette();
  if (p.color(QPalette::Disabled, QPalette::WindowText) != QColor(Qt::gray)) {
    p.setColor(QPalette::Disabled, QPalette::WindowText, Qt::gray);
    label->setPalette(p);
  }
}
// An entry keeps its whole caption as its text (the interface-language
// switch looks captions up by it) but draws it in two columns: the name on
// the left, the key on the right in the interface's Latin font, so that the
// keys line up whatever script and font the name is in.
class ContextEntry : public ClickableLabel {
 public:
  using ClickableLabel::ClickableLabel;

  QSize sizeHint() const override {
    const auto [name, key] = split();
    const QFontMetrics nameMetrics(font());
    const QFontMetrics keyMetrics(keyFont());
    const int keyWidth = key.isEmpty() ? 0 : 36 + keyMetrics.horizontalAdvance(key);
    const int width = 12 + nameMetrics.horizontalAdvance(name) + keyWidth + 12;
    return {width, std::max(nameMetrics.height(), keyMetrics.height()) + 4};
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const auto [name, key] = split();
    const QColor color = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText);
    painter.setPen(color);
    painter.setFont(font());
    const QRect area = rect().adjusted(12, 0, -12, 0);
    painter.drawText(area, Qt::AlignVCenter | Qt::AlignLeft, name);
    if (!key.isEmpty()) {
      painter.setFont(keyFont());
      painter.drawText(area, Qt::AlignVCenter | Qt::AlignRight, key);
    }
  }

 private:
  static QFont keyFont() {
    QFont f = QApplication::font();
    f.setPointSizeF(10);
    return f;
  }

  std::pair<QString, QString> split() const {
    static const QRegularExpression keyAtEnd(QStringLiteral("\\s+((?:Ctrl\\+\\S+)|Del)\\s*$"));
    const QString caption = text();
    const QRegularExpressionMatch m = keyAtEnd.match(caption);
    if (!m.hasMatch()) return {caption.trimmed(), QString()};
    return {caption.left(m.capturedStart()).trimmed(), m.captured(1)};
  }
};

}  // namespace

const std::array<QString, ContextMenu::kEntryCount>& ContextMenu::captions() {
  static const std::array<QString, kEntryCount> texts{
      QStringLiteral("  撤消         Ctrl+Z "), QStringLiteral("  剪切         Ctrl+X "),
      QStringLiteral("  复制         Ctrl+C "), QStringLiteral("  粘贴         Ctrl+V "),
      QStringLiteral("  删除         Del "),    QStringLiteral("  全选         Ctrl+A "),
      QStringLiteral("  字体字号"),                QStringLiteral("  编辑注释"),
      QStringLiteral("  页眉页脚")};
  return texts;
}

ContextMenu::ContextMenu(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("ContextMenu"));
  setFrameShape(QFrame::Box);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, Qt::white);
  p.setColor(QPalette::WindowText, skin::kBorder);
  setPalette(p);
  setFocusPolicy(Qt::StrongFocus);

  bar_ = new QWidget(this);
  bar_->setObjectName(QStringLiteral("hoverBar"));
  bar_->setAutoFillBackground(true);
  QPalette bp = bar_->palette();
  bp.setColor(QPalette::Window, palette().color(QPalette::Highlight));
  bar_->setPalette(bp);
  bar_->hide();

  for (int i = 0; i < kEntryCount; ++i) {
    auto* label = new ContextEntry(captions()[static_cast<std::size_t>(i)], this);
    label->setObjectName(QStringLiteral("ContextEntry%1").arg(i));
    label->setAttribute(Qt::WA_Hover);
    paintEntry(label, Qt::black);
    connect(label, &ClickableLabel::hoverChanged, this, [this, i](bool inside) {
      if (inside) hoverEntry(i);
    });
    connect(label, &ClickableLabel::clicked, this, [this, i] {
      dismiss();
      emit triggered(i);
    });
    entries_[static_cast<std::size_t>(i)] = label;
  }
  layoutContent();
  hide();
}

void ContextMenu::layoutContent() {
  int width = kMinEntryWidth;
  int height = 0;
  for (ClickableLabel* label : entries_) {
    const QSize hint = label->sizeHint();
    width = std::max(width, hint.width());
    height = std::max(height, hint.height() + 6);
  }
  for (int i = 0; i < kEntryCount; ++i)
    entries_[static_cast<std::size_t>(i)]->setGeometry(kPadding, kPadding + i * height, width, height);
  resize(width + 2 * kPadding, kEntryCount * height + 2 * kPadding);
}

void ContextMenu::setEnabling(bool hasSelection, bool clipboardHasText, bool editorHasText, bool onNote) {
  entry(Undo)->setEnabled(true);
  entry(Cut)->setEnabled(hasSelection);
  entry(Copy)->setEnabled(hasSelection);
  entry(Paste)->setEnabled(clipboardHasText);
  entry(Delete)->setEnabled(hasSelection);
  entry(SelectAll)->setEnabled(editorHasText);
  entry(FontDialog)->setEnabled(true);
  entry(EditNote)->setEnabled(onNote);
  entry(HeadersFooters)->setEnabled(true);
}

void ContextMenu::popup(QPoint pos) {
  layoutContent();
  for (ClickableLabel* label : entries_) paintEntry(label, Qt::black);
  bar_->hide();
  if (QWidget* host = parentWidget()) {
    pos.setX(std::clamp(pos.x(), 0, std::max(0, host->width() - width())));
    pos.setY(std::clamp(pos.y(), 0, std::max(0, host->height() - height())));
  }
  move(pos);
  show();
  raise();
  setFocus();
}

void ContextMenu::dismiss() {
  hide();
  bar_->hide();
  for (ClickableLabel* label : entries_) paintEntry(label, Qt::black);
}

void ContextMenu::hoverEntry(int index) {
  const QColor highlightText = palette().color(QPalette::HighlightedText);
  for (int i = 0; i < kEntryCount; ++i) {
    ClickableLabel* label = entries_[static_cast<std::size_t>(i)];
    if (i == index) {
      if (label->isEnabled()) paintEntry(label, highlightText);
    } else if (label->textColor() != QColor(Qt::black)) {
      paintEntry(label, Qt::black);
    }
  }
  if (index < 0 || !entry(index)->isEnabled()) {
    bar_->hide();
    return;
  }
  bar_->setGeometry(entry(index)->geometry().adjusted(-2, 0, 2, 0));
  bar_->show();
  bar_->lower();
}

void ContextMenu::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    dismiss();
    if (parentWidget()) parentWidget()->setFocus();
    return;
  }
  QFrame::keyPressEvent(event);
}

bool ContextMenu::event(QEvent* event) {
  if (event->type() == QEvent::Leave) hoverEntry(-1);
  return QFrame::event(event);
}

}  // namespace yig::ui
