#pragma once
// Fonts of the interface and of documents on this platform.
#include <QFont>
#include <QString>

class QLabel;

namespace yig::ui {

/// Maps the Unicode Tibetan font names that documents carry ("Microsoft Himalaya",
/// "Himalaya", "Monlam Uni ...") and the Chinese system font "宋体" to fonts that
/// are installed, so that text set in them always renders. Safe to call twice.
void installFontSubstitutions();

/// The interface font `family` at `points`. Unicode Tibetan fonts other than the
/// one the interface was designed with draw their letters much larger at the same
/// point size; such a substitute is scaled down so that captions keep their size.
QFont interfaceFont(const QString& family, double points);

/// Where the ink of a typical letter lies, in pixels relative to the baseline
/// (negative above it): for Tibetan the base letter from its headline to its
/// foot, for other scripts a CJK character. Measured once per font by drawing.
struct InkSpan {
  int top = 0;
  int bottom = 0;
  double centre() const { return (top + bottom) / 2.0; }
};
InkSpan letterInk(const QFont& font, bool tibetan);

/// Gives a vertically centred label the top margin that centres the letters of
/// its text rather than its font's line box. Tibetan fonts keep room for
/// vowels above and stacks below, unevenly, so a label that centres the line
/// shows ordinary Tibetan words a few pixels too high. Other labels, and any
/// label when `tibetan` is false, get their top margin back.
void centreLetters(QLabel* label, bool tibetan);

/// Whether text in `family` is written to RTF as code page 936 bytes (fcharset 134):
/// the Chinese fonts and the national-standard Tibetan fonts.
bool isGbkFont(const QString& family);

/// The Tibetan interface font and size, and the Chinese ones.
inline const QString kTibetanUiFont = QStringLiteral("Microsoft Himalaya");
inline constexpr double kTibetanUiPoints = 18;
inline const QString kChineseUiFont = QStringLiteral("宋体");
inline constexpr double kChineseUiPoints = 10.5;

}  // namespace yig::ui
