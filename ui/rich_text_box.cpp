#include "ui/rich_text_box.h"

#include <QMouseEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <cmath>

#include "ui/fonts.h"

namespace yig::ui {
namespace {

constexpr int kCharsetProperty = QTextFormat::UserProperty + 1;
constexpr int kFamilyProperty = QTextFormat::UserProperty + 2;
constexpr int kPitchProperty = QTextFormat::UserProperty + 3;

QString qstr(std::u16string_view s) {
  return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}

// A line break inside a paragraph is u'\v' in the model and U+2028 in Qt.
QString toQtText(std::u16string_view s) {
  QString text = qstr(s);
  text.replace(QChar(u'\v'), QChar::LineSeparator);
  return text;
}

std::u16string fromQtText(QString text) {
  text.replace(QChar::LineSeparator, QChar(u'\v'));
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

std::u16string u16(const QString& s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size()));
}

QString familyOf(const QTextCharFormat& format) {
  const QVariant families = format.property(QTextFormat::FontFamilies);
  if (families.isValid()) {
    const QStringList list = families.toStringList();
    if (!list.isEmpty()) return list.first();
  }
  return format.property(QTextFormat::FontFamily).toString();
}

int halfPointsOf(const QTextCharFormat& format, int fallback) {
  const double points = format.fontPointSize();
  return points > 0 ? static_cast<int>(std::lround(points * 2)) : fallback;
}

/// Calls fn(format, length) for every piece of text in [start, end).
template <typename Fn>
void forEachFormat(const QTextDocument& doc, int start, int end, Fn&& fn) {
  for (QTextBlock block = doc.findBlock(start); block.isValid() && block.position() < end;
       block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const int from = std::max(fragment.position(), start);
      const int to = std::min(fragment.position() + fragment.length(), end);
      if (from < to && !fn(fragment.charFormat())) return;
    }
  }
}

}  // namespace

QTextCharFormat toQtFormat(const rt::CharFormat& format) {
  QTextCharFormat f;
  f.setFontFamilies(QStringList{qstr(format.font.name)});
  f.setProperty(kCharsetProperty, format.font.charset);
  f.setProperty(kFamilyProperty, QString::fromStdString(format.font.family));
  f.setProperty(kPitchProperty, format.font.pitch);
  f.setFontPointSize(format.sizeHalfPoints / 2.0);
  if (format.color)
    f.setForeground(QColor(format.color->r, format.color->g, format.color->b));
  f.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
  f.setFontItalic(format.italic);
  f.setFontUnderline(format.underline);
  f.setFontStrikeOut(format.strike);
  return f;
}

rt::CharFormat fromQtFormat(const QTextCharFormat& f) {
  rt::CharFormat format;
  const QString name = familyOf(f);
  if (!name.isEmpty()) format.font.name = u16(name);
  if (f.hasProperty(kCharsetProperty))
    format.font.charset = f.intProperty(kCharsetProperty);
  else
    format.font.charset = isGbkFont(name) ? 134 : 0;
  if (f.hasProperty(kFamilyProperty)) format.font.family = f.stringProperty(kFamilyProperty).toStdString();
  if (f.hasProperty(kPitchProperty)) format.font.pitch = f.intProperty(kPitchProperty);
  format.sizeHalfPoints = halfPointsOf(f, format.sizeHalfPoints);
  if (f.foreground().style() != Qt::NoBrush) {
    const QColor c = f.foreground().color();
    format.color = rt::Color{static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                             static_cast<std::uint8_t>(c.blue())};
  }
  format.bold = f.fontWeight() > QFont::Medium;
  format.italic = f.fontItalic();
  format.underline = f.fontUnderline();
  format.strike = f.fontStrikeOut();
  return format;
}

