// Switching the main window between the Tibetan and the Chinese interface.
#include "engine/message_map.h"
#include "ui/about_window.h"
#include "ui/clickable_label.h"
#include "ui/convert_panel.h"
#include "ui/fonts.h"
#include "ui/main_form.h"
#include "ui/mixed_script_label.h"

namespace yig::ui {

void MainForm::setInterfaceLanguage(bool tibetan) {
  Option2[0]->setChecked(tibetan);
  Option2[1]->setChecked(!tibetan);
  // Choosing the language already shown changes nothing.
  if (appliedLanguage_ == (tibetan ? 1 : 0)) return;
  appliedLanguage_ = tibetan ? 1 : 0;
  language_.setTibetan(tibetan);
  ApplyInterfaceLanguage();
  emit languageChanged(tibetan);
}

void MainForm::ApplyInterfaceLanguage() {
  const bool tibetan = language_.tibetan();
  const MappingTable switchMap = BuildSwitchMap(tibetan);

  if (tibetan) {
    AboutWindow* about = aboutWindow();
    if (about->tibetanDisclaimer()->text().isEmpty()) {
      about->tibetanDisclaimer()->setText(toQString(switchMap.lookup(kDisclaimerChinese)));
      about->layoutContent();
    }
  }

  const QFont tibetanFont = interfaceFont(kTibetanUiFont, kTibetanUiPoints);
  const QFont chineseFont = interfaceFont(kChineseUiFont, kChineseUiPoints);
  const QList<QLabel*> labels = findChildren<QLabel*>();
  for (QLabel* label : labels) {
    const QString caption = label->text();
    if (tibetan) {
      if (caption != Option2Caption[1]->text()) label->setFont(tibetanFont);
    } else {
      if (caption != Option2Caption[0]->text() && caption != Option2Caption[1]->text()) label->setFont(chineseFont);
    }
    // Captions in the Tibetan font are centred by their letters, not their
    // font's line (which leaves more room below than above).
    centreLetters(label, label->font().family() == kTibetanUiFont);
    const std::u16string& value = switchMap.lookup(toU16(caption));
    if (!value.empty()) label->setText(toQString(value));
  }
  Picture2->layoutContent();
  StatusCaption->setMixedScripts(tibetan);
  // The buttons of the status line and title bar: captions in the interface's language.
  const QFont buttonFont = tibetan ? interfaceFont(kTibetanUiFont, 14) : chineseFont;
  for (QPushButton* button : {PreviewButton, CancelButton}) {
    button->setFont(buttonFont);
    const QString chinese = button->property("chinese").toString();
    // The message map may not be loaded yet; the switch map is.
    const std::u16string value = tibetan ? switchMap.lookup(toU16(chinese)) : std::u16string();
    button->setText(value.empty() ? chinese : toQString(value));
  }
}

}  // namespace yig::ui
