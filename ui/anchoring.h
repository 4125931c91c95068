#pragma once
// Layout anchoring of a window's controls, and the edge zones of a frameless
// window that size it.
//
// A control takes part when its "tag" property holds a non-empty text; eight
// tags move or stretch it so that its distance to the window's right or bottom
// edge stays what it was when the window was first laid out.
#include <QList>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

namespace yig::ui {

/// Name of the widget property that holds a control's anchoring tag.
inline constexpr const char* kTagProperty = "tag";

/// Sets a control's anchoring tag.
void setAnchorTag(QWidget* control, const QString& tag);
QString anchorTag(const QWidget* control);

/// Twips (1/1440 inch) to pixels at the screen's resolution, and back.
int twipsToPixels(int twips, const QWidget* reference = nullptr);
int pixelsToTwips(int pixels, const QWidget* reference = nullptr);

struct AnchorRecord {
  int top = 0, left = 0, height = 0, width = 0;
  QString tag;
};

/// What the window keeps between calls: the records, the controls, the
/// recorded window size.
struct AnchorState {
  QList<AnchorRecord> records;
  QList<QPointer<QWidget>> controls;
  int width = 0, height = 0;
  int count() const { return static_cast<int>(records.size()); }
};

/// Axis hint: both axes, horizontal rules only, vertical rules only.
enum class AnchorAxis { Both = 0, Horizontal = 1, Vertical = 2 };

/// Records the tagged controls of `window` when nothing is recorded yet (or
/// `reRecord`), then moves and stretches every recorded control for the
/// window's current size. Does nothing while the window is minimized. A size
/// that would become negative is not applied; controls keep their visibility.
void AnchorControls(AnchorState& state, QWidget* window, bool reRecord = false,
                    AnchorAxis hint = AnchorAxis::Both);

/// The edge zones of a frameless window.
enum class EdgeZone { None, LeftUp, RightDown, RightUp, LeftDown, Left, Right, Up, Down, Move };

/// The zone under the pointer at `pos` (screen pixels) for the window
/// rectangle `window` (right and bottom exclusive); None in the interior.
EdgeZone edgeZoneAt(QPoint pos, QRect window);
/// The cursor shown in a zone (the arrow in the interior).
Qt::CursorShape zoneCursor(EdgeZone zone);
/// The window edges that a zone sizes.
Qt::Edges zoneEdges(EdgeZone zone);
/// The zone's name ("LeftUp", ..., "Move"; empty for None).
QString zoneName(EdgeZone zone);

/// The geometry a window gets when its `zone` is dragged by `delta` pixels from
/// `start`. Width and height stay at least `minimum`.
QRect resizedGeometry(QRect start, EdgeZone zone, QPoint delta, QSize minimum);

}  // namespace yig::ui
