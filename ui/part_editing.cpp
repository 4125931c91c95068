#include "ui/part_editing.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include "ui/interface_language.h"
#include "ui/rich_text_box.h"

namespace yig::ui {

namespace {
const QString kNoHeaders = QStringLiteral("文档中没有页眉或页脚。");
const QString kNotEditable = QStringLiteral("此处内容不完整，无法编辑，文档保持不变。");
constexpr qsizetype kTipChars = 400;
}  // namespace

QString partCaption(const rt::PartRef& part, const InterfaceLanguage& language) {
  const auto tr = [&language](const char16_t* chinese) { return language.translateForDisplay(QString::fromUtf16(chinese)); };
  if (part.kind == rt::PartKind::Note) return tr(part.endnote ? u"尾注" : u"脚注");
  QString caption = tr(u"第%1节").arg(part.section) + QLatin1Char(' ') +
                    tr(part.kind == rt::PartKind::Header ? u"页眉" : u"页脚");
  // headerf, headerl, headerr (footer... alike): the first, left or right pages; header alone: all pages.
  const QChar pages = part.word.size() == 7 ? QChar::fromLatin1(part.word.back()) : QChar();
  const char16_t* which = pages == u'f' ? u"首页" : pages == u'l' ? u"左页" : pages == u'r' ? u"右页" : nullptr;
  if (which) {
    caption += language.tibetan() ? QStringLiteral(" (") + tr(which) + QLatin1Char(')')
                                  : QStringLiteral("（") + tr(which) + QStringLiteral("）");
  }
  return caption;
}

// --- the editor dialog -----------------------------------------------------------

PartEditorDialog::PartEditorDialog(const QString& title, const std::string& contentRtf,
                                   const InterfaceLanguage& language, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("PartEditorDialog"));
  setWindowTitle(title);
  const auto tr = [&language](const char16_t* chinese) { return language.translateForDisplay(QString::fromUtf16(chinese)); };

  fontBox_ = new QFontComboBox(this);
  fontBox_->setObjectName(QStringLiteral("PartFontBox"));
  fontBox_->setToolTip(tr(u"字体"));
  sizeBox_ = new QComboBox(this);
  sizeBox_->setObjectName(QStringLiteral("PartSizeBox"));
  sizeBox_->setEditable(true);
  sizeBox_->setToolTip(tr(u"字号"));
  for (int points : {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 28, 36, 48, 72}) sizeBox_->addItem(QString::number(points));
  auto* colorButton = new QToolButton(this);
  colorButton->setObjectName(QStringLiteral("PartColorButton"));
  colorButton->setText(tr(u"颜色"));

