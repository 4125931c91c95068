#include "ui/convert_panel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>

#include "ui/encoding_choices.h"
#include "ui/skin.h"

namespace yig::ui {

namespace {
constexpr int kPanelWidth = 540;
constexpr int kTitleHeight = 34;
}  // namespace

ConvertPanel::ConvertPanel(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("Picture2"));
  setFrameShape(QFrame::NoFrame);
  title_ = new QLabel(QStringLiteral("藏文转换"), this);
  title_->setObjectName(QStringLiteral("panelTitle"));
  QPalette white = title_->palette();
  white.setColor(QPalette::WindowText, Qt::white);
  title_->setPalette(white);
  title_->installEventFilter(this);
  sourceHeading_ = new QLabel(QString::fromUtf16(kSourceHeading), this);
  targetHeading_ = new QLabel(QString::fromUtf16(kTargetHeading), this);
  for (QLabel* heading : {sourceHeading_, targetHeading_}) {
    QPalette p = heading->palette();
    p.setColor(QPalette::WindowText, skin::kTitleTop);
    heading->setPalette(p);
    heading->installEventFilter(this);
  }
  for (const EncodingChoice& row : encodingChoices()) {
    for (int index : {row.sourceIndex, row.sourceIndex + 10}) {
      auto* option = new QRadioButton(this);
      option->setObjectName(QStringLiteral("Option1_%1").arg(index));
      option->setAutoExclusive(false);
      option->setFocusPolicy(Qt::NoFocus);
      auto* label = new ClickableLabel(QStringView(row.label).toString(), this);
      label->setObjectName(QStringLiteral("Label14_%1").arg(index));
      label->setCursor(Qt::PointingHandCursor);
      label->setContentsMargins(6, 0, 6, 0);
      label->setColors(Qt::white, palette().color(QPalette::ButtonText));
      options_[static_cast<std::size_t>(index)] = option;
      labels_[static_cast<std::size_t>(index)] = label;
      connect(option, &QRadioButton::clicked, this, [this, index] {
        setChosen(index);
        emit choiceClicked(index);
      });
      connect(label, &ClickableLabel::clicked, this, [this, index] {
        setChosen(index);
        emit choiceClicked(index);
      });
    }
  }
  combo3_ = new QComboBox(this);
  combo3_->setObjectName(QStringLiteral("Combo3"));
  combo3_->addItems({QStringLiteral("Ededris"), QStringLiteral("Dedris")});
  combo3_->setCurrentIndex(0);
  combo3_->hide();
  convert_ = new ClickableLabel(QString::fromUtf16(kConvertCaption), this);
  convert_->setObjectName(QStringLiteral("Label10"));
  convert_->setAlignment(Qt::AlignCenter);
  convert_->setCursor(Qt::PointingHandCursor);
  convert_->setStyleSheet(QStringLiteral(
      "QLabel{background:#28a4e9;color:white;border-radius:5px;}QLabel:hover{background:#1d8fcf;}"));
  connect(convert_, &ClickableLabel::clicked, this, &ConvertPanel::convertClicked);
  close_ = new SkinButton(Picture::PanelClose, this, true);
  close_->setObjectName(QStringLiteral("panelClose"));
  connect(close_, &SkinButton::clicked, this, &ConvertPanel::closeClicked);
  layoutContent();
}

QRadioButton* ConvertPanel::option(int index) const {
  return isChoiceIndex(index) ? options_[static_cast<std::size_t>(index)] : nullptr;
}

ClickableLabel* ConvertPanel::label(int index) const {
  return isChoiceIndex(index) ? labels_[static_cast<std::size_t>(index)] : nullptr;
}

int ConvertPanel::chosenSource() const {
  for (int i = 0; i <= 6; ++i)
    if (options_[static_cast<std::size_t>(i)]->isChecked()) return i;
  return -1;
}

int ConvertPanel::chosenTarget() const {
  for (int i = 10; i <= 16; ++i)
    if (options_[static_cast<std::size_t>(i)]->isChecked()) return i;
  return -1;
}

