#include "ui/rich_text_box.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <QMouseEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextLayout>
#include <QTextTable>
#include <QThread>
#include <cmath>

#include "richtext/carried_parts.h"
#include "richtext/rtf_lexer.h"
#include "ui/fonts.h"

namespace yig::ui {
namespace {

constexpr int kCharsetProperty = QTextFormat::UserProperty + 1;
constexpr int kFamilyProperty = QTextFormat::UserProperty + 2;
constexpr int kPitchProperty = QTextFormat::UserProperty + 3;
constexpr int kExtraProperty = QTextFormat::UserProperty + 4;   // rt::CharFormat::extra
constexpr int kObjectProperty = QTextFormat::UserProperty + 5;  // a carried object (char) or paragraph end (block)
constexpr int kFinalLeadProperty = QTextFormat::UserProperty + 6;  // the last block's opening words
constexpr int kCellEndProperty = QTextFormat::UserProperty + 7;     // a table cell: the model units that end it
constexpr int kBeforeTableProperty = QTextFormat::UserProperty + 8;  // a table's first cell: the mark before the table
constexpr int kGapProperty = QTextFormat::UserProperty + 9;  // a block the model does not have (before a table)
// The mark whose opening words (\\trowd...) must open the first paragraph of a
// row (on a row's first cell) or of the text after a table (on its last cell).
constexpr int kRowOpenerProperty = QTextFormat::UserProperty + 10;
constexpr int kAfterTableOpenerProperty = QTextFormat::UserProperty + 11;
// Qt hashes a property of our own types by its type alone: formats that differ
// only in the object they carry would share a hash, and Qt's format table would
// compare each new one with all the others. This number tells them apart.
constexpr int kIdentityProperty = QTextFormat::UserProperty + 12;
constexpr int kCarriedObjectType = QTextFormat::UserObject + 1;

// A carried object travels through Qt's formats by identity.
struct CarriedObject {
  std::shared_ptr<const rt::EmbeddedObject> object;
  friend bool operator==(const CarriedObject& a, const CarriedObject& b) { return a.object == b.object; }
};

// The model units a table cell stands for beside its text: its cell mark and,
// for the last cell of a row, the marks that follow it up to and with the row mark.
// Shared by identity, so that equal cell formats stay equal.
struct Unit {
  char16_t c;
  rt::CharFormat format;
};
struct CarriedUnits {
  std::shared_ptr<const std::vector<Unit>> units;
  friend bool operator==(const CarriedUnits& a, const CarriedUnits& b) { return a.units == b.units; }
};

std::shared_ptr<const rt::EmbeddedObject> objectOf(const QTextFormat& f) {
  const QVariant v = f.property(kObjectProperty);
  return v.isValid() ? v.value<CarriedObject>().object : nullptr;
}

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
}  // namespace yig::ui

Q_DECLARE_METATYPE(yig::ui::CarriedObject)
Q_DECLARE_METATYPE(yig::ui::CarriedUnits)

namespace yig::ui {
namespace {

// A carried picture: its image when Qt can show it (PNG, JPEG), and the size
// the document asks it to be shown at (\\picwgoal, \\pichgoal), in pixels.
struct Picture {
  QImage image;
  QSizeF goal;
};

Picture pictureOf(std::string_view rtf) {
  Picture picture;
  QByteArray data;
  int width = 0, height = 0;
  int depth = 0, dataDepth = -1;  // the group whose text is the picture's data, once its kind is known
  rtf::Lexer lexer(rtf);
  for (rtf::Token t = lexer.next(); t.kind != rtf::TokenKind::End && t.kind != rtf::TokenKind::NeedMore;
       t = lexer.next()) {
    if (t.kind == rtf::TokenKind::GroupOpen) {
      ++depth;
    } else if (t.kind == rtf::TokenKind::GroupClose) {
      if (depth-- == dataDepth) break;  // the first picture ends
    } else if (t.kind == rtf::TokenKind::ControlWord) {
      const int n = t.hasParam ? std::clamp(t.param, 0, 1000000) : 0;
      if (t.name == "picwgoal") width = n;
      if (t.name == "pichgoal") height = n;
      if (dataDepth < 0 && (t.name == "pngblip" || t.name == "jpegblip")) dataDepth = depth;
    } else if (depth == dataDepth && t.kind == rtf::TokenKind::Text) {
      for (const char c : t.bytes) {
        if (std::isxdigit(static_cast<unsigned char>(c))) data.append(c);
      }
    } else if (depth == dataDepth && t.kind == rtf::TokenKind::Binary) {
      data.append(QByteArray(t.payload.data(), static_cast<qsizetype>(t.payload.size())).toHex());
    }
  }
  if (dataDepth >= 0) picture.image.loadFromData(QByteArray::fromHex(data));
  if (width > 0 && height > 0) picture.goal = QSizeF(width / 15.0, height / 15.0);
  return picture;
}

// How an object is drawn: a note given as an ignorable group ({\\*\\footnote...}) as a note.
rt::EmbeddedObject::Kind shownKind(const rt::EmbeddedObject& object) {
  if (object.kind == rt::EmbeddedObject::Kind::Group && object.rtf.starts_with("{\\*\\footnote") &&
      rt::partKindOf(object.rtf) == rt::PartKind::Note)
    return rt::EmbeddedObject::Kind::Footnote;
  return object.kind;
}

// Draws carried objects: a picture as itself (or a box), a field or list
// number as its text, a footnote as a raised mark; the rest take no room.
class CarriedObjectHandler : public QObject, public QTextObjectInterface {
  Q_OBJECT
  Q_INTERFACES(QTextObjectInterface)
 public:
  using QObject::QObject;
  QSizeF intrinsicSize(QTextDocument*, int, const QTextFormat& format) override {
    const auto object = objectOf(format);
    if (!object) return {};
    const QFontMetricsF metrics(format.toCharFormat().font());
    switch (shownKind(*object)) {
      case rt::EmbeddedObject::Kind::Picture: {
        const Picture& picture = pictureFor(object);
        QSizeF size = picture.goal;
        if (size.isEmpty()) size = picture.image.isNull() ? QSizeF(48, 48) : QSizeF(picture.image.size());
        if (size.width() > 600) size.scale(600, 600 * size.height() / size.width(), Qt::KeepAspectRatio);
        return size;
      }
      case rt::EmbeddedObject::Kind::Field:
      case rt::EmbeddedObject::Kind::ListText:
        return {metrics.horizontalAdvance(shown(*object)), metrics.height()};
      case rt::EmbeddedObject::Kind::Footnote:
        return {metrics.horizontalAdvance(QStringLiteral("*")) + 2, metrics.height()};
      default:
        return {0, metrics.height()};
    }
  }
  void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int, const QTextFormat& format) override {
    const auto object = objectOf(format);
    if (!object) return;
    painter->save();
    painter->setFont(format.toCharFormat().font());
    switch (shownKind(*object)) {
      case rt::EmbeddedObject::Kind::Picture: {
        const QImage& image = pictureFor(object).image;
        if (image.isNull()) {
          painter->setPen(Qt::gray);
          painter->drawRect(rect.adjusted(1, 1, -1, -1));
          painter->drawLine(rect.topLeft(), rect.bottomRight());
        } else {
          painter->drawImage(rect, image);
        }
        break;
      }
      case rt::EmbeddedObject::Kind::Field:
      case rt::EmbeddedObject::Kind::ListText:
        painter->setPen(object->kind == rt::EmbeddedObject::Kind::Field ? QColor(0, 0, 192) : QColor(Qt::black));
        painter->drawText(rect, Qt::AlignLeft | Qt::AlignVCenter, shown(*object));
        break;
      case rt::EmbeddedObject::Kind::Footnote:
        painter->setPen(QColor(0, 0, 192));
        painter->drawText(rect, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("*"));
        break;
      default:
        break;
    }
    painter->restore();
  }