  editor_ = new RichTextBox(this);
  editor_->setObjectName(QStringLiteral("PartEditor"));
  editor_->setRtf(contentRtf);
  editor_->document()->setModified(false);

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(tr(u"确 定"), QDialogButtonBox::AcceptRole);
  buttons->addButton(tr(u"取 消"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  connect(fontBox_, &QFontComboBox::currentFontChanged, this, [this](const QFont& font) {
    editor_->setSelectionFontName(font.family());
    editor_->setFocus();
  });
  connect(sizeBox_, &QComboBox::textActivated, this, [this](const QString& text) {
    bool ok = false;
    const double points = text.toDouble(&ok);
    if (ok && points >= 1 && points <= 1638) editor_->setSelectionFontPoints(points);
    editor_->setFocus();
  });
  connect(colorButton, &QToolButton::clicked, this, [this] {
    const QColor color = QColorDialog::getColor(editor_->textColor(), this);
    if (color.isValid()) editor_->setSelectionColor(color);
    editor_->setFocus();
  });

  // Captions in the interface's font (Tibetan ones need a Tibetan font).
  for (QWidget* w : {static_cast<QWidget*>(colorButton), static_cast<QWidget*>(buttons)}) w->setFont(language.dialogFont());

  // The boxes follow the caret, as the main window's do.
  const auto syncBoxes = [this] {
    const QSignalBlocker fontBlock(fontBox_), sizeBlock(sizeBox_);
    const QString name = editor_->selectionFontName().value_or(editor_->fontNameAtCaret(editor_->selStart()));
    if (!name.isEmpty()) {
      // The text's own font name, also when the font is not installed (the
      // list only has installed ones and would show the closest).
      fontBox_->setCurrentFont(QFont(name));
      fontBox_->setEditText(name);
    }
    const std::optional<double> points = editor_->selectionFontPoints();
    sizeBox_->setEditText(points ? QString::number(*points) : QString());
  };
  connect(editor_, &QTextEdit::cursorPositionChanged, this, syncBoxes);
  syncBoxes();

  auto* tools = new QHBoxLayout;
  tools->addWidget(fontBox_, 1);
  tools->addWidget(sizeBox_);
  tools->addWidget(colorButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(tools);
  layout->addWidget(editor_, 1);
  layout->addWidget(buttons);
  resize(520, 320);
}

bool PartEditorDialog::changed() const { return editor_->document()->isModified(); }

// --- the commands ------------------------------------------------------------------

PartCommands::PartCommands(RichTextBox& editor, const InterfaceLanguage& language, QWidget* dialogParent)
    : QObject(&editor), editor_(editor), language_(language), dialogParent_(dialogParent) {
  runEditor = [this](const QString& title, const std::string& rtf) -> std::optional<rt::Document> {
    PartEditorDialog dialog(title, rtf, language_, dialogParent_);
    if (dialog.exec() != QDialog::Accepted || !dialog.changed()) return std::nullopt;
    return dialog.editor()->model();
  };
  viewport_ = editor_.viewport();
  viewport_->installEventFilter(this);
}

std::optional<rt::PartRef> PartCommands::noteAtCaret() {
  const rt::Document& model = editor_.model();
  const std::size_t caret = model.selStart();
  if (auto ref = rt::noteAt(model, caret)) return ref;
  return caret > 0 ? rt::noteAt(model, caret - 1) : std::nullopt;
}

bool PartCommands::editNote(std::size_t unit) {
  const std::optional<rt::PartRef> ref = rt::noteAt(editor_.model(), unit);
  return ref && editPart(*ref);
}

bool PartCommands::editPart(const rt::PartRef& ref) {
  if (editor_.isReadOnly()) return false;  // a conversion is running
  const std::optional<std::string> rtf = rt::partContentRtf(editor_.model(), ref);
  if (!rtf) {
    if (showInfo) showInfo(kNotEditable);
    return false;
  }
  const std::optional<rt::Document> edited = runEditor ? runEditor(partCaption(ref, language_), *rtf) : std::nullopt;
  return edited && applyEdit(ref, *edited);
}

bool PartCommands::applyEdit(const rt::PartRef& ref, const rt::Document& edited) {
  rt::Document before = editor_.model();
  if (!rt::applyPartEdit(editor_.model(), ref, edited)) {
    if (showInfo) showInfo(kNotEditable);
    return false;
  }
  editor_.rememberForUndo(std::move(before));
  editor_.modelChanged();
  if (documentChanged) documentChanged();
  return true;
}

void PartCommands::headersAndFootersCommand() {
  if (rt::headersAndFooters(editor_.model()).empty()) {
    if (showInfo) showInfo(kNoHeaders);
    return;
  }
  HeadersFootersDialog dialog(*this, editor_, language_, dialogParent_);
  dialog.exec();
}

bool PartCommands::eventFilter(QObject* watched, QEvent* event) {
  if (watched != viewport_) return QObject::eventFilter(watched, event);
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const std::optional<int> unit = editor_.objectUnitAt(help->pos());
    const std::optional<rt::PartRef> note =
        unit ? rt::noteAt(editor_.model(), static_cast<std::size_t>(*unit)) : std::nullopt;
    if (!note) return QObject::eventFilter(watched, event);
    QString text = toQString(rt::partText(editor_.model(), *note));
    if (text.size() > kTipChars) text = text.left(kTipChars) + QStringLiteral("…");
    if (text.isEmpty()) text = partCaption(*note, language_);
    // As rich text, so that nothing in the note is taken for markup.
    QToolTip::showText(help->globalPos(),
                       QStringLiteral("<p>") + text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")) +
                           QStringLiteral("</p>"),
                       editor_.viewport());
    return true;
  }
  if (event->type() == QEvent::MouseButtonDblClick) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) return QObject::eventFilter(watched, event);
    const std::optional<int> unit = editor_.objectUnitAt(mouse->position().toPoint());
    if (unit && rt::noteAt(editor_.model(), static_cast<std::size_t>(*unit))) {
      editNote(static_cast<std::size_t>(*unit));
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

// --- the list of headers and footers ---------------------------------------------

HeadersFootersDialog::HeadersFootersDialog(PartCommands& commands, RichTextBox& editor,
                                           const InterfaceLanguage& language, QWidget* parent)
    : QDialog(parent), commands_(commands), editor_(editor), language_(language) {
  setObjectName(QStringLiteral("HeadersFootersDialog"));
  const auto tr = [&language](const char16_t* chinese) { return language.translateForDisplay(QString::fromUtf16(chinese)); };
  setWindowTitle(tr(u"页眉和页脚"));
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("PartList"));
  list_->setFont(language.dialogFont());
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* edit = buttons->addButton(tr(u"编辑"), QDialogButtonBox::ActionRole);
  buttons->addButton(tr(u"关闭"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(edit, &QPushButton::clicked, this, [this] { editRow(list_->currentRow()); });
  connect(list_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { editRow(list_->row(item)); });
  buttons->setFont(language.dialogFont());
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addWidget(buttons);
  resize(360, 260);
  refresh();
}

void HeadersFootersDialog::refresh() {
  const int row = list_->currentRow();
  parts_ = rt::headersAndFooters(editor_.model());
  list_->clear();
  for (const rt::PartRef& part : parts_) {
    QString caption = partCaption(part, language_);
    QString text = toQString(rt::partText(editor_.model(), part)).simplified();
    if (text.size() > 40) text = text.left(40) + QStringLiteral("…");
    if (!text.isEmpty()) caption += QStringLiteral(": ") + text;
    list_->addItem(caption);
  }
  list_->setCurrentRow(std::clamp(row, 0, static_cast<int>(parts_.size()) - 1));
}

bool HeadersFootersDialog::editRow(int row) {
  if (row < 0 || row >= static_cast<int>(parts_.size())) return false;
  const bool changed = commands_.editPart(parts_[static_cast<std::size_t>(row)]);
  refresh();
  list_->setCurrentRow(row);
  return changed;
}

}  // namespace yig::ui
