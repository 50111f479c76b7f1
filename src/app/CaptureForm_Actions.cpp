// The main window's commands: the action list `al`, its handlers, the command-line and
// command-file processors, the keys, the toolbars and the preview's context menu.
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

#include "actions/ActionHandlers.h"
#include "actions/CustomScript.h"
#include "actions/KeyDispatch.h"
#include "actions/MainActions.h"
#include "actions/RaccourcisForm.h"
#include "actions/SuperAction.h"
#include "app/CaptureForm.h"
#include "settings/Parameters.h"

namespace vistrel::app {

using actions::TCustomSuperAction;
using actions::THandler;
using actions::TtoggleAction;

namespace {

struct RunTimeTexts {
  const char* action;
  const char* category;  // nullptr: unchanged
  const char* caption;
  const char* hint;
  const char* secondary;  // nullptr: unchanged; the list is emptied first otherwise
};

// Given at the first show; they take precedence over the list's design values.
const RunTimeTexts kRunTimeTexts[] = {
    {"saGrab", "action", "Grab!", "Saisir une image", "CTRL+G"},
    {"acOptionsFrame", "frame", "Panneau Options", "Panneau pour paramétrer des options et des préférences.",
     "ALT+O"},
    {"acDossiersFrame", "frame", "Panneau Dossiers",
     "Panneau pour choisir les dossiers où enregistrer\r\nles vidéos, les audios et les images.", nullptr},
    {"acProgrammerFrame", "frame", "Panneau Programmer", "Panneau pour programmer une capture", nullptr},
    {"acExtraireFrame", "frame", "Panneau Extraire",
     "Panneau pour saisir des images.\r\nComprend un intervallomètre.", nullptr},
    {"acIncrusterFrame", "frame", "Panneau Incruster", "Panneau pour incruster des dates dans la vidéo.",
     nullptr},
    {"acQuitter", "general", "Quitter", "Quitter", "CTRL+Q"},
    {"taLock", nullptr, nullptr,
     "Si enfoncé, ce que vous prévisualisez est ce que vous capturez (Recommendé)", nullptr},
    {"acApropos", "frame", "Panneau A propos...", "A propos de Vistrel", nullptr},
    {"acCouper", "action", "Couper", "Couper la capture en cours et continuer dans un nouveau fichier.",
     "CTRL+X"},
    {"acProgrammerBascule", "action", "Prog", nullptr, nullptr},
    {"acJpgOption", "Options", "Jpg", nullptr, nullptr},
    {"acBmpOption", "Options", "Bmp", nullptr, nullptr},
    {"acBasculerPanneau", "frame", "Panneau Inverser", nullptr, nullptr},
    {"acNextPanneau", "frame", "Panneau Suivant", nullptr, "ALT+N"},
    {"acHelp", "frame", "Panneau Aide",
     "Panneau pour trouver de l'aide:\r\nRaccourcis clavier, système, sources de capture.", "ALT+H"},
    {"acReduire", "frame", "Réduire", nullptr, nullptr},
    {"acSourcesFrame", "frame", "Panneau Sources", nullptr, "ALT+S"},
    {"saCapturerBascule", "action", "Capturer",
     "Capturer le flux video actuel sur le disque dur.\r\nLa barre d'Espace permet aussi de lancer la "
     "capture.",
     nullptr},
    {"acShowVideoPilotDV", "action", nullptr, nullptr, nullptr},
    {"acVertFlip", "action", "Miroir Vertical", "Retourner l'image haut<=>bas ", nullptr},
    {"acKronel", "action", "Kronel", "Lancer Kronel avec les fichiers avi capturés", nullptr},
    {"acOuvrirDossierVideos", "action", "Ouvrir le dossier des vidéos",
     "Accéder au dossier où sont enregistrés les clips vidéos ou audio", nullptr},
    {"acSliders", "frame", "Afficher les curseurs", nullptr, nullptr},
    {"acHorzFlip", "action", "Miroir Horizontal",
     "retourner l'image Gauche <=> Droite\r\nAttention: La fonction ne peut être activée que pour la preview "
     "et sera "
     "désactivée pendant la capture\r\npour éviter de perdre des frames.",
     nullptr},
    {"acShowAudioPilotDV", "action", nullptr, nullptr, nullptr},
};

// The panel actions by panel number.
const char* const kPanelActions[TCaptureForm::kPanelCount] = {
    "acSourcesFrame",  "acDossiersFrame",  "acProgrammerFrame",
    "acExtraireFrame", "acIncrusterFrame", "acOptionsFrame",
    "saListeFrame",    "acHelp",           "acApropos"};

}  // namespace

TCustomSuperAction* TCaptureForm::action(const QString& name) const {
  return al_ ? al_->find<TCustomSuperAction>(name) : nullptr;
}

std::map<QString, THandler> TCaptureForm::mainHandlers() {
  std::map<QString, THandler> h;
  h["acQuitterExecute"] = [this](QObject*) { close(); };
  for (int n = 0; n < kPanelCount; ++n) {
    const QString name = QString::fromLatin1(kPanelActions[n]);
    const QString handler = name + (name.startsWith(QLatin1String("sa")) ? "execute" : "Execute");
    h[handler] = [this, n](QObject*) { AfficherPanneau(n); };
  }
  h["acNextPanneauExecute"] = [this](QObject*) { NextPanneau(); };
  h["acBasculerPanneauExecute"] = [this](QObject*) { BasculerPanneau(); };
  h["acReduireExecute"] = [this](QObject*) {
    // An auto-check action: checked means reduced.
    if (auto* a = action(QStringLiteral("acReduire"))) setReduced(a->isChecked());
  };
  h["tafullscreenfalseExecute"] = [this](QObject*) { setFullScreen(true); };
  h["tafullscreenTrueExecute"] = [this](QObject*) { setFullScreen(false); };
  h["saExitFullScreenexecute"] = [this](QObject*) {
    if (auto* a = action(QStringLiteral("tafullscreen")); a && a->isChecked()) setFullScreen(false);
  };
  h["acIncVolumeExecute"] = [this](QObject*) { tb_->setValue(std::min(10000, tb_->value() + 1000)); };
  h["acDecVolumeExecute"] = [this](QObject*) { tb_->setValue(std::max(0, tb_->value() - 1000)); };
  for (auto [name, ratio] : {std::pair{"saRatioNormalexecute", 0}, std::pair{"saRatio4x3execute", 1},
                             std::pair{"saRatio16x9execute", 2}, std::pair{"saRatioNatifexecute", 3}})
    h[QString::fromLatin1(name)] = [this, r = ratio](QObject*) {
      params_->Enum(QStringLiteral("Aspect ratio")).Value = static_cast<uint8_t>(r);
      DimensionnerWithRatio();
    };
  h["saScriptprepare"] = actions::makeScriptPrepare(actions::commandFileDialog(this));
  h["saScriptexecute"] = actions::makeScriptExecute(*Script1_);
  // The shortcuts window comes after the main window: its handlers find it when they run.
  h["taraccourcisprepare"] = [this](QObject* s) {
    if (raccourcis_) raccourcis_->taraccourcisprepare(s);
  };
  h["taraccourcisTrueExecute"] = [this](QObject* s) {
    if (raccourcis_) raccourcis_->taraccourcisTrueExecute(s);
  };
  h["taraccourcisfalseExecute"] = [this](QObject* s) {
    if (raccourcis_) raccourcis_->taraccourcisfalseExecute(s);
  };
  h["taMutefalseExecute"] = [this](QObject*) { setMute(true); };
  h["taMuteTrueExecute"] = [this](QObject*) { setMute(false); };
  h.merge(sourcesHandlers());
  h.merge(previewHandlers());
  h.merge(recordingHandlers());
  h.merge(grabHandlers());
  return h;
}

void TCaptureForm::createActions() {
  al_ = new actions::TActionList(this);
  al_->setImages(&images_);
  Script1_ = new actions::TScript(al_, this, this);
  Switch1_ = new actions::TSwitch(al_, this, this);
  const auto handlers = mainHandlers();
  actions::createMainActions(*al_, [&handlers](const QString& name) -> THandler {
    const auto it = handlers.find(name);
    if (it != handlers.end()) return it->second;
    // The commands of the recording, grabbing, scheduling and camcorder parts come with them;
    // until then their handlers run and do nothing.
    return [](QObject*) {};
  });
  keys_ = new actions::TKeyDispatcher(this);
  keys_->setLists({al_});
  for (const char* name :
       {"tafullscreen", "taMute", "taFreezepreview", "taFreezeCapture", "", "taLock", "taIncruster",
        "acVertFlip", "acHorzFlip", "", "saScript", "taraccourcis", "acQuitter"}) {
    if (!*name) {
      tbActions_->addSeparator();
    } else if (auto* a = action(QString::fromLatin1(name))) {
      tbActions_->addAction(a);
      if (QWidget* button = tbActions_->widgetForAction(a)) button->setFixedSize(29, 28);
    }
  }
  for (const char* name : kPanelActions) {
    auto* a = action(QString::fromLatin1(name));
    if (!a) continue;
    tbPanneaux_->addAction(a);
    if (QWidget* button = tbPanneaux_->widgetForAction(a)) button->setFixedSize(29, 28);
  }
  btnCapture_->setText(QStringLiteral("Capturer"));
  connect(btnCapture_, &QPushButton::clicked, this,
          [this] { runAction(QStringLiteral("saCapturerBascule")); });
  connect(btnCouper_, &QPushButton::clicked, this, [this] { runAction(QStringLiteral("acCouper")); });
  connect(btnGrab_, &QPushButton::clicked, this, [this] { runAction(QStringLiteral("saGrab")); });
}

void TCaptureForm::setRaccourcis(actions::TRaccourcisForm* form) {
  raccourcis_ = form;
  if (auto* t = al_->find<TtoggleAction>(QStringLiteral("taraccourcis")); t && form) form->setToggle(t);
}

void TCaptureForm::applyRunTimeActionTexts() {
  for (const RunTimeTexts& t : kRunTimeTexts) {
    auto* a = action(QString::fromLatin1(t.action));
    if (!a) continue;
    if (t.category) a->setCategory(QString::fromUtf8(t.category));
    if (t.caption) a->setCaption(QString::fromUtf8(t.caption));
    if (t.hint) a->setHint(QString::fromUtf8(t.hint));
    if (t.secondary) {
      a->setSecondaryShortCuts({});
      a->addSecondaryShortCut(QString::fromLatin1(t.secondary));
    }
  }
  // Keys that have no text in the table are given by code.
  if (auto* a = action(QStringLiteral("acIncVolume")))
    a->setShortCut(QKeyCombination(Qt::KeypadModifier, Qt::Key_Plus));
  if (auto* a = action(QStringLiteral("acDecVolume")))
    a->setShortCut(QKeyCombination(Qt::KeypadModifier, Qt::Key_Minus));
  if (auto* a = action(QStringLiteral("saIntervallo"))) a->setShortCut(QKeyCombination(Qt::Key_Pause));
}

bool TCaptureForm::runAction(const QString& name) {
  auto* a = action(name);
  return a && a->Execute();
}

void TCaptureForm::keyPressEvent(QKeyEvent* event) {
  // Keys reach here when the plate forwards them; the window's own keys are caught earlier.
  if (keys_ && keys_->handleKey(event)) return;
  QWidget::keyPressEvent(event);
}

void TCaptureForm::showPreviewMenu(const QPoint& at) { createPreviewMenu()->exec(at); }

std::unique_ptr<QMenu> TCaptureForm::createPreviewMenu() {
  auto owned = std::make_unique<QMenu>(this);
  QMenu& menu = *owned;
  auto add = [&](QMenu& m, const char* name) {
    if (auto* a = action(QString::fromLatin1(name))) m.addAction(a);
  };
  for (const char* name : {"saCapturerBascule", "acCouper", "saGrab", "", "tafullscreen", "acReduire", "",
                           "saRatioNormal", "saRatioNatif", "saRatio4x3", "saRatio16x9", "", "taMute",
                           "taIncruster", "acVertFlip", "acHorzFlip", "acSliders"}) {
    if (!*name)
      menu.addSeparator();
    else
      add(menu, name);
  }
  QMenu* panels = menu.addMenu(QStringLiteral("Panneaux d'options"));
  for (const char* name : kPanelActions) add(*panels, name);
  menu.addSeparator();
  add(menu, "acQuitter");
  return owned;
}

void TCaptureForm::markShownPanel(int number, bool shown) {
  if (number < 0 || number >= kPanelCount) return;
  if (auto* a = action(QString::fromLatin1(kPanelActions[number]))) a->SetChecked(shown);
}

}  // namespace vistrel::app