 private:
  static QString shown(const rt::EmbeddedObject& object) {
    QString text = QString::fromUtf16(object.shown.data(), static_cast<qsizetype>(object.shown.size()));
    text.replace(QChar(u'\t'), QChar(u' '));
    return text.simplified();
  }
  const Picture& pictureFor(const std::shared_ptr<const rt::EmbeddedObject>& object) {
    auto it = images_.find(object.get());
    if (it == images_.end()) {
      if (images_.size() > 256) images_.clear();
      it = images_.emplace(object.get(), Cached{object, pictureOf(object->rtf)}).first;
    }
    return it->second.picture;
  }
  struct Cached {
    std::shared_ptr<const rt::EmbeddedObject> keep;  // holds the address the map is keyed by
    Picture picture;
  };
  std::unordered_map<const rt::EmbeddedObject*, Cached> images_;
};

void registerObjectHandler(QTextDocument& doc) {
  if (doc.property("yigObjects").toBool()) return;
  doc.documentLayout()->registerHandler(kCarriedObjectType, new CarriedObjectHandler(&doc));
  doc.setProperty("yigObjects", true);
}

// How a paragraph looks, from the control words that open it (twips).
struct ParagraphLook {
  Qt::Alignment align = Qt::AlignLeft;
  int left = 0, right = 0, first = 0, before = 0, after = 0;
  bool indented() const { return align != Qt::AlignLeft || left || right || first || before || after; }
};

ParagraphLook paragraphLook(std::string_view words, ParagraphLook look) {
  rtf::Lexer lexer(words);
  int depth = 0;  // words inside carried groups (a header's paragraphs) are not this paragraph's
  for (rtf::Token t = lexer.next(); t.kind != rtf::TokenKind::End && t.kind != rtf::TokenKind::NeedMore;
       t = lexer.next()) {
    if (t.kind == rtf::TokenKind::GroupOpen) ++depth;
    if (t.kind == rtf::TokenKind::GroupClose && depth > 0) --depth;
    if (t.kind != rtf::TokenKind::ControlWord || depth > 0) continue;
    const int n = t.hasParam ? std::clamp(t.param, -31680, 31680) : 0;
    if (t.name == "pard") look = ParagraphLook{};
    else if (t.name == "ql") look.align = Qt::AlignLeft;
    else if (t.name == "qc") look.align = Qt::AlignHCenter;
    else if (t.name == "qr") look.align = Qt::AlignRight;
    else if (t.name == "qj" || t.name == "qd") look.align = Qt::AlignJustify;
    else if (t.name == "li" || t.name == "lin") look.left = n;
    else if (t.name == "ri" || t.name == "rin") look.right = n;
    else if (t.name == "fi") look.first = n;
    else if (t.name == "sb") look.before = n;
    else if (t.name == "sa") look.after = n;
  }
  return look;
}

QTextBlockFormat blockFormatOf(const ParagraphLook& look) {
  QTextBlockFormat f;
  constexpr double kPixelsPerTwip = 96.0 / 1440.0;
  f.setAlignment(look.align);
  f.setLeftMargin(std::max(0, look.left) * kPixelsPerTwip);
  f.setRightMargin(std::max(0, look.right) * kPixelsPerTwip);
  f.setTextIndent(look.first * kPixelsPerTwip);
  f.setTopMargin(std::max(0, look.before) * kPixelsPerTwip);
  f.setBottomMargin(std::max(0, look.after) * kPixelsPerTwip);
  return f;
}

int identity(const void* p) { return static_cast<int>(reinterpret_cast<std::uintptr_t>(p) >> 4); }

QTextCharFormat objectFormat(QTextCharFormat f, const std::shared_ptr<const rt::EmbeddedObject>& object) {
  f.setProperty(kObjectProperty, QVariant::fromValue(CarriedObject{object}));
  f.setProperty(kIdentityProperty, identity(object.get()));
  if (object->kind != rt::EmbeddedObject::Kind::Break) f.setObjectType(kCarriedObjectType);
  return f;
}

// --- tables ------------------------------------------------------------------
// A table row of the model: cells whose text ends with a cell mark (u'\t'
// carrying a \cell break), then marks the editor does not show, then the row
// mark (u'\r' carrying a \row break). A u'\r' inside a cell ends one of the
// cell's paragraphs. The editor shows such rows as QTextTable rows; rows it
// cannot show so (nested tables, text after the last cell) stay tab rows.

bool isBreak(const rt::CharFormat& f, std::string_view word) {
  return f.object && f.object->kind == rt::EmbeddedObject::Kind::Break && f.object->rtf == word;
}

// A mark that ends a paragraph, cell or row (`word`), opened by `lead`.
std::shared_ptr<const rt::EmbeddedObject> breakObject(std::string word, std::string lead = {}) {
  auto o = std::make_shared<rt::EmbeddedObject>();
  o->kind = rt::EmbeddedObject::Kind::Break;
  o->rtf = std::move(word);
  o->lead = std::move(lead);
  return o;
}

struct ModelRow {
  std::size_t start = 0;              // the row's first unit
  std::vector<std::size_t> cellEnds;  // each cell's mark
  std::size_t mark = 0;               // the row mark
};

struct ModelTable {
  std::size_t firstRow = 0, rows = 0;
};

// Whether a paragraph that these words open lies in a table, given the state before them.
bool inTableAfter(std::string_view words, bool inTable) {
  rtf::Lexer lexer(words);
  for (rtf::Token t = lexer.next(); t.kind != rtf::TokenKind::End && t.kind != rtf::TokenKind::NeedMore;
       t = lexer.next()) {
    if (t.kind != rtf::TokenKind::ControlWord) continue;
    if (t.name == "pard") inTable = false;
    else if (t.name == "intbl") inTable = !t.hasParam || t.param != 0;
    else if (t.name == "itap") inTable = t.hasParam && t.param > 0;
  }
  return inTable;
}

std::optional<ModelRow> rowOf(const rt::Document& doc, std::size_t start, std::size_t mark) {
  const std::u16string_view text = doc.text();
  ModelRow row{start, {}, mark};
  for (std::size_t i = start; i < mark; ++i) {
    if (text[i] != u'\t' && text[i] != u'\r') continue;
    const rt::CharFormat& f = doc.formatAt(i);
    if (text[i] == u'\t' && isBreak(f, "\\cell")) row.cellEnds.push_back(i);
    if (isBreak(f, "\\nestcell") || isBreak(f, "\\nestrow")) return std::nullopt;
  }
  if (row.cellEnds.empty()) return std::nullopt;
  for (std::size_t i = row.cellEnds.back() + 1; i < mark; ++i) {
    const auto& object = doc.formatAt(i).object;
    if (text[i] != 0xFFFC || !object ||
        (object->kind != rt::EmbeddedObject::Kind::Marks && object->kind != rt::EmbeddedObject::Kind::Group)) {
      return std::nullopt;
    }
  }
  return row;
}

// The rows the editor shows as tables, and how they group: consecutive rows
// with as many cells make one table.
std::vector<ModelTable> modelTables(const rt::Document& doc, std::vector<ModelRow>& rows) {
  const std::u16string_view text = doc.text();
  bool inTable = false;
  std::size_t rowStart = 0;
  for (std::size_t i = text.find(u'\r'); i != std::u16string_view::npos; i = text.find(u'\r', i + 1)) {
    const rt::CharFormat& f = doc.formatAt(i);
    const bool brk = f.object && f.object->kind == rt::EmbeddedObject::Kind::Break;
    if (brk && !f.object->lead.empty()) inTable = inTableAfter(f.object->lead, inTable);
    if (brk && f.object->rtf == "\\row") {
      if (std::optional<ModelRow> row = rowOf(doc, rowStart, i)) rows.push_back(std::move(*row));
      rowStart = i + 1;
    } else if (!inTable && !(brk && f.object->rtf == "\\nestrow")) {
      rowStart = i + 1;
    }
  }
  std::vector<ModelTable> tables;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    if (!tables.empty()) {
      const ModelRow& previous = rows[k - 1];
      const ModelRow& top = rows[tables.back().firstRow];
      if (tables.back().firstRow + tables.back().rows == k && rows[k].start == previous.mark + 1 &&
          rows[k].cellEnds.size() == top.cellEnds.size()) {
        ++tables.back().rows;
        continue;
      }
    }
    tables.push_back(ModelTable{k, 1});
  }
  // Qt lays a table out whole, and the editor maps positions cell by cell: past
  // this many cells a document's further tables stay tab rows, so that a large
  // document still opens, scrolls and takes typing at once.
  constexpr std::size_t kMaxCells = 4000;
  std::size_t cells = 0, shown = 0;
  while (shown < tables.size() &&
         (cells += tables[shown].rows * rows[tables[shown].firstRow].cellEnds.size()) <= kMaxCells) {
    ++shown;
  }
  tables.resize(shown);
  return tables;
}

// Column widths in pixels from the row's \cellx words (the last \trowd's), when
// there is one for each cell.
std::vector<double> columnWidths(const rt::Document& doc, const ModelRow& row) {
  const std::u16string_view text = doc.text();
  std::vector<int> edges;
  int left = 0;
  for (std::size_t i = row.start; i <= row.mark; ++i) {
    if (text[i] != u'\r') continue;
    const auto& object = doc.formatAt(i).object;
    if (!object) continue;
    rtf::Lexer lexer(object->lead);
    for (rtf::Token t = lexer.next(); t.kind != rtf::TokenKind::End && t.kind != rtf::TokenKind::NeedMore;
         t = lexer.next()) {
      if (t.kind != rtf::TokenKind::ControlWord) continue;
      const int n = t.hasParam ? std::clamp(t.param, -31680, 31680) : 0;
      if (t.name == "trowd") {
        edges.clear();
        left = 0;
      } else if (t.name == "trleft") {
        left = n;
      } else if (t.name == "cellx") {
        edges.push_back(n);
      }
    }
  }
  std::vector<double> widths;
  if (edges.size() != row.cellEnds.size()) return widths;
  constexpr double kPixelsPerTwip = 96.0 / 1440.0;
  for (const int edge : edges) {
    if (edge - left < 60) return {};
    widths.push_back((edge - left) * kPixelsPerTwip);
    left = edge;
  }
  return widths;
}

QTextTableFormat tableFormat(const std::vector<double>& widths) {
  QTextTableFormat f;
  f.setBorder(1);
  f.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
  f.setBorderBrush(QColor(128, 128, 128));
  f.setBorderCollapse(true);
  f.setCellSpacing(0);
  f.setCellPadding(3);
  f.setMargin(2);
  if (!widths.empty()) {
    QList<QTextLength> constraints;
    for (const double w : widths) constraints.append(QTextLength(QTextLength::FixedLength, w));
    f.setColumnWidthConstraints(constraints);
  }
  return f;
}

QVariant carriedUnits(const rt::Document& doc, std::size_t from, std::size_t to) {
  auto units = std::make_shared<std::vector<Unit>>();
  for (std::size_t i = from; i < to; ++i) units->push_back(Unit{doc.text()[i], doc.formatAt(i)});
  return QVariant::fromValue(CarriedUnits{std::move(units)});
}

// Keeps the words that open a table row (\\trowd, \\cellx...) or the text after a
// table (\\pard) on the first paragraph mark that follows the row's or the
// table's start, where the RTF writer puts them before the paragraph, once. A
// paragraph the user made inside a cell or after a table would otherwise come
// before them, and a reader would take it out of (or into) the table.
class Openings {
 public:
  void begin(const QVariant& opener) {
    opener_ = opener.isValid() ? opener.value<CarriedObject>().object : nullptr;
    if (opener_ && opener_->lead.empty()) opener_.reset();
    placed_ = false;
  }
  /// The opening words not yet placed (the last paragraph follows a table).
  const std::string* pending() const { return opener_ && !placed_ ? &opener_->lead : nullptr; }
  rt::CharFormat mark(rt::CharFormat f) {
    if (!opener_) return f;
    if (!placed_) {
      placed_ = true;
      if (f.object != opener_) f.object = withLead(f.object, opener_->lead + (f.object ? f.object->lead : ""));
    } else if (f.object == opener_) {
      f.object = withLead(opener_, "");
    }
    return f;
  }