void ConvertPanel::setChosen(int index) {
  if (!isChoiceIndex(index)) return;
  const int first = index < 10 ? 0 : 10;
  for (int i = first; i <= first + 6; ++i) options_[static_cast<std::size_t>(i)]->setChecked(i == index);
}

void ConvertPanel::clearTargets() {
  for (int i = 10; i <= 16; ++i) options_[static_cast<std::size_t>(i)]->setChecked(false);
}

void ConvertPanel::layoutContent() {
  const int column = (kPanelWidth - 36) / 2;
  const int rowHeight = std::max(30, labels_[0]->fontMetrics().height() + 8);
  const int headingHeight = std::max(26, sourceHeading_->fontMetrics().height() + 4);
  title_->setGeometry(38, 0, kPanelWidth - 80, kTitleHeight);
  close_->setGeometry(kPanelWidth - 36, 4, 28, 26);
  int y = kTitleHeight + 10;
  sourceHeading_->setGeometry(16, y, column, headingHeight);
  targetHeading_->setGeometry(20 + column, y, column, headingHeight);
  y += headingHeight + 6;
  for (int row = 0; row < 7; ++row) {
    for (int side = 0; side < 2; ++side) {
      const int index = row + side * 10;
      const int x = side == 0 ? 16 : 20 + column;
      options_[static_cast<std::size_t>(index)]->setGeometry(x, y + (rowHeight - 20) / 2, 20, 20);
      labels_[static_cast<std::size_t>(index)]->setGeometry(x + 24, y + 1, column - 28, rowHeight - 2);
    }
    y += rowHeight + 2;
  }
  y += 8;
  const int buttonHeight = std::max(34, convert_->fontMetrics().height() + 10);
  combo3_->setGeometry(20 + column + 24, y + (buttonHeight - 28) / 2, 140, 28);
  convert_->setGeometry((kPanelWidth - 140) / 2 - column / 2, y, 140, buttonHeight);
  resize(kPanelWidth, y + buttonHeight + 16);
}

void ConvertPanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(skin::kBorder);
  painter.setBrush(Qt::white);
  painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
  QLinearGradient grad(0, 0, 0, kTitleHeight);
  grad.setColorAt(0, skin::kTitleTop);
  grad.setColorAt(1, skin::kTitleBottom);
  QPainterPath top;
  top.addRoundedRect(QRectF(0.5, 0.5, width() - 1, kTitleHeight + 6), 6, 6);
  QPainterPath clip;
  clip.addRect(QRectF(0, 0, width(), kTitleHeight));
  painter.setPen(Qt::NoPen);
  painter.setBrush(grad);
  painter.drawPath(top.intersected(clip));
  paintPicture(painter, Picture::Convert, QRectF(10, 6, 22, 22), false, true);
  painter.setPen(QColor(0xdc, 0xe6, 0xf0));
  const int mid = width() / 2;
  painter.drawLine(mid, kTitleHeight + 12, mid, height() - 60);
}

void ConvertPanel::beginDrag(QPoint globalPos) {
  dragging_ = true;
  dragOffset_ = globalPos - pos();
  grabMouse();
}

bool ConvertPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress &&
      (watched == title_ || watched == sourceHeading_ || watched == targetHeading_)) {
    auto* e = static_cast<QMouseEvent*>(event);
    if (e->button() == Qt::LeftButton) beginDrag(e->globalPosition().toPoint());
    return true;
  }
  return QFrame::eventFilter(watched, event);
}

void ConvertPanel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && event->position().y() < kTitleHeight)
    beginDrag(event->globalPosition().toPoint());
}

void ConvertPanel::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) move(event->globalPosition().toPoint() - dragOffset_);
}

void ConvertPanel::mouseReleaseEvent(QMouseEvent*) {
  if (dragging_) {
    dragging_ = false;
    releaseMouse();
  }
}

}  // namespace yig::ui
