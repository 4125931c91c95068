#include "ui/main_form.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "engine/conversion_engine.h"
#include "engine/legacy_preview.h"
#include "engine/message_map.h"
#include "ui/about_window.h"
#include "ui/background_work.h"
#include "ui/clickable_label.h"
#include "ui/convert_panel.h"
#include "ui/editor_interactions.h"  // editor interactions
#include "ui/encoding_choices.h"
#include "ui/fonts.h"
#include "ui/info_box.h"
#include "ui/mixed_script_label.h"
#include "ui/rich_text_box.h"
#include "ui/skin.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace yig::ui {

namespace {

constexpr int kMargin = 5;        // the edge zones lie outside the controls
constexpr int kTitleHeight = 40;
constexpr int kMenuTop = kMargin + kTitleHeight;
constexpr int kMenuHeight = 68;
constexpr int kStatusHeight = 40;

QLabel* makeCaption(const QString& text, QWidget* parent, const char* name) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
  return label;
}

}  // namespace

MainForm::MainForm(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("ཡིག་སྒྱུར། Yigsgyur"));
  setMouseTracking(true);
  resize(kDesignSize);
  setMinimumSize(kMinimumSize);
  installFontSubstitutions();
  buildControls();
  connectControls();

  // Load steps.
  Combo1->view()->setMinimumWidth(200);
  setInterfaceLanguage(true);
  FillFontControls();
  RichTextBox1->setFocus();
  language_.loadMessageMap();
  ProgressBar1->hide();
  LoadRect = geometry();
  MaximizedFlag = false;
  trimWorkingSet();
  const bool hasText = RichTextBox1->textLength() > 0;
  for (QLabel* l : {Label11, Label17, Label18, Label19}) l->setVisible(hasText);
  ModifiedFlag = false;
  // Editor interactions: main menu, context menu, clipboard keys, palette,
  // prompts and shut-down.
  interactions_ = new EditorInteractions(*this);
}

MainForm::~MainForm() {
  // The interactions watch this window's events; they go before the window does.
  delete interactions_;
  interactions_ = nullptr;
  if (infoBox_) delete infoBox_.data();
  delete about_;
}