 private:
  static std::shared_ptr<const rt::EmbeddedObject> withLead(const std::shared_ptr<const rt::EmbeddedObject>& object,
                                                            std::string lead) {
    if (!object) return breakObject("\\par", std::move(lead));
    auto copy = std::make_shared<rt::EmbeddedObject>(*object);
    copy->lead = std::move(lead);
    return copy;
  }
  std::shared_ptr<const rt::EmbeddedObject> opener_;
  bool placed_ = true;
};

// --- the widget's side: the separators Qt puts around and between cells -----
// Each cell starts after a U+FDD0, each table ends with U+FDD1. The separator
// before a table's first cell stands for the mark before the table (nothing
// when the block before is a gap: the document's start, or between tables);
// the separator after a cell stands for the units that end it.
struct Seam {
  int position = 0;         // the block after the separator
  bool tableStart = false;  // before a table's first cell, or after a cell
  bool rowEnd = false;      // after the last cell of a row
  QTextCharFormat cell;     // the format of that first cell, or of the cell it ends
  QTextCharFormat opened;   // the format of the cell it opens (none at a table's end)
  int columns = 0;          // of the table
};

std::vector<Seam> tableSeams(const QTextDocument& doc) {
  std::vector<Seam> seams;
  std::vector<QTextFrame*> frames{doc.rootFrame()};
  while (!frames.empty()) {
    QTextFrame* frame = frames.back();
    frames.pop_back();
    for (QTextFrame* child : frame->childFrames()) {
      frames.push_back(child);
      auto* table = qobject_cast<QTextTable*>(child);
      if (!table) continue;
      bool first = true, rowEnd = false;
      QTextCharFormat previous;
      for (int r = 0; r < table->rows(); ++r) {
        for (int c = 0; c < table->columns(); ++c) {
          const QTextTableCell cell = table->cellAt(r, c);
          if (cell.row() != r || cell.column() != c) continue;
          const QTextCharFormat format = cell.format();
          seams.push_back(Seam{cell.firstPosition(), first, rowEnd, first ? format : previous, format, table->columns()});
          first = false;
          rowEnd = c + cell.columnSpan() >= table->columns();
          previous = format;
        }
      }
      if (!first) seams.push_back(Seam{table->lastPosition() + 1, false, true, previous, {}, table->columns()});
    }
  }
  std::sort(seams.begin(), seams.end(), [](const Seam& a, const Seam& b) { return a.position < b.position; });
  return seams;
}

bool isGap(const QTextBlock& block) {
  return block.isValid() && block.length() == 1 && block.blockFormat().hasProperty(kGapProperty);
}

// The model units a seam stands for. Cells the model did not make (a table
// pasted from elsewhere) end with new cell and row marks, in the look of
// `editor` where Qt gave them none.
std::vector<Unit> seamUnits(const QTextDocument& doc, const Seam& seam, const rt::CharFormat* editor = nullptr) {
  const QTextCharFormat& f = seam.cell;
  if (seam.tableStart) {
    const QTextBlock gap = doc.findBlock(seam.position - 1);
    if (isGap(gap)) return {};
    if (gap.blockFormat().hasProperty(kGapProperty)) {
      // Text typed between two tables (or before the first): a paragraph of its own.
      static const auto paragraph = breakObject("\\par", "\\pard");
      rt::CharFormat mark = fromQtFormat(gap.charFormat(), editor);
      mark.object = paragraph;
      return {Unit{u'\r', mark}};
    }
    const QVariant before = f.property(kBeforeTableProperty);
    if (before.isValid() && before.value<CarriedUnits>().units) return *before.value<CarriedUnits>().units;
    rt::CharFormat mark = fromQtFormat(f, editor);
    mark.object.reset();
    return {Unit{u'\r', mark}};
  }
  const QVariant end = f.property(kCellEndProperty);
  if (end.isValid() && end.value<CarriedUnits>().units) return *end.value<CarriedUnits>().units;
  static const auto cell = breakObject("\\cell");
  rt::CharFormat mark = fromQtFormat(f, editor);
  mark.object = cell;
  std::vector<Unit> units{Unit{u'\t', mark}};
  if (seam.rowEnd) {
    // The row's opening, for a row of one paragraph a cell (as Qt makes them).
    std::string lead = "\\trowd\\trgaph108";
    for (int c = 1; c <= seam.columns; ++c) lead += "\\cellx" + std::to_string(c * 1800);
    lead += "\\pard\\intbl ";
    mark.object = breakObject("\\row", std::move(lead));
    units.push_back(Unit{u'\r', mark});
  }
  return units;
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
  if (!format.extra.empty()) f.setProperty(kExtraProperty, QByteArray::fromStdString(format.extra));
  if (format.object) f = objectFormat(f, format.object);
  return f;
}

rt::CharFormat fromQtFormat(const QTextCharFormat& f, const rt::CharFormat* editor) {
  rt::CharFormat format;
  const QString name = familyOf(f);
  if (!name.isEmpty()) format.font.name = u16(name);
  if (f.hasProperty(kCharsetProperty))
    format.font.charset = f.intProperty(kCharsetProperty);
  else
    format.font.charset = isGbkFont(name) ? 134 : 0;
  if (f.hasProperty(kFamilyProperty)) format.font.family = f.stringProperty(kFamilyProperty).toStdString();
  if (f.hasProperty(kPitchProperty)) format.font.pitch = f.intProperty(kPitchProperty);
  if (name.isEmpty() && editor) format.font = editor->font;  // the whole font: charset, family, pitch
  format.sizeHalfPoints = halfPointsOf(f, editor ? editor->sizeHalfPoints : format.sizeHalfPoints);
  if (f.foreground().style() != Qt::NoBrush) {
    const QColor c = f.foreground().color();
    format.color = rt::Color{static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                             static_cast<std::uint8_t>(c.blue())};
  }
  format.bold = f.fontWeight() > QFont::Medium;
  format.italic = f.fontItalic();
  format.underline = f.fontUnderline();
  format.strike = f.fontStrikeOut();
  if (f.hasProperty(kExtraProperty)) format.extra = f.property(kExtraProperty).toByteArray().toStdString();
  format.object = objectOf(f);
  return format;
}

void modelToQt(const rt::Document& source, QTextDocument& target, const std::function<void()>& betweenPieces,
               bool withLayout) {
  const bool undo = target.isUndoRedoEnabled();
  target.setUndoRedoEnabled(false);
  target.clear();
  if (withLayout) registerObjectHandler(target);
  QTextCursor cursor(&target);
  cursor.beginEditBlock();
  const std::u16string_view text = source.text();
  const std::vector<rt::Document::Run> runs = source.runs();
  std::size_t nextRun = 0;
  bool first = true;
  ParagraphLook look;
  std::size_t sinceBreak = 0;
  // Writes [from, to) of the model at `at`: runs of text, and a block for each paragraph mark.
  const auto write = [&](QTextCursor& at, std::size_t from, std::size_t to) {
    while (nextRun < runs.size() && runs[nextRun].end <= from) ++nextRun;
    for (std::size_t r = nextRun; r < runs.size() && runs[r].start < to; ++r) {
      const rt::Document::Run& run = runs[r];
      const std::size_t end = std::min(run.end, to);
      std::size_t pos = std::max(run.start, from);
      sinceBreak += end - pos + 64;
      if (betweenPieces && sinceBreak > 65536) {
        sinceBreak = 0;
        betweenPieces();
      }
      const QTextCharFormat format = toQtFormat(*run.format);
      if (first) {
        // The first block's own format is what an empty paragraph shows.
        at.setBlockCharFormat(format);
        first = false;
      }
      while (pos < end) {
        std::size_t brk = text.find(u'\r', pos);
        if (brk == std::u16string_view::npos || brk > end) brk = end;
        if (brk > pos) at.insertText(toQtText(text.substr(pos, brk - pos)), format);
        if (brk < end) {
          // A carried end mark opens its paragraph with words that also set its look.
          if (run.format->object) {
            look = paragraphLook(run.format->object->lead, look);
            at.setBlockFormat(blockFormatOf(look));
          } else if (look.indented()) {
            at.setBlockFormat(blockFormatOf(look));
          }
          at.insertBlock(QTextBlockFormat(), format);
          ++brk;
        }
        pos = brk;
      }
    }
  };

  std::vector<ModelRow> rows;
  const std::vector<ModelTable> tables = modelTables(source, rows);
  // The object of the first paragraph mark in [from, to), when there is one.
  const auto firstMark = [&](std::size_t from, std::size_t to) {
    const std::size_t at = text.find(u'\r', from);
    return at < to ? QVariant::fromValue(CarriedObject{source.formatAt(at).object}) : QVariant();
  };
  std::size_t pos = 0;
  for (std::size_t t = 0; t < tables.size(); ++t) {
    const ModelTable& table = tables[t];
    const ModelRow& top = rows[table.firstRow];
    QVariant before;
    if (top.start > pos) {
      // The paragraph mark before the table ends the block the table follows.
      write(cursor, pos, top.start - 1);
      const rt::CharFormat& mark = source.formatAt(top.start - 1);
      if (mark.object) look = paragraphLook(mark.object->lead, look);
      if (mark.object || look.indented()) cursor.setBlockFormat(blockFormatOf(look));
      before = carriedUnits(source, top.start - 1, top.start);
    } else {
      if (first) {
        cursor.setBlockCharFormat(toQtFormat(source.formatAt(top.start)));
        first = false;
      }
      QTextBlockFormat gap;
      gap.setProperty(kGapProperty, true);
      cursor.setBlockFormat(gap);
    }
    const int columns = static_cast<int>(top.cellEnds.size());
    QTextTable* qtTable =
        cursor.insertTable(static_cast<int>(table.rows), columns, tableFormat(columnWidths(source, top)));
    for (std::size_t r = 0; r < table.rows; ++r) {
      const ModelRow& row = rows[table.firstRow + r];
      const std::string& rowLead = source.formatAt(row.mark).object->lead;
      for (int c = 0; c < columns; ++c) {
        QTextTableCell cell = qtTable->cellAt(static_cast<int>(r), c);
        const std::size_t from = c == 0 ? row.start : row.cellEnds[c - 1] + 1;
        const std::size_t to = row.cellEnds[c];
        QTextCursor at = cell.firstCursorPosition();
        write(at, from, to);
        const ParagraphLook last = paragraphLook(rowLead, look);
        if (last.indented()) at.setBlockFormat(blockFormatOf(last));
        // Text typed into an empty cell takes the look of the cell's mark.
        QTextCharFormat f = toQtFormat(source.formatAt(to));
        f.clearProperty(kObjectProperty);
        f.clearProperty(kIdentityProperty);
        f.setProperty(kCellEndProperty, carriedUnits(source, to, c + 1 == columns ? row.mark + 1 : to + 1));
        f.setProperty(kIdentityProperty, identity(f.property(kCellEndProperty).value<CarriedUnits>().units.get()));
        if (r == 0 && c == 0 && before.isValid()) f.setProperty(kBeforeTableProperty, before);
        if (c == 0) f.setProperty(kRowOpenerProperty, firstMark(row.start, row.mark + 1));
        if (c + 1 == columns && r + 1 == table.rows) {
          const std::size_t after = row.mark + 1;
          f.setProperty(kAfterTableOpenerProperty,
                        firstMark(after, t + 1 < tables.size() ? rows[tables[t + 1].firstRow].start : text.size()));
        }
        cell.setFormat(f);
      }
      look = paragraphLook(rowLead, look);
    }
    pos = rows[table.firstRow + table.rows - 1].mark + 1;
    cursor.movePosition(QTextCursor::End);
    cursor.setBlockFormat(QTextBlockFormat());
  }
  write(cursor, pos, text.size());
  if (first) cursor.setBlockCharFormat(toQtFormat(source.defaultFormat()));
  if (!source.finalParagraphLead().empty()) {
    QTextBlockFormat last = blockFormatOf(paragraphLook(source.finalParagraphLead(), look));
    last.setProperty(kFinalLeadProperty, QByteArray::fromStdString(source.finalParagraphLead()));
    cursor.setBlockFormat(last);
  } else if (look.indented()) {
    cursor.setBlockFormat(blockFormatOf(look));
  }
  cursor.endEditBlock();
  target.setUndoRedoEnabled(undo);
}

void qtToModel(const QTextDocument& source, rt::Document& target, const std::function<void()>& betweenPieces) {
  // What the widget does not hold (the header) stays with the model.
  std::shared_ptr<const rt::CarriedHeader> header = target.carriedHeader();
  target.clear();
  target.setCarriedHeader(std::move(header));
  const std::vector<Seam> seams = tableSeams(source);
  std::size_t nextSeam = 0;
  Openings openings;
  const rt::CharFormat editor = target.defaultFormat();
  int blocks = 0;
  for (QTextBlock block = source.begin(); block.isValid(); block = block.next()) {
    if (betweenPieces && ++blocks % 2048 == 0) betweenPieces();
    while (nextSeam < seams.size() && seams[nextSeam].position < block.position()) ++nextSeam;
    if (nextSeam < seams.size() && seams[nextSeam].position == block.position()) {
      // A table's separator: the marks of the cell it ends, or the one before the table.
      const Seam& seam = seams[nextSeam];
      for (const Unit& unit : seamUnits(source, seam, &editor)) {
        target.append(std::u16string_view(&unit.c, 1), unit.c == u'\r' ? openings.mark(unit.format) : unit.format);
      }
      if (seam.opened.hasProperty(kRowOpenerProperty)) openings.begin(seam.opened.property(kRowOpenerProperty));
      if (seam.opened.objectType() != QTextFormat::TableCellObject) {
        // After a table Qt made (dropped into the editor) the text opens with \pard, out of the table.
        static const QVariant pard = QVariant::fromValue(CarriedObject{breakObject("\\par", "\\pard")});
        const QVariant after = seam.cell.property(kAfterTableOpenerProperty);
        openings.begin(seam.cell.hasProperty(kCellEndProperty) ? after : pard);
      }
    } else if (block != source.begin()) {
      // The separator that starts a block carries the block's character format
      // (and the end mark of the paragraph before it, never another object).
      rt::CharFormat mark = fromQtFormat(block.charFormat(), &editor);
      if (mark.object && (mark.object->kind != rt::EmbeddedObject::Kind::Break || mark.object->rtf == "\\cell" ||
                          mark.object->rtf == "\\nestcell")) {
        mark.object.reset();
      }
      target.append(u"\r", openings.mark(mark));
    }
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      rt::CharFormat format = fromQtFormat(fragment.charFormat(), &editor);
      std::u16string text = fromQtText(fragment.text());
      if (format.object) {
        // An object belongs to one object character or cell mark; text typed
        // beside it may have taken its format, but not the object.
        const char16_t first = text.empty() ? 0 : text.front();
        const rt::EmbeddedObject& object = *format.object;
        const bool cellMark = object.kind == rt::EmbeddedObject::Kind::Break &&
                              (object.rtf == "\\cell" || object.rtf == "\\nestcell");
        const bool holds = (first == 0xFFFC && object.kind != rt::EmbeddedObject::Kind::Break) ||
                           (first == u'\t' && cellMark);
        if (holds) {
          target.append(std::u16string_view(text).substr(0, 1), format);
          text.erase(0, 1);
        }
        format.object.reset();
      }
      target.append(text, format);
    }
    if (!block.next().isValid()) {
      const QVariant lead = block.blockFormat().property(kFinalLeadProperty);
      if (lead.isValid()) target.setFinalParagraphLead(lead.toByteArray().toStdString());
      else if (const std::string* opening = openings.pending()) target.setFinalParagraphLead(*opening);
    }
  }
  target.select(0, 0);
}

