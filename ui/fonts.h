#pragma once
// Fonts of the interface and of documents on this platform.
#include <QFont>
#include <QString>

namespace yig::ui {

/// Maps the Unicode Tibetan font names that documents carry ("Microsoft Himalaya",
/// "Himalaya", "Monlam Uni ...") and the Chinese system font "宋体" to fonts that
/// are installed, so that text set in them always renders. Safe to call twice.
void installFontSubstitutions();

/// The interface font `family` at `points`. Unicode Tibetan fonts other than the
/// one the interface was designed with draw their letters much larger at the same
/// point size; such a substitute is scaled down so that captions keep their size.
QFont interfaceFont(const QString& family, double points);

/// Whether text in `family` is written to RTF as code page 936 bytes (fcharset 134):
/// the Chinese fonts and the national-standard Tibetan fonts.
bool isGbkFont(const QString& family);

/// The Tibetan interface font and size, and the Chinese ones.
inline const QString kTibetanUiFont = QStringLiteral("Microsoft Himalaya");
inline constexpr double kTibetanUiPoints = 18;
inline const QString kChineseUiFont = QStringLiteral("宋体");
inline constexpr double kChineseUiPoints = 10.5;

}  // namespace yig::ui