void MainForm::buildControls() {
  menuArea_ = new QWidget(this);
  menuArea_->setObjectName(QStringLiteral("menuArea"));
  menuArea_->setGeometry(kMargin, kMenuTop, kDesignSize.width() - 2 * kMargin, kMenuHeight);
  setAnchorTag(menuArea_, QStringLiteral("STRETCHH"));

  // Title-bar buttons.
  const Picture titlePictures[3] = {Picture::Minimize, Picture::Maximize, Picture::Close};
  for (int i = 0; i < 3; ++i) {
    auto* button = new SkinButton(titlePictures[i], this, true);
    button->setObjectName(QStringLiteral("TitleButton%1").arg(i));
    button->setGeometry(kDesignSize.width() - kMargin - (3 - i) * 42, kMargin + 4, 40, 32);
    setAnchorTag(button, QStringLiteral("MOVEH"));
    TitleButtons[static_cast<std::size_t>(i)] = button;
  }

  // Interface-language switches in the title bar.
  const QString captions[2] = {QStringLiteral("藏文"), QStringLiteral("汉文")};
  for (int i = 0; i < 2; ++i) {
    auto* option = new QRadioButton(this);
    option->setObjectName(QStringLiteral("Option2_%1").arg(i));
    option->setFocusPolicy(Qt::NoFocus);
    option->setGeometry(610 + i * 100, kMargin + 10, 20, 20);
    setAnchorTag(option, QStringLiteral("MOVEH"));
    auto* caption = new ClickableLabel(captions[i], this);
    caption->setObjectName(QStringLiteral("Option2Caption_%1").arg(i));
    caption->setGeometry(632 + i * 100, kMargin + 2, 74, 36);
    caption->setCursor(Qt::PointingHandCursor);
    caption->setColors(QColor(), Qt::white);
    setAnchorTag(caption, QStringLiteral("MOVEH"));
    Option2[static_cast<std::size_t>(i)] = option;
    Option2Caption[static_cast<std::size_t>(i)] = caption;
  }

  // Font and size boxes, right of the main menu.
  const int fx = kDesignSize.width() - kMargin - 318;
  fontCaption_ = makeCaption(QStringLiteral("字体"), this, "fontCaption");
  fontCaption_->setGeometry(fx, kMenuTop, 76, 34);
  Combo1 = new QComboBox(this);
  Combo1->setObjectName(QStringLiteral("Combo1"));
  Combo1->setEditable(true);
  Combo1->setInsertPolicy(QComboBox::NoInsert);
  Combo1->setGeometry(fx + 80, kMenuTop + 5, 230, 27);
  sizeCaption_ = makeCaption(QStringLiteral("字号"), this, "sizeCaption");
  sizeCaption_->setGeometry(fx, kMenuTop + 34, 76, 34);
  Combo2 = new QComboBox(this);
  Combo2->setObjectName(QStringLiteral("Combo2"));
  Combo2->setEditable(true);
  Combo2->setInsertPolicy(QComboBox::NoInsert);
  Combo2->setMaxVisibleItems(20);
  Combo2->setGeometry(fx + 80, kMenuTop + 38, 120, 27);
  for (int i = 0; i < 2; ++i) {
    auto* button = new SkinButton(i == 0 ? Picture::Shrink : Picture::Grow, this);
    button->setObjectName(QStringLiteral("Image10_%1").arg(i));
    button->setToolTip(i == 0 ? QStringLiteral("缩小全部字号") : QStringLiteral("放大全部字号"));
    button->setGeometry(fx + 210 + i * 36, kMenuTop + 37, 32, 29);
    setAnchorTag(button, QStringLiteral("MOVEH"));
    Image10[static_cast<std::size_t>(i)] = button;
  }
  for (QWidget* w : {static_cast<QWidget*>(fontCaption_), static_cast<QWidget*>(Combo1),
                     static_cast<QWidget*>(sizeCaption_), static_cast<QWidget*>(Combo2)})
    setAnchorTag(w, QStringLiteral("MOVEH"));

  // The editor.
  RichTextBox1 = new RichTextBox(this);
  RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
  RichTextBox1->setFrameShape(QFrame::NoFrame);
  RichTextBox1->betweenPieces = [this] { processEvents(); };
  const int editorTop = kMenuTop + kMenuHeight + 1;
  RichTextBox1->setGeometry(kMargin, editorTop, kDesignSize.width() - 2 * kMargin,
                            kDesignSize.height() - editorTop - kStatusHeight - kMargin - 1);
  setAnchorTag(RichTextBox1, QStringLiteral("STRETCHALL"));

  // Status line.
  const int statusTop = kDesignSize.height() - kMargin - kStatusHeight;
  StatusCaption = new MixedScriptLabel(this);
  StatusCaption->setObjectName(QStringLiteral("Label6"));
  StatusCaption->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
  StatusCaption->setGeometry(kMargin + 8, statusTop + 4, 300, 36);
  setAnchorTag(StatusCaption, QStringLiteral("MOVEV"));
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setGeometry(kMargin + 316, statusTop + 16, 240, 12);
  setAnchorTag(ProgressBar1, QStringLiteral("STRETCHH"));
  CancelButton = new QPushButton(QStringLiteral("取消"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  CancelButton->setProperty("chinese", QStringLiteral("取消"));
  CancelButton->setFocusPolicy(Qt::NoFocus);
  CancelButton->setGeometry(kMargin + 562, statusTop + 8, 72, 28);
  CancelButton->hide();
  setAnchorTag(CancelButton, QStringLiteral("MOVEALL"));

  PreviewButton = new QPushButton(QStringLiteral("预览"), this);
  PreviewButton->setObjectName(QStringLiteral("PreviewButton"));
  PreviewButton->setProperty("chinese", QStringLiteral("预览"));
  PreviewButton->setCheckable(true);
  PreviewButton->setFocusPolicy(Qt::NoFocus);
  PreviewButton->setFlat(true);
  PreviewButton->setToolTip(QStringLiteral("旧编码藏文显示为Unicode藏文（只读）"));
  PreviewButton->setStyleSheet(QStringLiteral(
      "QPushButton { color: white; background: transparent; border: 1px solid rgba(255,255,255,90);"
      " border-radius: 4px; padding: 0 6px; }"
      "QPushButton:checked { background: rgba(255,255,255,70); }"
      "QPushButton:disabled { color: rgba(255,255,255,110); }"));
  PreviewButton->setGeometry(Option2[0]->x() - kTitleReserve, kMargin + 4, 96, 32);
  setAnchorTag(PreviewButton, QStringLiteral("MOVEH"));
  const int rx = kDesignSize.width() - kMargin - 340;
  Label11 = makeCaption(QStringLiteral("长度"), this, "Label11");
  Label11->setGeometry(rx, statusTop + 4, 74, 36);
  Label17 = makeCaption(QString(), this, "Label17");
  Label17->setGeometry(rx + 76, statusTop + 4, 86, 36);
  Label18 = makeCaption(QStringLiteral("耗时"), this, "Label18");
  Label18->setGeometry(rx + 170, statusTop + 4, 74, 36);
  Label19 = makeCaption(QString(), this, "Label19");
  Label19->setGeometry(rx + 246, statusTop + 4, 90, 36);
  for (QLabel* l : {Label11, Label17, Label18, Label19}) setAnchorTag(l, QStringLiteral("MOVEALL"));
  for (QLabel* l : {static_cast<QLabel*>(StatusCaption), Label11, Label18}) {
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, skin::kMuted);
    l->setPalette(p);
  }

  // The conversion panel, over the editor's right side.
  Picture2 = new ConvertPanel(this);
  Picture2->move(kDesignSize.width() - kMargin - Picture2->width() - 24, editorTop + 16);
  Picture2->hide();
  setAnchorTag(Picture2, QStringLiteral("MOVEH"));
  Combo3 = Picture2->sambhotaFamilyList();

  Timer1 = new QTimer(this);
  Timer1->setInterval(100);
}

void MainForm::connectControls() {
  connect(Timer1, &QTimer::timeout, this, [this] {
    if (!work_) {
      ProgressBar1->setValue(progress_);
      return;
    }
    // Work that cannot tell how far it got shows a moving bar.
    const int done = work_->progress();
    ProgressBar1->setRange(0, done < 0 ? 0 : 100);
    if (done >= 0) ProgressBar1->setValue(done);
  });
  connect(CancelButton, &QPushButton::clicked, this, &MainForm::cancelWork);
  connect(PreviewButton, &QPushButton::clicked, this, [this](bool on) { setLegacyPreview(on); });
  for (int i = 0; i < 3; ++i) {
    connect(TitleButtons[static_cast<std::size_t>(i)], &SkinButton::clicked, this, [this, i] {
      emit titleButtonClicked(i);
    });
  }
  // Default title-bar actions; the editor-interaction code may replace them.
  connect(this, &MainForm::titleButtonClicked, this, [this](int i) {
    if (i == 0) showMinimized();
    if (i == 1) {
      MaximizedFlag = !MaximizedFlag;
      if (MaximizedFlag) {
        const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        setGeometry(screen->availableGeometry());
      } else {
        setGeometry(LoadRect);
      }
    }
    if (i == 2) close();
  });
  for (int i = 0; i < 2; ++i) {
    connect(Option2[static_cast<std::size_t>(i)], &QRadioButton::clicked, this,
            [this, i] { setInterfaceLanguage(i == 0); });
    connect(Option2Caption[static_cast<std::size_t>(i)], &ClickableLabel::clicked, this,
            [this, i] { setInterfaceLanguage(i == 0); });
  }
  connect(Picture2, &ConvertPanel::choiceClicked, this, &MainForm::SelectEncoding);
  connect(Picture2, &ConvertPanel::convertClicked, this, &MainForm::ConvertCommand);
  connect(Picture2, &ConvertPanel::closeClicked, this, &MainForm::hideConvertPanel);
  connect(Combo3, &QComboBox::textActivated, this, [this] { RichTextBox1->setFocus(); });

  connect(Combo1, &QComboBox::textActivated, this, [this] { ApplyFontName(); });
  connect(Combo1, &QComboBox::editTextChanged, this, [this] { FontNameEdited(); });
  connect(Combo2, &QComboBox::textActivated, this, [this] { ApplyFontSize(); });
  connect(Image10[0], &SkinButton::clicked, this, [this] { ScaleDocumentFonts(0); });
  connect(Image10[1], &SkinButton::clicked, this, [this] { ScaleDocumentFonts(1); });

  connect(RichTextBox1, &QTextEdit::textChanged, this, &MainForm::onEditorChanged);
  connect(RichTextBox1, &QTextEdit::cursorPositionChanged, this, &MainForm::SyncFontControls);
  connect(RichTextBox1, &QTextEdit::selectionChanged, this, &MainForm::SyncFontControls);
  connect(RichTextBox1, &RichTextBox::mouseReleased, this, [this](Qt::MouseButton button) {
    SyncFontControls();
    emit editorMouseReleased(button);
    if (Picture2->isVisible()) DetectSourceFromCaretFont();
  });
  RichTextBox1->viewport()->installEventFilter(this);
}

void MainForm::installPanel(QWidget* panel, const QString& tag) {
  panel->setParent(this);
  if (!tag.isEmpty()) setAnchorTag(panel, tag);
  if (anchors_.count() > 0 && !tag.isEmpty()) {
    // Added after the layout was recorded: record it against the current size.
    AnchorRecord r{panel->y(), panel->x(), panel->height(), panel->width(), tag};
    r.left += anchors_.width - width();
    r.top += anchors_.height - height();
    anchors_.records.append(r);
    anchors_.controls.append(panel);
  }
}

void MainForm::openDocument() {
  endLegacyPreview();
  if (openDocumentHook && !busy()) openDocumentHook();
}
void MainForm::openFiles(const QStringList& paths) {
  endLegacyPreview();
  if (!paths.isEmpty() && interactions_) interactions_->openFileCommand(paths.front());
}
void MainForm::saveDocument() {
  endLegacyPreview();
  if (saveDocumentHook && !busy()) saveDocumentHook();
}
void MainForm::sortDocument() {
  endLegacyPreview();
  if (sortDocumentHook && !busy()) sortDocumentHook();
}

// --- long work ---------------------------------------------------------------

void MainForm::setFontControlsEnabled(bool enabled) {
  for (QWidget* w : std::initializer_list<QWidget*>{Combo1, Combo2, Image10[0], Image10[1]}) w->setEnabled(enabled);
}

void MainForm::setCommandsEnabled(bool enabled) {
  setFontControlsEnabled(enabled && !legacyPreview());
  for (QWidget* w : std::initializer_list<QWidget*>{menuArea_, Option2[0], Option2[1], Option2Caption[0],
                                                   Option2Caption[1], Picture2})
    w->setEnabled(enabled);
}

void MainForm::workStarted(WorkControl& control) {
  work_ = &control;
  setCommandsEnabled(false);
  RichTextBox1->setReadOnly(true);
  RichTextBox1->viewport()->setCursor(Qt::BusyCursor);
  CancelButton->setEnabled(true);
  CancelButton->setVisible(control.cancellable);
  CancelButton->raise();
  ProgressBar1->setRange(0, 0);
  ProgressBar1->show();
  Timer1->start();
}

void MainForm::workFinished() {
  const int done = work_ ? work_->progress() : -1;
  work_ = nullptr;
  Timer1->stop();
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(done < 0 ? 100 : done);
  progress_ = ProgressBar1->value();
  // A bar that could only show "busy" has nothing left to say.
  if (done < 0) ProgressBar1->hide();
  CancelButton->hide();
  setCommandsEnabled(true);
  RichTextBox1->setReadOnly(legacyPreview());
  RichTextBox1->viewport()->unsetCursor();
}

int MainForm::progress() const { return work_ ? std::max(0, work_->progress()) : progress_; }

void MainForm::cancelWork() {
  if (!work_ || !work_->cancellable) return;
  work_->requestCancel();
  CancelButton->setEnabled(false);
}

// --- legacy preview ------------------------------------------------------------

void MainForm::setLegacyPreview(bool on) {
  PreviewButton->setChecked(on);
  if (on == legacyPreview() || busy()) {
    PreviewButton->setChecked(legacyPreview());
    return;
  }
  if (!on) {
    RichTextBox1->model() = std::move(*previewOriginal_);
    previewOriginal_.reset();
    RichTextBox1->modelChanged();
    ModifiedFlag = previewModified_;
    RichTextBox1->setReadOnly(false);
    setFontControlsEnabled(true);
    StatusCaption->clear();
    refreshTitle();
    return;
  }
  WorkControl control(*this);
  rt::Document original = RichTextBox1->model();
  std::optional<rt::Document> preview;
  std::unique_ptr<QTextDocument> shown;
  const QFont font = RichTextBox1->document()->defaultFont();
  runInBackground(*this, control, [&] {
    preview = unicodePreview(original, [&control] { return control.cancelRequested(); });
    if (preview) shown = RichTextBox::buildDocument(*preview, font, thread(), [&control] { return control.cancelRequested(); });
  });
  if (!preview || !shown) {
    PreviewButton->setChecked(false);
    if (!control.cancelRequested()) showStatus(QStringLiteral("文档中没有旧编码藏文。"));
    return;
  }
  previewModified_ = ModifiedFlag;
  previewOriginal_ = std::move(original);
  RichTextBox1->showBuilt(std::move(*preview), std::move(shown));
  ModifiedFlag = previewModified_;
  RichTextBox1->setReadOnly(true);
  // Font changes would go to the preview and be lost with it.
  setFontControlsEnabled(false);
  showStatus(QStringLiteral("预览：旧编码藏文显示为Unicode藏文，文档未改变。"));
  refreshTitle();
}

void MainForm::previewIfFontsMissing() {
  if (!previewWhenFontsMissing || legacyPreview()) return;
  const QStringList installed = QFontDatabase::families();
  for (const LegacyFonts& entry : legacyFontsIn(RichTextBox1->model()))
    for (const std::u16string& name : entry.fontNames)
      if (!installed.contains(toQString(name), Qt::CaseInsensitive)) return setLegacyPreview(true);
}

void MainForm::setDocumentPath(const QString& path) {
  documentPath_ = path;
  refreshTitle();
}

void MainForm::refreshTitle() {
  const QString name = QFileInfo(documentPath_).fileName();
  setWindowTitle(name.isEmpty() ? QStringLiteral("ཡིག་སྒྱུར། Yigsgyur[*]") : name + QStringLiteral("[*] — Yigsgyur"));
  setWindowModified(ModifiedFlag);
  update(QRect(0, 0, width(), kMenuTop));
}

void MainForm::showStatus(const QString& chinese) {
  StatusCaption->setText(language_.translateForDisplay(chinese));
  StatusCaption->show();
}

void MainForm::onEditorChanged() {
  ModifiedFlag = true;
  if (!isWindowModified()) refreshTitle();
  SyncFontControls();
  const int length = RichTextBox1->textLength();
  Label11->setVisible(length > 0);
  Label17->setVisible(length > 0);
  if (length > 0) Label17->setText(QString::number(RichTextBox1->plainTextLength()));
}

// --- the editor as the engine sees it ---------------------------------------

rt::Document& MainForm::editor() { return RichTextBox1->model(); }

std::u16string MainForm::sourceFontList() const { return toU16(SourceFontList); }

std::u16string MainForm::sambhotaFamily() const { return toU16(Combo3->currentText()); }

std::u16string MainForm::translateForDisplay(const std::u16string& chinese) const {
  return toU16(language_.translateForDisplay(toQString(chinese)));
}

void MainForm::showMessage(const std::u16string& text) { showMessageText(toQString(text)); }

void MainForm::progressStarted() {
  progress_ = 0;
  ProgressBar1->setValue(0);
  ProgressBar1->show();
  Timer1->start();
}

void MainForm::progressStopped() {
  Timer1->stop();
  ProgressBar1->setValue(progress_);
}

void MainForm::setProgress(int percent) { progress_ = std::clamp(percent, 0, 100); }

void MainForm::processEvents() {
  // The engine calls this once per piece of text; letting the event loop run
  // every 30 ms is enough to keep the window painted and the progress moving.
  if (sinceEvents_.isValid() && sinceEvents_.elapsed() < 30) return;
  sinceEvents_.restart();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void MainForm::setElapsedTime(const std::u16string& caption) { Label19->setText(toQString(caption)); }

void MainForm::trimWorkingSet() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

// --- messages and dialogs ---------------------------------------------------

void MainForm::showMessageText(const QString& text) {
  if (!infoBox_) {
    infoBox_ = new InfoBox(language_);
    const QRect g = geometry();
    infoBox_->move(g.center() - QPoint(infoBox_->width() / 2, infoBox_->height() / 2));
  }
  infoBox_->setMessage(text);
  infoBox_->show();
  infoBox_->raise();
}

void MainForm::ShowMessage(const QString& chinese) { showMessageText(language_.translateForDisplay(chinese)); }

InfoBox* MainForm::infoBox() const { return infoBox_.data(); }

AboutWindow* MainForm::aboutWindow() {
  if (!about_) {
    about_ = new AboutWindow();
    connect(about_, &AboutWindow::closedToMain, this, [this] { show(); });
  }
  return about_;
}

void MainForm::ShowAbout() {
  AboutWindow* about = aboutWindow();
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen && !about->isVisible())
    about->move(screen->availableGeometry().center() - QPoint(about->width() / 2, about->height() / 2));
  about->show();
  about->raise();
}

// --- painting and sizing ------------------------------------------------------

void MainForm::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), skin::kWindow);
  QLinearGradient grad(0, 0, 0, kMenuTop);
  grad.setColorAt(0, skin::kTitleTop);
  grad.setColorAt(1, skin::kTitleBottom);
  painter.fillRect(QRect(0, 0, width(), kMenuTop), grad);
  painter.fillRect(QRect(0, kMenuTop, width(), kMenuHeight), skin::kBar);
  painter.setPen(skin::kBorder);
  painter.drawLine(0, kMenuTop + kMenuHeight, width(), kMenuTop + kMenuHeight);
  const int statusTop = height() - kMargin - kStatusHeight - 1;
  painter.fillRect(QRect(0, statusTop, width(), height() - statusTop), skin::kBar);
  painter.drawLine(0, statusTop, width(), statusTop);
  paintPicture(painter, Picture::Logo, QRectF(kMargin + 10, kMargin + 7, 26, 26), false);
  painter.setPen(Qt::white);
  QFont titleFont = interfaceFont(kTibetanUiFont, 16);
  painter.setFont(titleFont);
  const QRect titleRect(kMargin + 46, kMargin, std::max(120, Option2[0]->x() - kTitleReserve - kMargin - 50),
                        kTitleHeight);
  painter.drawText(titleRect, Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("ཡིག་སྒྱུར།"));
  const int tibetanWidth = QFontMetrics(titleFont).horizontalAdvance(QStringLiteral("ཡིག་སྒྱུར།"));
  QFont latin = font();
  latin.setPointSizeF(11);
  latin.setBold(true);
  painter.setFont(latin);
  QString caption = QStringLiteral("Yigsgyur");
  if (!documentPath_.isEmpty()) {
    caption += QStringLiteral(" — ") + QFileInfo(documentPath_).fileName();
    if (ModifiedFlag) caption += QStringLiteral(" *");
  }
  const QRect captionRect = titleRect.adjusted(tibetanWidth + 10, 0, 0, 0);
  painter.drawText(captionRect, Qt::AlignVCenter | Qt::AlignLeft,
                   QFontMetrics(latin).elidedText(caption, Qt::ElideMiddle, captionRect.width()));
  painter.setPen(QColor(0x16, 0x3d, 0x60));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void MainForm::resizeEvent(QResizeEvent*) {
  Picture2->hide();
  AnchorControls(anchors_, this);
  ProgressBar1->move(ProgressBar1->x(), Label11->y() + (Label11->height() - ProgressBar1->height()) / 2);
  CancelButton->move(ProgressBar1->geometry().right() + 6,
                     Label11->y() + (Label11->height() - CancelButton->height()) / 2);
}