RichTextBox::RichTextBox(QWidget* parent) : QTextEdit(parent) {
  layoutPacer_.setInterval(10);
  connect(&layoutPacer_, &QTimer::timeout, this, &RichTextBox::paceLayout);
  setAcceptRichText(true);
  setTabChangesFocus(false);
  watchDocument();
}

void RichTextBox::watchDocument() {
  anchorsStale_ = true;
  connect(document(), &QTextDocument::contentsChange, this, &RichTextBox::followChange);
  connect(document(), &QTextDocument::contentsChanged, this, [this] {
    if (!changeFollowed_) anchorsStale_ = true;
    changeFollowed_ = false;
    if (loading_) return;
    widgetDirty_ = true;
    // A new edit makes the undone steps unreachable.
    if (!document()->isRedoAvailable()) redoSteps_.clear();
  });
}

namespace {

// The remembered documents together hold at most this many units (a 16 M-unit
// copy takes about 100 MB); the newest step is always kept.
constexpr std::size_t kUndoUnits = 16u << 20;
constexpr std::size_t kUndoSteps = 20;

}  // namespace

void RichTextBox::rememberForUndo() { rememberForUndo(model()); }

void RichTextBox::rememberForUndo(rt::Document before) {
  undoSteps_.push_back(std::move(before));
  redoSteps_.clear();
  trimUndoSteps();
}

