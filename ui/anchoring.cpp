#include "ui/anchoring.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVariant>
#include <cmath>

namespace yig::ui {

void setAnchorTag(QWidget* control, const QString& tag) { control->setProperty(kTagProperty, tag); }

QString anchorTag(const QWidget* control) { return control->property(kTagProperty).toString(); }

namespace {

double screenDpi(const QWidget* reference) {
  if (reference) return reference->logicalDpiX();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) return screen->logicalDotsPerInchX();
  return 96.0;
}

}  // namespace

int twipsToPixels(int twips, const QWidget* reference) {
  return static_cast<int>(std::lround(twips * screenDpi(reference) / 1440.0));
}

int pixelsToTwips(int pixels, const QWidget* reference) {
  return static_cast<int>(std::lround(pixels * 1440.0 / screenDpi(reference)));
}

void AnchorControls(AnchorState& state, QWidget* window, bool reRecord, AnchorAxis hint) {
  if (!window || window->isMinimized()) return;
  if (state.records.isEmpty() || reRecord) {
    state.records.clear();
    state.controls.clear();
    const QList<QWidget*> children = window->findChildren<QWidget*>();
    for (QWidget* control : children) {
      const QString tag = anchorTag(control);
      if (tag.isEmpty()) continue;
      const QRect g = control->geometry();
      state.records.append(AnchorRecord{g.top(), g.left(), g.height(), g.width(), tag});
      state.controls.append(control);
    }
    state.width = window->width();
    state.height = window->height();
  }

  const int W = window->width(), H = window->height();
  const int W0 = state.width, H0 = state.height;
  const bool horizontal = hint != AnchorAxis::Vertical;
  const bool vertical = hint != AnchorAxis::Horizontal;
  for (int i = 0; i < state.count(); ++i) {
    QWidget* control = state.controls[i];
    if (!control) continue;
    const AnchorRecord& r = state.records[i];
    QRect g = control->geometry();
    // Each value keeps the control's far margin as it was recorded.
    const int stretchedWidth = W - (W0 - (r.left + r.width)) - r.left;
    const int stretchedHeight = H - (H0 - (r.top + r.height)) - r.top;
    const int movedLeft = W - (W0 - r.left);
    const int movedTop = H - (H0 - r.top);
    const bool stretchH = r.tag == u"STRETCHH" || r.tag == u"STRETCHALL" || r.tag == u"STRETCHHMOVEV";
    const bool stretchV = r.tag == u"STRETCHV" || r.tag == u"STRETCHALL" || r.tag == u"STRETCHVMOVEH";
    const bool moveH = r.tag == u"MOVEH" || r.tag == u"MOVEALL" || r.tag == u"STRETCHVMOVEH";
    const bool moveV = r.tag == u"MOVEV" || r.tag == u"MOVEALL" || r.tag == u"STRETCHHMOVEV";
    if (horizontal && stretchH && stretchedWidth >= 0) g.setWidth(stretchedWidth);
    if (vertical && stretchV && stretchedHeight >= 0) g.setHeight(stretchedHeight);
    if (horizontal && moveH) g.moveLeft(movedLeft);
    if (vertical && moveV) g.moveTop(movedTop);
    if (g != control->geometry()) control->setGeometry(g);
  }
}

EdgeZone edgeZoneAt(QPoint pos, QRect window) {
  const int x = pos.x(), y = pos.y();
  const int L = window.left(), T = window.top();
  const int R = window.left() + window.width(), B = window.top() + window.height();
  if (y < T + 5 && x < L + 5) return EdgeZone::LeftUp;
  if (y > B - 5 && x > R - 5) return EdgeZone::RightDown;
  if (x > R - 5 && y < T + 5) return EdgeZone::RightUp;
  if (y > B - 5 && x < L + 5) return EdgeZone::LeftDown;
  if (x < L + 5) return EdgeZone::Left;
  if (x > R - 5) return EdgeZone::Right;
  if (y < T + 5) return EdgeZone::Up;
  if (y > B - 5) return EdgeZone::Down;
  return EdgeZone::None;
}

Qt::CursorShape zoneCursor(EdgeZone zone) {
  switch (zone) {
    case EdgeZone::LeftUp:
    case EdgeZone::RightDown: return Qt::SizeFDiagCursor;
    case EdgeZone::RightUp:
    case EdgeZone::LeftDown: return Qt::SizeBDiagCursor;
    case EdgeZone::Left:
    case EdgeZone::Right: return Qt::SizeHorCursor;
    case EdgeZone::Up:
    case EdgeZone::Down: return Qt::SizeVerCursor;
    case EdgeZone::Move: return Qt::SizeAllCursor;
    case EdgeZone::None: break;
  }
  return Qt::ArrowCursor;
}

Qt::Edges zoneEdges(EdgeZone zone) {
  switch (zone) {
    case EdgeZone::LeftUp: return Qt::LeftEdge | Qt::TopEdge;
    case EdgeZone::RightDown: return Qt::RightEdge | Qt::BottomEdge;
    case EdgeZone::RightUp: return Qt::RightEdge | Qt::TopEdge;
    case EdgeZone::LeftDown: return Qt::LeftEdge | Qt::BottomEdge;
    case EdgeZone::Left: return Qt::LeftEdge;
    case EdgeZone::Right: return Qt::RightEdge;
    case EdgeZone::Up: return Qt::TopEdge;
    case EdgeZone::Down: return Qt::BottomEdge;
    case EdgeZone::Move:
    case EdgeZone::None: break;
  }
  return {};
}

QString zoneName(EdgeZone zone) {
  switch (zone) {
    case EdgeZone::LeftUp: return QStringLiteral("LeftUp");
    case EdgeZone::RightDown: return QStringLiteral("RightDown");
    case EdgeZone::RightUp: return QStringLiteral("RightUp");
    case EdgeZone::LeftDown: return QStringLiteral("LeftDown");
    case EdgeZone::Left: return QStringLiteral("Left");
    case EdgeZone::Right: return QStringLiteral("Right");
    case EdgeZone::Up: return QStringLiteral("Up");
    case EdgeZone::Down: return QStringLiteral("Down");
    case EdgeZone::Move: return QStringLiteral("Move");
    case EdgeZone::None: break;
  }
  return {};
}

QRect resizedGeometry(QRect start, EdgeZone zone, QPoint delta, QSize minimum) {
  if (zone == EdgeZone::Move) return start.translated(delta);
  const Qt::Edges edges = zoneEdges(zone);
  QRect g = start;
  if (edges & Qt::LeftEdge) g.setLeft(std::min(start.left() + delta.x(), start.right() + 1 - minimum.width()));
  if (edges & Qt::RightEdge) g.setRight(std::max(start.right() + delta.x(), start.left() + minimum.width() - 1));
  if (edges & Qt::TopEdge) g.setTop(std::min(start.top() + delta.y(), start.bottom() + 1 - minimum.height()));
  if (edges & Qt::BottomEdge)
    g.setBottom(std::max(start.bottom() + delta.y(), start.top() + minimum.height() - 1));
  return g;
}

}  // namespace yig::ui