void modelToQt(const rt::Document& source, QTextDocument& target, const std::function<void()>& betweenPieces) {
  const bool undo = target.isUndoRedoEnabled();
  target.setUndoRedoEnabled(false);
  target.clear();
  QTextCursor cursor(&target);
  cursor.beginEditBlock();
  const std::u16string_view text = source.text();
  bool first = true;
  std::size_t sinceBreak = 0;
  for (const rt::Document::Run& run : source.runs()) {
    sinceBreak += run.end - run.start + 64;
    if (betweenPieces && sinceBreak > 65536) {
      sinceBreak = 0;
      betweenPieces();
    }
    const QTextCharFormat format = toQtFormat(*run.format);
    if (first) {
      // The first block's own format is what an empty paragraph shows.
      cursor.setBlockCharFormat(format);
      first = false;
    }
    std::size_t pos = run.start;
    while (pos < run.end) {
      std::size_t brk = text.find(u'\r', pos);
      if (brk == std::u16string_view::npos || brk > run.end) brk = run.end;
      if (brk > pos) cursor.insertText(toQtText(text.substr(pos, brk - pos)), format);
      if (brk < run.end) {
        cursor.insertBlock(QTextBlockFormat(), format);
        ++brk;
      }
      pos = brk;
    }
  }
  if (first) cursor.setBlockCharFormat(toQtFormat(source.defaultFormat()));
  cursor.endEditBlock();
  target.setUndoRedoEnabled(undo);
}

void qtToModel(const QTextDocument& source, rt::Document& target, const std::function<void()>& betweenPieces) {
  target.clear();
  int blocks = 0;
  for (QTextBlock block = source.begin(); block.isValid(); block = block.next()) {
    if (betweenPieces && ++blocks % 2048 == 0) betweenPieces();
    if (block != source.begin()) {
      // The separator that starts a block carries the block's character format.
      target.append(u"\r", fromQtFormat(block.charFormat()));
    }
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      target.append(fromQtText(fragment.text()), fromQtFormat(fragment.charFormat()));
    }
  }
  target.select(0, 0);
}

RichTextBox::RichTextBox(QWidget* parent) : QTextEdit(parent) {
  setAcceptRichText(true);
  setTabChangesFocus(false);
  watchDocument();
}

void RichTextBox::watchDocument() {
  connect(document(), &QTextDocument::contentsChanged, this, [this] {
    if (!loading_) widgetDirty_ = true;
  });
}

rt::Document& RichTextBox::model() {
  if (widgetDirty_) {
    qtToModel(*document(), model_, betweenPieces);
    rt::CharFormat def = model_.defaultFormat();
    if (!defaultFontName_.isEmpty()) def.font.name = u16(defaultFontName_);
    model_.setDefaultFormat(def);
    widgetDirty_ = false;
  }
  model_.select(static_cast<std::size_t>(selStart()), static_cast<std::size_t>(selLength()));
  return model_;
}

void RichTextBox::modelChanged() {
  // Edits of the widget below are the model's own content: the model stays valid.
  const std::size_t start = model_.selStart(), length = model_.selLength();
  if (model_.length() > 100000) {
    // A large document is built aside while the window goes on painting the
    // old one, then takes its place.
    auto* fresh = new QTextDocument(this);
    fresh->setDefaultFont(document()->defaultFont());
    modelToQt(model_, *fresh, betweenPieces);
    // The editor deletes its previous document, which it owns.
    loading_ = true;
    setDocument(fresh);
    loading_ = false;
    watchDocument();
    emit textChanged();
  } else {
    loading_ = true;
    modelToQt(model_, *document());
    loading_ = false;
  }
  widgetDirty_ = false;
  if (model_.length() == 0) setCurrentCharFormat(toQtFormat(model_.defaultFormat()));
  select(static_cast<int>(start), static_cast<int>(length));
  model_.select(start, length);
}

std::string RichTextBox::rtf() { return model().rtf(); }

void RichTextBox::setRtf(const std::string& rtf) {
  rt::Document& doc = model();
  if (!doc.setRtf(rtf).ok) return;
  doc.select(0, 0);
  modelChanged();
}

std::string RichTextBox::selectionRtf() { return model().selectionRtf(); }

void RichTextBox::replaceSelectionRtf(const std::string& rtf) {
  rt::Document& doc = model();
  if (!doc.replaceSelectionRtf(rtf).ok) return;
  doc.select(doc.selStart(), 0);
  modelChanged();
}

QString RichTextBox::plainText() const {
  QString text = document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
  text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
  return text;
}