void RichTextBox::trimUndoSteps() {
  std::size_t units = 0;
  for (const rt::Document& step : undoSteps_) units += step.length();
  std::size_t drop = 0;
  while (undoSteps_.size() - drop > 1 && (undoSteps_.size() - drop > kUndoSteps || units > kUndoUnits)) {
    units -= undoSteps_[drop].length();
    ++drop;
  }
  undoSteps_.erase(undoSteps_.begin(), undoSteps_.begin() + static_cast<std::ptrdiff_t>(drop));
}

void RichTextBox::forgetUndoSteps() {
  undoSteps_.clear();
  redoSteps_.clear();
}

bool RichTextBox::canUndoStep() const { return document()->isUndoAvailable() || !undoSteps_.empty(); }
bool RichTextBox::canRedoStep() const { return document()->isRedoAvailable() || !redoSteps_.empty(); }

void RichTextBox::restoreStep(std::vector<rt::Document>& from, std::vector<rt::Document>& to) {
  to.push_back(model());
  model_ = std::move(from.back());
  from.pop_back();
  modelChanged();
}

void RichTextBox::takeStep(bool back) {
  if (isReadOnly()) return;
  // The widget's own steps (typing, formatting) come first.
  if (back ? document()->isUndoAvailable() : document()->isRedoAvailable()) return back ? undo() : redo();
  std::vector<rt::Document>& from = back ? undoSteps_ : redoSteps_;
  if (!from.empty()) restoreStep(from, back ? redoSteps_ : undoSteps_);
}

