#include "ui/about_window.h"

#include <QDesktopServices>
#include <QMouseEvent>

#include "engine/message_map.h"
#include "ui/clickable_label.h"
#include "ui/fonts.h"
#include "ui/interface_language.h"
#include "ui/skin.h"

namespace yig::ui {

namespace {
constexpr int kWidth = 620;
}

QList<QUrl> AboutWindow::linkAddresses() {
  return {QUrl(QStringLiteral("https://github.com/yigsgyur/yigsgyur")),
          QUrl(QStringLiteral("https://github.com/yigsgyur/yigsgyur/issues/new")),
          QUrl(QStringLiteral("https://github.com/yigsgyur/yigsgyur/discussions")),
          QUrl(QStringLiteral("https://github.com/yigsgyur/yigsgyur/releases"))};
}

AboutWindow::AboutWindow(QWidget* parent) : SkinDialog(parent) {
  setObjectName(QStringLiteral("Form1"));
  openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
  setMouseTracking(true);
  titleLabel()->setText(QStringLiteral("ཡིག་སྒྱུར།  Yigsgyur %1").arg(QStringLiteral("0.1")));
  titleLabel()->setFont(interfaceFont(kChineseUiFont, 11));

  tibetanDisclaimer_ = new QLabel(this);
  tibetanDisclaimer_->setObjectName(QStringLiteral("tibetanDisclaimer"));
  tibetanDisclaimer_->setWordWrap(true);
  tibetanDisclaimer_->setFont(interfaceFont(kTibetanUiFont, kTibetanUiPoints));
  chineseDisclaimer_ = new QLabel(toQString(kDisclaimerChinese), this);
  chineseDisclaimer_->setObjectName(QStringLiteral("chineseDisclaimer"));
  chineseDisclaimer_->setWordWrap(true);
  chineseDisclaimer_->setFont(interfaceFont(kChineseUiFont, kChineseUiPoints));
  developers_ = new QLabel(QStringLiteral("开发：Yigsgyur 项目组 · 自由软件，欢迎参与"), this);
  developers_->setFont(interfaceFont(kChineseUiFont, kChineseUiPoints));
  QPalette muted = developers_->palette();
  muted.setColor(QPalette::WindowText, skin::kMuted);
  developers_->setPalette(muted);

  const QStringList captions{QStringLiteral("项目主页"), QStringLiteral("报告问题"), QStringLiteral("讨论区"),
                             QStringLiteral("下载与字库")};
  for (int i = 0; i < 4; ++i) {
    auto* link = new ClickableLabel(captions[i], this);
    link->setObjectName(QStringLiteral("link%1").arg(i));
    link->setFont(interfaceFont(kChineseUiFont, kChineseUiPoints));
    link->setCursor(Qt::PointingHandCursor);
    link->setColors(QColor(), skin::kLink);
    link->setToolTip(linkAddresses()[i].toString());
    connect(link, &ClickableLabel::hoverChanged, this, [this, i](bool inside) { colorLinks(inside ? i : -1); });
    connect(link, &ClickableLabel::clicked, this, [this, i] {
      if (openUrl) openUrl(linkAddresses()[i]);
    });
    links_ << link;
  }
  close_ = makeButton(QString::fromUtf16(kCloseCaption), true);
  close_->setObjectName(QStringLiteral("closeButton"));
  close_->setFont(interfaceFont(kChineseUiFont, kChineseUiPoints));
  connect(close_, &ClickableLabel::clicked, this, [this] {
    hide();
    emit closedToMain();
  });
  layoutContent();
}

void AboutWindow::layoutContent() {
  const int inner = kWidth - 48;
  int y = kTitleHeight + 16;
  titleLabel()->setGeometry(42, 0, kWidth - 52, kTitleHeight);
  auto place = [&](QLabel* label, int gapAfter) {
    const int h = label->heightForWidth(inner);
    label->setGeometry(24, y, inner, std::max(h, label->fontMetrics().height()));
    y += label->height() + gapAfter;
  };
  place(tibetanDisclaimer_, 10);
  place(chineseDisclaimer_, 12);
  place(developers_, 10);
  int x = 24;
  for (ClickableLabel* link : links_) {
    const int w = link->fontMetrics().horizontalAdvance(link->text()) + 8;
    link->setGeometry(x, y, w, link->fontMetrics().height() + 4);
    x += w + 24;
  }
  y += links_.first()->height() + 16;
  const int bw = 110, bh = close_->fontMetrics().height() + 12;
  close_->setGeometry(kWidth - 24 - bw, y, bw, bh);
  setFixedSize(kWidth, y + bh + 18);
}

void AboutWindow::colorLinks(int hovered) {
  for (int i = 0; i < links_.size(); ++i) links_[i]->setColors(QColor(), i == hovered ? skin::kHover : skin::kLink);
}

void AboutWindow::mouseMoveEvent(QMouseEvent* event) {
  colorLinks(-1);
  SkinDialog::mouseMoveEvent(event);
}

void AboutWindow::escape() { emit close_->clicked(); }

}  // namespace yig::ui