void MainForm::mouseMoveEvent(QMouseEvent* event) {
  const QPoint global = event->globalPosition().toPoint();
  if (sizingZone_ != EdgeZone::None && (event->buttons() & Qt::LeftButton)) {
    setGeometry(resizedGeometry(sizingGeometry_, sizingZone_, global - sizingStart_, kMinimumSize));
    return;
  }
  const EdgeZone zone = edgeZoneAt(global, frameGeometry());
  setCursor(zoneCursor(zone));
  if (zone != EdgeZone::None) zoneName_ = zoneName(zone);
}

void MainForm::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  // The press decides by where it happens: a press inside the window sizes
  // nothing, even when the pointer last passed over an edge.
  const QPoint global = event->globalPosition().toPoint();
  EdgeZone zone = edgeZoneAt(global, frameGeometry());
  if (zone == EdgeZone::None && event->position().y() < kMenuTop) zone = EdgeZone::Move;
  if (zone == EdgeZone::None) return;
  zoneName_ = zoneName(zone);
  QWindow* window = windowHandle();
  const bool system = window && (zone == EdgeZone::Move ? window->startSystemMove()
                                                       : window->startSystemResize(zoneEdges(zone)));
  if (!system) startManualSizing(zone, global);
}

void MainForm::startManualSizing(EdgeZone zone, QPoint globalPos) {
  sizingZone_ = zone;
  sizingStart_ = globalPos;
  sizingGeometry_ = geometry();
}

void MainForm::mouseReleaseEvent(QMouseEvent*) { sizingZone_ = EdgeZone::None; }

bool MainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == RichTextBox1->viewport() && event->type() == QEvent::MouseMove) unsetCursor();
  return QWidget::eventFilter(watched, event);
}

}  // namespace yig::ui