void RichTextBox::undoStep() { takeStep(true); }
void RichTextBox::redoStep() { takeStep(false); }

namespace {

// The local files a drag from a file manager carries (none for text).
QStringList droppedFiles(const QMimeData* source) {
  QStringList paths;
  if (!source || !source->hasUrls()) return paths;
  for (const QUrl& url : source->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  return paths;
}

}  // namespace

void RichTextBox::dragEnterEvent(QDragEnterEvent* event) {
  if (droppedFiles(event->mimeData()).isEmpty()) return QTextEdit::dragEnterEvent(event);
  event->acceptProposedAction();
}

void RichTextBox::dragMoveEvent(QDragMoveEvent* event) {
  if (droppedFiles(event->mimeData()).isEmpty()) return QTextEdit::dragMoveEvent(event);
  event->acceptProposedAction();
}

void RichTextBox::dropEvent(QDropEvent* event) {
  // A dropped file is opened, not written into the document as its name.
  const QStringList files = droppedFiles(event->mimeData());
  if (files.isEmpty()) return QTextEdit::dropEvent(event);
  event->acceptProposedAction();
  if (isReadOnly()) return;
  QMetaObject::invokeMethod(this, [this, files] { emit filesDropped(files); }, Qt::QueuedConnection);
}

void RichTextBox::keyPressEvent(QKeyEvent* event) {
  if (event == QKeySequence::Undo) return undoStep();
  if (event == QKeySequence::Redo ||
      (event->key() == Qt::Key_Y && event->modifiers() == Qt::ControlModifier))
    return redoStep();
  QTextEdit::keyPressEvent(event);
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
    adoptDocument(fresh, start, length);
    return;
  }
  loading_ = true;
  modelToQt(model_, *document());
  loading_ = false;
  widgetDirty_ = false;
  if (model_.length() == 0) setCurrentCharFormat(toQtFormat(model_.defaultFormat()));
  select(static_cast<int>(start), static_cast<int>(length));
  model_.select(start, length);
}

