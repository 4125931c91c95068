#pragma once
// The window skin: colours, pictures drawn with QPainter (sharp at any scale),
// and the picture button with its hover state.
#include <QAbstractButton>
#include <QColor>
#include <QPixmap>

namespace yig::ui {

namespace skin {
inline const QColor kTitleTop{0x1d, 0x4f, 0x7c};
inline const QColor kTitleBottom{0x25, 0x66, 0x9c};
inline const QColor kWindow{0xf3, 0xf6, 0xfa};
inline const QColor kBar{0xe6, 0xee, 0xf6};
inline const QColor kBorder{0x9f, 0xb4, 0xca};
inline const QColor kText{0x1f, 0x2a, 0x36};
inline const QColor kMuted{0x5b, 0x6b, 0x7c};
/// A chosen encoding label's background and text (0xE9A428 as 0x00BBGGRR).
inline const QColor kChosen{40, 164, 233};
inline const QColor kChosenText{0xff, 0xff, 0xff};
/// Hover colour of menu captions and links (0x0080FF as 0x00BBGGRR).
inline const QColor kHover{255, 128, 0};
/// Links (0xFF0000 as 0x00BBGGRR).
inline const QColor kLink{0, 0, 255};
inline const QColor kRed{0xd9, 0x3b, 0x3b};
}  // namespace skin

enum class Picture {
  Logo,
  Minimize,
  Maximize,
  Close,
  Open,
  Save,
  Convert,
  Sort,
  About,
  Help,
  Exit,
  FontDownload,
  Shrink,
  Grow,
  Palette,
  PanelClose
};

/// Draws a picture into `rect`. `hover` draws its highlighted variant; `light`
/// draws it for a dark background.
void paintPicture(QPainter& painter, Picture picture, const QRectF& rect, bool hover, bool light = false);
/// The picture as a pixmap of `size` logical pixels at the device pixel ratio `dpr`.
QPixmap picturePixmap(Picture picture, QSize size, qreal dpr = 1.0, bool hover = false);

/// A flat button that shows one picture, highlighted while the pointer is over it.
class SkinButton : public QAbstractButton {
  Q_OBJECT
 public:
  SkinButton(Picture picture, QWidget* parent = nullptr, bool onDark = false);
  void setPicture(Picture picture);
  Picture picture() const { return picture_; }
  bool hovered() const { return hovered_; }
  QSize sizeHint() const override { return {28, 28}; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;

 private:
  Picture picture_;
  bool onDark_;
  bool hovered_ = false;
};

}  // namespace yig::ui
