#include "settings/SavePrefsForm.h"

#include <QApplication>
#include <QPushButton>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QtDebug>

#include <optional>
#include "platform/ui/MessageBoxes.h"

namespace vistrel::settings {
namespace {

// The layout is given for 120 pixels per inch; Qt's logical pixels are 96 per inch.
int px(int designPixels) { return (designPixels * 96 + 60) / 120; }

}  // namespace

TSavePrefsForm::TSavePrefsForm(QWidget* parent) : QDialog(parent) {
  setModal(true);
  setFixedSize(px(551), px(364));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  LinkEdit1 = new QTextEdit(this);
  LinkEdit1->setObjectName(QStringLiteral("LinkEdit1"));
  LinkEdit1->setGeometry(px(39), px(20), px(464), px(247));
  LinkEdit1->setReadOnly(true);
  LinkEdit1->setFrameShape(QFrame::NoFrame);
  LinkEdit1->setFont(QFont(QStringLiteral("Arial"), 10));
  QPalette palette = LinkEdit1->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::Button));
  LinkEdit1->setPalette(palette);

  const auto button = [this](const char* name, const QString& caption, const QString& hint, int left,
                             int width, QStyle::StandardPixmap picture) {
    auto* b = new QPushButton(style()->standardIcon(picture), caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(px(left), px(286), px(width), px(60));
    b->setIconSize(QSize(px(32), px(32)));
    b->setToolTip(hint);
    b->setAutoDefault(false);
    return b;
  };
  NormalBtn = button("NormalBtn", QStringLiteral("Normal"),
                     QStringLiteral("Enregistre les préférences dans le registre.\r\n"
                                    "Si un fichier ini existait, il est supprimé."),
                     39, 120, QStyle::SP_DriveHDIcon);
  PortableBtn = button("PortableBtn", QStringLiteral("Portable"),
                       QStringLiteral("Enregistre les préférences dans un fichier ini.\r\n"
                                      "Efface les valeurs contenues dans le registre."),
                       207, 119, QStyle::SP_DriveFDIcon);
  AucunBtn = button("AucunBtn", QStringLiteral("Aucun"),
                    QStringLiteral("Quitte sans enregistrer les préférences.\r\n"
                                   "Si elles existaient dans un fichier ini ou dans le registre,\r\n"
                                   "elles sont effacées."),
                    374, 120, QStyle::SP_DialogDiscardButton);
  connect(NormalBtn, &QPushButton::clicked, this, &TSavePrefsForm::NormalBtnClick);
  connect(PortableBtn, &QPushButton::clicked, this, &TSavePrefsForm::PortableBtnClick);
  connect(AucunBtn, &QPushButton::clicked, this, &TSavePrefsForm::AucunBtnClick);
  FormCreate();
}

void TSavePrefsForm::FormCreate() {
  struct Line {
    const char* text;
    bool italic;
  };
  const Line lines[] = {
      {"", false},
      {"Voulez-vous enregistrer vos préférences pour pouvoir les retrouver au prochain lancement?", true},
      {"", false},
      {"Cliquez sur votre choix:", true},
      {"", false},
      {"* soit pour les enregistrer dans le registre (mode normal).", false},
      {"* soit pour les enregistrer dans un fichier ini (mode portable).", false},
      {"* soit pour ne pas les enregistrer. Dans ce cas, elles seront perdues et les valeurs par défaut "
       "seront "
       "chargées lors du prochain lancement.",
       false},
      {"", false},  // the final line break
  };
  LinkEdit1->clear();
  QTextCursor cursor(LinkEdit1->document());
  bool first = true;
  for (const Line& line : lines) {
    QTextCharFormat format;
    format.setFontFamilies({QStringLiteral("Arial")});
    format.setFontPointSize(10);
    format.setFontItalic(line.italic);
    if (first) {
      cursor.setBlockCharFormat(format);
    } else {
      cursor.insertBlock(QTextBlockFormat(), format);
    }
    first = false;
    cursor.insertText(QString::fromUtf8(line.text), format);
  }
}

void TSavePrefsForm::choose(TSavePreferences mode) {
  chosen_ = mode;
  choiceMade_ = true;
  accept();
}

void TSavePrefsForm::NormalBtnClick() { choose(spRegistre); }
void TSavePrefsForm::PortableBtnClick() { choose(spPortable); }
void TSavePrefsForm::AucunBtnClick() { choose(spNone); }

std::optional<TSavePreferences> TSavePrefsForm::Choose() {
  choiceMade_ = false;
  // Unattended runs answer from VISTREL_ANSWERS; "fermer" (and a missing answer, which must not
  // destroy a store) closes the dialog by its frame.
  if (const auto scripted =
          platform::ui::scriptedChoice(windowTitle(), {QStringLiteral("normal"), QStringLiteral("portable"),
                                                       QStringLiteral("aucun"), QStringLiteral("fermer")})) {
    const std::pair<const char*, TSavePreferences> choices[] = {
        {"normal", spRegistre}, {"portable", spPortable}, {"aucun", spNone}};
    for (const auto& [name, mode] : choices) {
      if (*scripted != QLatin1String(name)) continue;
      chosen_ = mode;
      choiceMade_ = true;
      return mode;
    }
    return std::nullopt;
  }
  exec();  // the frame's close button and Escape reject the dialog without a choice
  if (!choiceMade_) return std::nullopt;
  return chosen_;
}

}  // namespace vistrel::settings