std::unique_ptr<QTextDocument> RichTextBox::buildDocument(const rt::Document& model, const QFont& defaultFont,
                                                          QThread* editorThread,
                                                          const std::function<bool()>& cancelled,
                                                          const std::function<void(int)>& progress) {
  struct Stopped {};
  auto built = std::make_unique<QTextDocument>();
  built->setDefaultFont(defaultFont);
  // The pieces modelToQt stops between weigh a run 64 units more than its text.
  const std::size_t total = model.length() + 64 * model.runs().size() + 1;
  std::size_t done = 0;
  const auto between = [&] {
    if (cancelled && cancelled()) throw Stopped{};
    done += 65536;
    if (progress) progress(static_cast<int>(std::min<std::size_t>(100, done * 100 / total)));
  };
  // No layout is made here: a layout keeps font data of the thread that made
  // it, which a worker takes with it when it ends.
  try {
    modelToQt(model, *built, between, false);
  } catch (const Stopped&) {
    return nullptr;
  }
  built->moveToThread(editorThread);
  return built;
}

void RichTextBox::showBuilt(rt::Document model, std::unique_ptr<QTextDocument> built) {
  model_ = std::move(model);
  QTextDocument* document = built.release();
  document->setParent(this);
  adoptDocument(document, model_.selStart(), model_.selLength());
}

void RichTextBox::adoptDocument(QTextDocument* built, std::size_t start, std::size_t length) {
  registerObjectHandler(*built);
  // The editor deletes its previous document, which it owns.
  loading_ = true;
  setDocument(built);
  loading_ = false;
  watchDocument();
  emit textChanged();
  widgetDirty_ = false;
  // The editor's cursor kept the insertion format it had in the old document:
  // text typed at the caret takes the format found there.
  select(static_cast<int>(start), 0);
  if (model_.length() == 0) {
    setCurrentCharFormat(toQtFormat(model_.defaultFormat()));
  } else {
    QTextCursor probe(document());
    probe.setPosition(static_cast<int>(std::min<std::size_t>(start, model_.length())));
    setCurrentCharFormat(probe.charFormat());
  }
  select(static_cast<int>(start), static_cast<int>(length));
  model_.select(start, length);
  if (model_.length() > 100000) layoutPacer_.start();
}

