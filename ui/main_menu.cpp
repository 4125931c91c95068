#include "ui/main_menu.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/clickable_label.h"

namespace yig::ui {

namespace {
constexpr int kPictureSize = 30;
constexpr int kEntryWidth = 80;
}  // namespace

MainMenuEntry::MainMenuEntry(Picture picture, const QString& caption, QWidget* parent)
    : QWidget(parent), picture_(picture) {
  setMouseTracking(true);
  setCursor(Qt::PointingHandCursor);
  caption_ = new ClickableLabel(caption, this);
  caption_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  caption_->setColors(QColor(), Qt::black);
  // The caption is part of the click area: its events reach the entry.
  caption_->installEventFilter(this);
}

void MainMenuEntry::setHovered(bool hovered) {
  if (hovered == hovered_) return;
  hovered_ = hovered;
  caption_->setColors(QColor(), hovered ? skin::kHover : QColor(Qt::black));
  update();
  emit hoverChanged(hovered);
}

void MainMenuEntry::layoutContent() {
  const int captionTop = kPictureSize + 2;
  caption_->setGeometry(0, captionTop, width(), std::max(0, height() - captionTop));
}

void MainMenuEntry::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  if (hovered_) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 150));
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 5, 5);
  }
  const QRectF pictureRect((width() - kPictureSize) / 2.0, 2, kPictureSize, kPictureSize);
  paintPicture(painter, picture_, pictureRect, hovered_);
}

void MainMenuEntry::enterEvent(QEnterEvent* event) {
  setHovered(true);
  QWidget::enterEvent(event);
}

void MainMenuEntry::leaveEvent(QEvent* event) {
  setHovered(false);
  QWidget::leaveEvent(event);
}

void MainMenuEntry::mousePressEvent(QMouseEvent* event) { event->accept(); }

void MainMenuEntry::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
  event->accept();
}

bool MainMenuEntry::eventFilter(QObject* watched, QEvent* event) {
  if (watched == caption_ && event->type() == QEvent::MouseButtonRelease) {
    auto* e = static_cast<QMouseEvent*>(event);
    if (e->button() == Qt::LeftButton && caption_->rect().contains(e->position().toPoint())) emit clicked();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

const std::array<QString, MainMenu::kEntryCount>& MainMenu::captions() {
  static const std::array<QString, kEntryCount> texts{
      QStringLiteral("打开文件"),   QStringLiteral("保存文件"),   QStringLiteral("藏文转换"),
      QStringLiteral("藏文排序"),   QStringLiteral("关    于"),   QStringLiteral("帮    助"),
      QStringLiteral("退    出"),   QStringLiteral("字库下载")};
  return texts;
}

MainMenu::MainMenu(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("MainMenu"));
  setMouseTracking(true);
  const Picture pictures[kEntryCount] = {Picture::Open,  Picture::Save, Picture::Convert, Picture::Sort,
                                         Picture::About, Picture::Help, Picture::Exit,    Picture::FontDownload};
  for (int i = 0; i < kEntryCount; ++i) {
    auto* entry = new MainMenuEntry(pictures[i], captions()[static_cast<std::size_t>(i)], this);
    entry->setObjectName(QStringLiteral("MainMenuEntry%1").arg(i));
    entry->caption()->setObjectName(QStringLiteral("MainMenuCaption%1").arg(i));
    connect(entry, &MainMenuEntry::clicked, this, [this, i] { emit triggered(i); });
    entries_[static_cast<std::size_t>(i)] = entry;
  }
}

void MainMenu::layoutContent(int width) {
  const int entryWidth = std::clamp(width / kEntryCount, 56, kEntryWidth);
  for (int i = 0; i < kEntryCount; ++i) {
    MainMenuEntry* entry = entries_[static_cast<std::size_t>(i)];
    entry->setGeometry(i * entryWidth, 0, entryWidth, height());
    entry->layoutContent();
  }
}

void MainMenu::leaveEvent(QEvent* event) {
  for (MainMenuEntry* entry : entries_) entry->setHovered(false);
  QWidget::leaveEvent(event);
}

void MainMenu::mouseMoveEvent(QMouseEvent* event) {
  // Over the bar's background, between entries: nothing is highlighted.
  if (!childAt(event->position().toPoint()))
    for (MainMenuEntry* entry : entries_) entry->setHovered(false);
  QWidget::mouseMoveEvent(event);
}

}  // namespace yig::ui