int RichTextBox::textLength() const { return document()->characterCount() - 1; }

QString RichTextBox::selectedText() const {
  QString text = textCursor().selectedText();
  text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
  text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
  return text;
}

int RichTextBox::selStart() const { return textCursor().selectionStart(); }

int RichTextBox::selLength() const {
  const QTextCursor c = textCursor();
  return c.selectionEnd() - c.selectionStart();
}

void RichTextBox::select(int start, int length) {
  const int size = textLength();
  start = std::clamp(start, 0, size);
  length = std::clamp(length, 0, size - start);
  QTextCursor c = textCursor();
  c.setPosition(start);
  c.setPosition(start + length, QTextCursor::KeepAnchor);
  setTextCursor(c);
}

std::optional<QString> RichTextBox::selectionFontName() const {
  const QTextCursor c = textCursor();
  if (!c.hasSelection()) return familyOf(c.charFormat());
  std::optional<QString> name;
  bool mixed = false;
  forEachFormat(*document(), c.selectionStart(), c.selectionEnd(), [&](const QTextCharFormat& f) {
    const QString family = familyOf(f);
    if (name && *name != family) mixed = true;
    name = family;
    return !mixed;
  });
  if (mixed) return std::nullopt;
  return name;
}

QString RichTextBox::fontNameAtCaret(int position) const {
  QTextCursor c(document());
  c.setPosition(std::clamp(position, 0, textLength()));
  return familyOf(c.charFormat());
}

std::optional<double> RichTextBox::selectionFontPoints() const {
  const QTextCursor c = textCursor();
  auto points = [this](const QTextCharFormat& f) {
    const double p = f.fontPointSize();
    return p > 0 ? p : document()->defaultFont().pointSizeF();
  };
  if (!c.hasSelection()) return points(c.charFormat());
  std::optional<double> size;
  bool mixed = false;
  forEachFormat(*document(), c.selectionStart(), c.selectionEnd(), [&](const QTextCharFormat& f) {
    const double p = points(f);
    if (size && *size != p) mixed = true;
    size = p;
    return !mixed;
  });
  if (mixed) return std::nullopt;
  return size;
}

void RichTextBox::applyToSelection(const QTextCharFormat& change) { mergeCurrentCharFormat(change); }

void RichTextBox::setSelectionFontName(const QString& name) {
  QTextCharFormat f;
  f.setFontFamilies(QStringList{name});
  f.setProperty(kCharsetProperty, isGbkFont(name) ? 134 : 0);
  f.setProperty(kFamilyProperty, QStringLiteral("fnil"));
  f.setProperty(kPitchProperty, -1);
  applyToSelection(f);
}

void RichTextBox::setSelectionFontPoints(double points) {
  if (!(points > 0) || points > 1638) return;
  QTextCharFormat f;
  f.setFontPointSize(std::round(points * 2) / 2);
  applyToSelection(f);
}

void RichTextBox::setSelectionEffects(bool bold, bool italic, bool underline, bool strike) {
  QTextCharFormat f;
  f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
  f.setFontItalic(italic);
  f.setFontUnderline(underline);
  f.setFontStrikeOut(strike);
  applyToSelection(f);
}

void RichTextBox::setSelectionColor(const QColor& color) {
  QTextCharFormat f;
  f.setForeground(color);
  applyToSelection(f);
}

void RichTextBox::setDefaultFontName(const QString& name) {
  defaultFontName_ = name;
  QFont font = document()->defaultFont();
  font.setFamilies(QStringList{name});
  document()->setDefaultFont(font);
  rt::CharFormat def = model_.defaultFormat();
  def.font.name = u16(name);
  def.font.charset = isGbkFont(name) ? 134 : 0;
  model_.setDefaultFormat(def);
}

void RichTextBox::mousePressEvent(QMouseEvent* event) {
  QTextEdit::mousePressEvent(event);
  emit mousePressed(event->button());
}

void RichTextBox::mouseReleaseEvent(QMouseEvent* event) {
  QTextEdit::mouseReleaseEvent(event);
  emit mouseReleased(event->button());
}

}  // namespace yig::ui