void RichTextBox::paceLayout() {
  // Qt lays a document out in the background in steps that double up to
  // 200,000 characters, each blocking the window for up to a second on
  // Tibetan text. A change noted at the start sets the step size back to its
  // smallest, so the layout goes on in small steps until it reaches the end.
  const QTextBlock last = document()->lastBlock();
  if (!last.isValid() || (last.layout() && last.layout()->lineCount() > 0)) {
    layoutPacer_.stop();
    return;
  }
  document()->markContentsDirty(0, 1);
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

const std::vector<RichTextBox::Anchor>& RichTextBox::anchors() const {
  if (anchorsStale_) {
    anchors_.clear();
    int delta = 0;
    for (const Seam& seam : tableSeams(*document())) {
      const std::vector<Unit> units = seamUnits(*document(), seam);
      delta += static_cast<int>(units.size()) - 1;
      std::u16string shown;
      for (const Unit& unit : units) {
        if (unit.c == u'\t') shown += u'\t';
        if (unit.c == u'\r') shown += char16_t(QChar::ParagraphSeparator);
      }
      anchors_.push_back(Anchor{seam.position, delta, std::move(shown), seam.tableStart});
    }
    anchorsStale_ = false;
  }
  return anchors_;
}

void RichTextBox::followChange(int position, int removed, int added) {
  changeFollowed_ = true;
  if (anchorsStale_ || anchors_.empty()) return anchorsStale_ = true, void();
  // Anchors stand at the block after their separator.
  auto first = std::lower_bound(anchors_.begin(), anchors_.end(), position,
                                [](const Anchor& a, int p) { return a.position - 1 < p; });
  // A separator removed, replaced or given another format.
  if (first != anchors_.end() && first->position - 1 < position + removed) return anchorsStale_ = true, void();
  // A separator added (a table or cells inserted, or an edit undone); a long
  // insertion is not looked through.
  constexpr int kLookedThrough = 4096;
  if (added > kLookedThrough) return anchorsStale_ = true, void();
  for (int i = position; i < position + added; ++i) {
    const QChar c = document()->characterAt(i);
    if (c == QChar(0xFDD0) || c == QChar(0xFDD1)) return anchorsStale_ = true, void();
  }
  const int shift = added - removed;
  for (auto it = first; it != anchors_.end(); ++it) it->position += shift;
  // Text typed into, or taken from, the block before a table decides what the
  // table's first separator stands for.
  if (first != anchors_.end() && first->tableStart &&
      document()->findBlock(first->position - 1).position() <= position + added) {
    anchorsStale_ = true;
  }
}

int RichTextBox::toModel(int position) const {
  const std::vector<Anchor>& a = anchors();
  auto it = std::upper_bound(a.begin(), a.end(), position,
                             [](int p, const Anchor& anchor) { return p < anchor.position; });
  return it == a.begin() ? position : position + std::prev(it)->delta;
}

int RichTextBox::toWidget(int position) const {
  const std::vector<Anchor>& a = anchors();
  // The last anchor whose first model position is not past `position`.
  auto it = std::upper_bound(a.begin(), a.end(), position,
                             [](int p, const Anchor& anchor) { return p < anchor.position + anchor.delta; });
  const int delta = it == a.begin() ? 0 : std::prev(it)->delta;
  int widget = position - delta;
  // Units the widget does not show (after a row's last cell) stand at the next cell.
  if (it != a.end() && widget >= it->position) widget = it->position;
  return widget;
}

QString RichTextBox::modelText(int from, int to) const {
  // The document's text as it is stored (a cursor would lay the document out
  // up to `to` to place itself).
  const QString raw = document()->toRawText();
  QString text;
  if (anchors().empty()) {
    text = raw.mid(from, to - from);
  } else {
    int at = from;
    for (const Anchor& anchor : anchors()) {
      const int separator = anchor.position - 1;
      if (separator < from) continue;
      if (separator >= to) break;
      text += QStringView(raw).mid(at, separator - at);
      text += qstr(anchor.shown);
      at = separator + 1;
    }
    text += QStringView(raw).mid(at, to - at);
  }
  text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
  text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
  return text;
}

QString RichTextBox::plainText() const { return modelText(0, document()->characterCount() - 1); }

int RichTextBox::plainTextLength() const {
  const QString raw = document()->toRawText();
  const int end = document()->characterCount() - 1;
  // Line and paragraph ends become CR LF.
  const auto length = [](QStringView text) {
    return static_cast<int>(text.size() + text.count(QChar::ParagraphSeparator) + text.count(QChar::LineSeparator));
  };
  int total = 0, at = 0;
  for (const Anchor& anchor : anchors()) {
    const int separator = anchor.position - 1;
    if (separator >= end) break;
    total += length(QStringView(raw).mid(at, separator - at)) + length(qstr(anchor.shown));
    at = separator + 1;
  }
  return total + length(QStringView(raw).mid(at, end - at));
}

int RichTextBox::textLength() const { return toModel(document()->characterCount() - 1); }

std::pair<int, int> RichTextBox::selectionRange() const {
  const QTextCursor c = textCursor();
  QTextTable* table = c.currentTable();
  int row = 0, rows = 0, column = 0, columns = 0;
  if (table && c.hasComplexSelection()) {
    // Cells selected across rows or columns: their rows, whole.
    c.selectedTableCells(&row, &rows, &column, &columns);
    if (rows > 0 && columns > 0) {
      return {table->cellAt(row, 0).firstPosition(),
              table->cellAt(row + rows - 1, table->columns() - 1).lastPosition() + 1};
    }
  }
  // (A range that leaves a table's cell Qt widens to the whole table.)
  return {c.selectionStart(), c.selectionEnd()};
}

QString RichTextBox::selectedText() const {
  const auto [start, end] = selectionRange();
  return modelText(start, end);
}

int RichTextBox::selStart() const { return toModel(selectionRange().first); }

int RichTextBox::selLength() const {
  const auto [start, end] = selectionRange();
  return toModel(end) - toModel(start);
}

void RichTextBox::select(int start, int length) {
  const int size = textLength();
  start = std::clamp(start, 0, size);
  length = std::clamp(length, 0, size - start);
  QTextCursor c = textCursor();
  c.setPosition(toWidget(start));
  c.setPosition(toWidget(start + length), QTextCursor::KeepAnchor);
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
  c.setPosition(toWidget(std::clamp(position, 0, textLength())));
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

std::optional<int> RichTextBox::objectUnitAt(const QPoint& point) const {
  const int near = cursorForPosition(point).position();
  for (const int at : {near, near - 1}) {
    if (at < 0 || document()->characterAt(at) != QChar(0xFFFC)) continue;
    QTextCursor cursor(document());
    cursor.setPosition(at + 1);
    if (cursor.charFormat().objectType() != kCarriedObjectType) continue;
    // The object's own box, with a few pixels to spare for a narrow mark.
    const int right = cursorRect(cursor).x();
    cursor.setPosition(at);
    const QRect start = cursorRect(cursor);
    if (point.x() < std::min(start.x(), right) - 3 || point.x() > std::max(start.x(), right) + 3 ||
        point.y() < start.top() || point.y() > start.bottom())
      continue;
    return toModel(at);
  }
  return std::nullopt;
}

}  // namespace yig::ui

#include "rich_text_box.moc"
