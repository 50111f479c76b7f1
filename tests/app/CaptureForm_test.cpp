#include "app/CaptureForm.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QToolButton>

#include "actions/CustomScript.h"
#include "actions/RaccourcisForm.h"
#include "actions/SuperAction.h"
#include "app/ImageList.h"
#include "app/Plaque.h"
#include "app/SessionFiles.h"
#include "app/SourcesFrame.h"
#include "engine/Tdm.h"
#include "platform/Environment.h"
#include "platform/devices/VirtualDevices.h"
#include "platform/media/IMediaControl.h"
#include "platform/registry/Registry.h"
#include "platform/shell/ScreenSaver.h"
#include "platform/ui/MessageBoxes.h"
#include "platform/ui/VideoWidget.h"
#include "settings/Parameters.h"
#include "sources/Sources.h"
#include "support/MediaProbe.h"
#include "support/TempRoot.h"
#include "support/WaitFor.h"

using vistrel::testing::waitFor;
using namespace vistrel::app;
using vistrel::platform::devices::VirtualDevices;
using vistrel::platform::ui::ScriptedMessageBoxes;
using vistrel::settings::TparameterList;

namespace {

class CaptureFormTest : public ::testing::Test {
 protected:
  vistrel::testing::TempRoot root;
};

// A window on a test camera and a test microphone, with its plate and shortcuts window, and the
// exit dialog answered by `words` (none: the dialog is closed by its frame).
class LiveFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root.write(QStringLiteral("devices.txt"),
               "camera Test Camera\ncamera Other Camera\nmicrophone Test Micro\n");
    qputenv("VISTREL_DEVICES", root.file(QStringLiteral("devices.txt")).toLocal8Bit());
    VirtualDevices::instance().rescan();
    answers = static_cast<ScriptedMessageBoxes*>(
        vistrel::platform::ui::setMessageBoxService(std::make_unique<ScriptedMessageBoxes>()));
  }
  void TearDown() override {
    closeForm();
    qputenv("VISTREL_DEVICES", "none");
    VirtualDevices::instance().rescan();
    vistrel::platform::ui::setMessageBoxService(nullptr);
  }
  // Creates and shows the window, then waits for its deferred start.
  void openForm() {
    form = std::make_unique<TCaptureForm>();
    dm = std::make_unique<vistrel::engine::Tdm>();
    form->setDm(dm.get());
    plaque = std::make_unique<Tplaque>(form.get());
    form->setPlaque(plaque.get());
    raccourcis = std::make_unique<vistrel::actions::TRaccourcisForm>();
    form->setRaccourcis(raccourcis.get());
    form->show();
    ASSERT_TRUE(waitFor([&] { return form->deferredStartDone(); }));
  }
  void closeForm() {
    raccourcis.reset();
    plaque.reset();
    form.reset();
    dm.reset();
  }
  // Closes the window as its close box would, then destroys it as the program's end does.
  bool closeAndDestroy() {
    const bool closed = form->close();
    if (closed) closeForm();
    return closed;
  }
  bool graphRunning() const {
    vistrel::platform::media::OAFilterState state = vistrel::platform::media::State_Stopped;
    dm->Graph()->GetState(0, state);
    return state == vistrel::platform::media::State_Running;
  }
  vistrel::actions::TCustomSuperAction& act(const char* name) {
    auto* a = form->action(QString::fromLatin1(name));
    EXPECT_NE(a, nullptr) << name;
    return *a;
  }

  vistrel::testing::TempRoot root;
  ScriptedMessageBoxes* answers = nullptr;
  std::unique_ptr<TCaptureForm> form;
  std::unique_ptr<vistrel::engine::Tdm> dm;
  std::unique_ptr<Tplaque> plaque;
  std::unique_ptr<vistrel::actions::TRaccourcisForm> raccourcis;
};

const QString kLayers =
    QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers");

TEST_F(CaptureFormTest, TheDisplayScalingValueLivesAsLongAsTheWindow) {
  using namespace vistrel::platform::registry;
  {
    TCaptureForm form;
    const auto value = queryValue(Hive::CurrentUser, kLayers, vistrel::platform::programFile());
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(decodeString(value->data), QStringLiteral("~ GDIDPISCALING DPIUNAWARE"));
  }
  EXPECT_FALSE(queryValue(Hive::CurrentUser, kLayers, vistrel::platform::programFile()).has_value());
}

TEST_F(CaptureFormTest, FirstShowLoadsTheSettingsAndTheDeferredStartRunsOnce) {
  TCaptureForm form;
  QSignalSpy finished(&form, &TCaptureForm::deferredStartFinished);
  form.show();
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Vistrel 6.2.0 fr de Orbano"));
  EXPECT_FALSE(form.deferredStartDone());
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_TRUE(form.deferredStartDone());
  form.AppEventsIdle();
  EXPECT_EQ(finished.count(), 1);
  EXPECT_EQ(form.params().Integer(QStringLiteral("Volume")).Value, 5000);
  EXPECT_EQ(form.volumeSlider()->value(), 5000);
  EXPECT_EQ(form.shownPanel(), 0);  // "Panneau actif" defaults to the sources panel
}

TEST_F(CaptureFormTest, PanelsAreShownOneAtATimeAndWrapAround) {
  TCaptureForm form;
  form.show();
  for (int n = 0; n < TCaptureForm::kPanelCount; ++n) {
    form.AfficherPanneau(n);
    for (int other = 0; other < TCaptureForm::kPanelCount; ++other)
      EXPECT_EQ(form.panel(other)->isVisible(), other == n) << n << " " << other;
    EXPECT_EQ(form.params().Enum(QStringLiteral("Panneau actif")).Value, n);
  }
  form.NextPanneau();  // from the about panel to the sources panel
  EXPECT_EQ(form.shownPanel(), 0);
  form.AfficherPanneau(9);  // above 8: ignored
  EXPECT_EQ(form.shownPanel(), 0);
}

TEST_F(CaptureFormTest, TheLayoutFollowsThePreviewSide) {
  TCaptureForm form;
  form.show();
  EXPECT_EQ(form.previewArea()->geometry(), QRect(8, 40, 416, 304));
  EXPECT_EQ(form.panel(0)->x(), 416);
  form.BasculerPanneau();
  EXPECT_EQ(form.previewArea()->x(), 274);
  EXPECT_EQ(form.panel(0)->x(), 0);
  EXPECT_EQ(form.actionsToolbar()->geometry().right(), form.width() - 1);
  EXPECT_EQ(form.panelsToolbar()->x(), 0);
  EXPECT_EQ(form.params().Boolean(QStringLiteral("EcranGauche")).Value, 0);
  form.BasculerPanneau();
  EXPECT_EQ(form.previewArea()->x(), 8);
}

TEST_F(CaptureFormTest, AtItsDesignSizeTheWindowHasItsDesignLayout) {
  TCaptureForm form;
  form.show();
  QCoreApplication::processEvents();
  ASSERT_EQ(form.size(), QSize(719, 506));
  EXPECT_EQ(form.font().family(), QStringLiteral("Arial"));
  EXPECT_EQ(form.font().pointSize(), 8);

  // The toolbars: every button 29 x 28, the actions at the left, the panels against the right.
  struct Bar {
    QToolBar* bar;
    QStringList actions;
  };
  const Bar bars[] = {{form.actionsToolbar(),
                       {"tafullscreen", "taMute", "taFreezepreview", "taFreezeCapture", "taLock",
                        "taIncruster", "acVertFlip", "acHorzFlip", "saScript", "taraccourcis", "acQuitter"}},
                      {form.panelsToolbar(),
                       {"acSourcesFrame", "acDossiersFrame", "acProgrammerFrame", "acExtraireFrame",
                        "acIncrusterFrame", "acOptionsFrame", "saListeFrame", "acHelp", "acApropos"}}};
  for (const Bar& b : bars) {
    SCOPED_TRACE(b.bar->objectName().toStdString());
    EXPECT_EQ(b.bar->y(), 2);
    int buttons = 0;
    for (QAction* a : b.bar->actions()) {
      if (a->isSeparator()) continue;
      EXPECT_EQ(a->objectName(), b.actions.value(buttons));
      QWidget* button = b.bar->widgetForAction(a);
      ASSERT_NE(button, nullptr);
      EXPECT_EQ(button->size(), QSize(29, 28)) << a->objectName().toStdString();
      ++buttons;
    }
    EXPECT_EQ(buttons, b.actions.size());
  }
  EXPECT_EQ(form.actionsToolbar()->x(), 0);
  EXPECT_EQ(form.panelsToolbar()->geometry().right(), 718);
  EXPECT_LT(form.actionsToolbar()->geometry().right(), form.panelsToolbar()->x());

  // The preview area and what it holds: the no-video picture at the video window's bounds
  // inside a 12-pixel frame; the sliders and their corner hidden without a source.
  EXPECT_EQ(form.previewArea()->geometry(), QRect(8, 40, 416, 304));
  EXPECT_EQ(form.noVideoPanel()->geometry(), QRect(16, 16, 384, 272));
  EXPECT_TRUE(form.noVideoPanel()->isVisible());
  EXPECT_EQ(form.videoWindow()->geometry(), QRect(16, 16, 384, 272));
  EXPECT_FALSE(form.videoWindow()->isVisible());
  EXPECT_EQ(form.pictureFrame()->geometry(), QRect(4, 4, 408, 296));
  EXPECT_FALSE(form.xSlider()->isVisible());
  EXPECT_FALSE(form.ySlider()->isVisible());
  EXPECT_EQ(form.xSlider()->maximum(), 970);
  EXPECT_EQ(form.ySlider()->maximum(), 930);
  auto* shape1 = form.previewArea()->findChild<QFrame*>(QStringLiteral("Shape1"));
  ASSERT_NE(shape1, nullptr);
  EXPECT_EQ(shape1->size(), QSize(20, 20));
  EXPECT_FALSE(shape1->isVisible());

  // The button bar centred under the picture, 24 pixels below it, its controls inside it and
  // apart from each other.
  QWidget* buttons = form.buttonsPanel();
  EXPECT_EQ(buttons->geometry(), QRect(8, 40 + 16 + 272 + 24, 417, 81));
  QList<QRect> taken;
  for (const char* name : {"tb", "gaugeVolume", "btnCapture", "btnCouper", "btnGrab"}) {
    auto* control = buttons->findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(control, nullptr) << name;
    EXPECT_TRUE(buttons->rect().contains(control->geometry())) << name;
    for (const QRect& other : taken) EXPECT_FALSE(other.intersects(control->geometry())) << name;
    taken << control->geometry();
  }
  EXPECT_EQ(form.volumeSlider()->maximum(), 10000);

  // The nine option panels stacked beside the preview, the sources panel shown.
  for (int n = 0; n < TCaptureForm::kPanelCount; ++n) {
    EXPECT_EQ(form.panel(n)->geometry(), QRect(416, 40, 275, 400)) << n;
    EXPECT_EQ(form.panel(n)->isVisible(), n == 0) << n;
  }

  // The status bar at the bottom, its four panels of (width - 20) / 4.
  EXPECT_EQ(form.statusBar()->geometry().bottom(), 505);
  EXPECT_EQ(form.statusBar()->width(), 719);
  for (int i = 0; i < StatusPanels::kPanelCount; ++i) EXPECT_EQ(form.statusBar()->panel(i).width, 174) << i;
}

TEST_F(CaptureFormTest, ThePreviewMenuHoldsTheCommandsInTheirOrder) {
  TCaptureForm form;
  form.show();
  const std::unique_ptr<QMenu> menu = form.createPreviewMenu();
  QStringList entries;
  QMenu* panels = nullptr;
  for (QAction* a : menu->actions()) {
    if (a->isSeparator()) {
      entries << QStringLiteral("-");
    } else if (a->menu()) {
      entries << a->text() + QStringLiteral(">");
      panels = a->menu();
    } else {
      entries << a->objectName();
    }
  }
  EXPECT_EQ(entries, QStringList({"saCapturerBascule",
                                  "acCouper",
                                  "saGrab",
                                  "-",
                                  "tafullscreen",
                                  "acReduire",
                                  "-",
                                  "saRatioNormal",
                                  "saRatioNatif",
                                  "saRatio4x3",
                                  "saRatio16x9",
                                  "-",
                                  "taMute",
                                  "taIncruster",
                                  "acVertFlip",
                                  "acHorzFlip",
                                  "acSliders",
                                  QString::fromUtf8("Panneaux d'options>"),
                                  "-",
                                  "acQuitter"}));
  ASSERT_NE(panels, nullptr);
  QStringList captions;
  for (QAction* a : panels->actions()) captions << a->text();
  EXPECT_EQ(captions, QStringList({"Panneau Sources", "Panneau Dossiers", "Panneau Programmer",
                                   "Panneau Extraire", "Panneau Incruster", "Panneau Options",
                                   "Panneau Liste", "Panneau Aide", "Panneau A propos..."}));
}

TEST_F(CaptureFormTest, TheFirstShowGivesTheActionsTheirRunTimeTexts) {
  TCaptureForm form;
  form.show();
  struct Row {
    const char* action;
    const char* category;  // nullptr: not given at run time
    const char* caption;
    const char* hint;
    const char* secondary;
  };
  const Row rows[] = {
      {"saGrab", "action", "Grab!", "Saisir une image", "Ctrl+G"},
      {"acOptionsFrame", "frame", "Panneau Options",
       "Panneau pour paramétrer des options et des préférences.", "Alt+O"},
      {"acDossiersFrame", "frame", "Panneau Dossiers",
       "Panneau pour choisir les dossiers où enregistrer\r\nles vidéos, les audios et les images.", nullptr},
      {"acQuitter", "general", "Quitter", "Quitter", "Ctrl+Q"},
      {"taLock", nullptr, nullptr,
       "Si enfoncé, ce que vous prévisualisez est ce que vous capturez (Recommendé)", nullptr},
      {"acCouper", "action", "Couper", "Couper la capture en cours et continuer dans un nouveau fichier.",
       "Ctrl+X"},
      {"acNextPanneau", "frame", "Panneau Suivant", nullptr, "Alt+N"},
      {"acHelp", "frame", "Panneau Aide",
       "Panneau pour trouver de l'aide:\r\nRaccourcis clavier, système, sources de capture.", "Alt+H"},
      {"acSourcesFrame", "frame", "Panneau Sources", nullptr, "Alt+S"},
      {"acJpgOption", "Options", "Jpg", nullptr, nullptr},
      {"acVertFlip", "action", "Miroir Vertical", "Retourner l'image haut<=>bas ", nullptr},
      {"acOuvrirDossierVideos", "action", "Ouvrir le dossier des vidéos",
       "Accéder au dossier où sont enregistrés les clips vidéos ou audio", nullptr},
      {"acHorzFlip", "action", "Miroir Horizontal",
       "retourner l'image Gauche <=> Droite\r\nAttention: La fonction ne peut être activée que pour la "
       "preview "
       "et sera désactivée pendant la capture\r\npour éviter de perdre des frames.",
       nullptr},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.action);
    auto* a = form.action(QString::fromLatin1(r.action));
    ASSERT_NE(a, nullptr);
    if (r.category) {
      EXPECT_EQ(a->Category(), QString::fromUtf8(r.category));
    }
    if (r.caption) {
      EXPECT_EQ(a->Caption(), QString::fromUtf8(r.caption));
    }
    if (r.hint) {
      EXPECT_EQ(a->Hint(), QString::fromUtf8(r.hint));
    }
    if (r.secondary) {
      ASSERT_EQ(a->SecondaryShortCuts().size(), 1);
      EXPECT_EQ(QKeySequence(a->SecondaryShortCuts().first()).toString(), QString::fromLatin1(r.secondary));
    }
  }
  // Keys with no text are given by code: the numeric keypad's + and -, and Pause.
  EXPECT_EQ(form.action(QStringLiteral("acIncVolume"))->ShortCut(),
            QKeyCombination(Qt::KeypadModifier, Qt::Key_Plus));
  EXPECT_EQ(form.action(QStringLiteral("acDecVolume"))->ShortCut(),
            QKeyCombination(Qt::KeypadModifier, Qt::Key_Minus));
  EXPECT_EQ(form.action(QStringLiteral("saIntervallo"))->ShortCut(), QKeyCombination(Qt::Key_Pause));
  auto* capture = form.findChild<QPushButton*>(QStringLiteral("btnCapture"));
  ASSERT_NE(capture, nullptr);
  EXPECT_EQ(capture->text(), QStringLiteral("Capturer"));
  EXPECT_EQ(form.findChild<QPushButton*>(QStringLiteral("btnCouper"))->text(), QString());
}

TEST_F(CaptureFormTest, TheScreenSaverStaysAwayFromTheDeferredStartToTheEnd) {
  using namespace vistrel::platform::shell;
  for (const bool activeAtStart : {true, false}) {
    SCOPED_TRACE(activeAtStart);
    setStandInScreenSaverActive(activeAtStart);
    {
      TCaptureForm form;
      form.show();
      EXPECT_EQ(standInScreenSaverInhibitions(), 0);
      ASSERT_TRUE(waitFor([&] { return form.deferredStartDone(); }));
      EXPECT_EQ(standInScreenSaverInhibitions(), activeAtStart ? 1 : 0);
    }
    // Given back at the end; one that was off at start is left off.
    EXPECT_EQ(standInScreenSaverInhibitions(), 0);
  }
  setStandInScreenSaverActive(true);
}

// ---- With live sources ---------------------------------------------------------------------------

TEST_F(LiveFormTest, TheStatusPanelsAndTheCaptureGlyphShowThePreviewFromTheStart) {
  openForm();
  ASSERT_NE(form->currentVideo(), nullptr);
  ASSERT_NE(form->currentAudio(), nullptr);
  StatusPanels& bar = *form->statusBar();
  EXPECT_TRUE(bar.panel(0).text.endsWith(QStringLiteral("Intervallo OFF")))
      << bar.panel(0).text.toStdString();
  EXPECT_TRUE(bar.panel(1).text.startsWith(QString::fromUtf8("Prévisualisation")));
  EXPECT_TRUE(bar.panel(2).text.startsWith(QStringLiteral("Vid: TES - Aud: Tes=>")))
      << bar.panel(2).text.toStdString();
  EXPECT_TRUE(
      QRegularExpression(QStringLiteral("^\\d+ mo libres sur .+")).match(bar.panel(3).text).hasMatch())
      << bar.panel(3).text.toStdString();

  // The capture toggle and the capture button show picture 14 (a video source is connected).
  EXPECT_EQ(act("saCapturerBascule").imageindex(), 14);
  auto* button = form->findChild<QPushButton*>(QStringLiteral("btnCapture"));
  ASSERT_NE(button, nullptr);
  const QImage glyph = createMainImageList().at(14).pixmap(kImageSize).toImage();
  EXPECT_EQ(button->icon().pixmap(kImageSize).toImage(), glyph);

  // Mute, the overlay and the flips show in panel 1 and its suffix at once. The listening starts
  // muted; a free preview lets the overlay and the flips act on the picture.
  ASSERT_TRUE(form->runAction(QStringLiteral("taLock")));
  struct Step {
    const char* action;
    const char* panel1;
    const char* suffix;
  };
  const Step steps[] = {
      {nullptr, "Prévisualisation mute 4x3", ""},
      {"taMute", "Prévisualisation 4x3", ""},
      {"taIncruster", "Prévisualisation in 4x3", ""},
      {"acVertFlip", "Prévisualisation in 4x3 v", ""},
      {"acHorzFlip", "Prévisualisation in 4x3 v", " h"},
      {"taMute", "Prévisualisation mute in 4x3 v", " h"},
      {"taIncruster", "Prévisualisation mute 4x3 v", " h"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.action ? step.action : "start");
    if (step.action) {
      ASSERT_TRUE(form->runAction(QString::fromLatin1(step.action)));
    }
    EXPECT_EQ(bar.panel(1).text, QString::fromUtf8(step.panel1));
    EXPECT_EQ(bar.suffix(), QString::fromLatin1(step.suffix));
  }

  // A sound-only format: the capture picture becomes 43.
  QComboBox* formats = form->sourcesFrame()->cbFormatCapture;
  const int wav = formats->findText(QStringLiteral("Wav"));
  ASSERT_GE(wav, 0);
  formats->setCurrentIndex(wav);
  emit formats->activated(wav);
  EXPECT_EQ(act("saCapturerBascule").imageindex(), 43);
}

TEST_F(LiveFormTest, ARestartBringsBackTheWindowAsItWasLeft) {
  root.write(QStringLiteral("program/Vistrel.ini"), QByteArray("\xFF\xFE", 2));  // portable mode
  openForm();
  ASSERT_NE(form->currentVideo(), nullptr);
  ASSERT_TRUE(form->runAction(QStringLiteral("tafullscreen")));
  ASSERT_TRUE(plaque->isVisible());
  ASSERT_TRUE(form->runAction(QStringLiteral("taMute")));  // the listening starts muted
  ASSERT_TRUE(form->runAction(QStringLiteral("taFreezeCapture")));
  ASSERT_TRUE(act("taFreezeCapture").isChecked());
  ASSERT_EQ(form->params().Boolean(QStringLiteral("Freeze Capture")).Value, 1);
  form->AfficherPanneau(3);
  form->BasculerPanneau();                 // the panels on the left
  raccourcis->StringGrid1MouseDown(2, 0);  // a click on the switch column's header
  raccourcis->StringGrid1MouseUp();
  ASSERT_EQ(raccourcis->SortOrder(), 2);
  ASSERT_TRUE(form->runAction(QStringLiteral("acReduire")));
  ASSERT_TRUE(form->reduced());
  const QSize reducedSize = form->size();
  EXPECT_EQ(reducedSize, form->previewArea()->size());
  ASSERT_TRUE(closeAndDestroy());

  openForm();
  EXPECT_TRUE(act("tafullscreen").isChecked());
  EXPECT_TRUE(plaque->isVisible());  // the plate came with the picture
  EXPECT_FALSE(act("taMute").isChecked());
  EXPECT_EQ(form->params().Boolean(QStringLiteral("Mute On")).Value, 0);
  EXPECT_TRUE(act("taFreezeCapture").isChecked());
  EXPECT_EQ(form->params().Boolean(QStringLiteral("Freeze Capture")).Value, 1);
  EXPECT_EQ(form->shownPanel(), 3);
  EXPECT_EQ(form->params().Boolean(QStringLiteral("EcranGauche")).Value, 0);
  EXPECT_EQ(raccourcis->SortOrder(), 2);
  EXPECT_TRUE(form->reduced());
  EXPECT_TRUE(act("acReduire").isChecked());
  EXPECT_EQ(act("acReduire").Caption(), QStringLiteral("Restaurer"));
  EXPECT_EQ(form->previewArea()->geometry(), QRect(QPoint(0, 0), form->size()));
  EXPECT_EQ(form->size(), reducedSize);

  // Switching the panels' side while reduced keeps the reduced window; restoring lays it out on
  // the new side.
  form->runAction(QStringLiteral("tafullscreen"));
  form->BasculerPanneau();
  EXPECT_EQ(form->params().Boolean(QStringLiteral("EcranGauche")).Value, 1);
  EXPECT_EQ(form->previewArea()->geometry(), QRect(QPoint(0, 0), form->size()));
  ASSERT_TRUE(form->runAction(QStringLiteral("acReduire")));
  EXPECT_FALSE(form->reduced());
  EXPECT_EQ(act("acReduire").Caption(), QString::fromUtf8("Réduire"));
  EXPECT_EQ(form->size(), QSize(700, 459));
  EXPECT_EQ(form->previewArea()->geometry(), QRect(8, 40, 700 - 303, 459 - 202));
  EXPECT_EQ(form->panel(3)->x(), 700 - 303);
  EXPECT_TRUE(form->panel(3)->isVisible());
}

TEST_F(LiveFormTest, ARefusedCloseLeavesTheProgramPreviewingAndRecording) {
  openForm();
  ASSERT_TRUE(graphRunning());
  ASSERT_TRUE(form->runAction(QStringLiteral("tafullscreen")));
  // The exit dialog closed by its frame refuses the close: the sources come back, the preview
  // runs again, in full screen as before.
  answers->addWords({QStringLiteral("fermer")});
  EXPECT_FALSE(form->close());
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(plaque->isVisible());
  EXPECT_TRUE(act("tafullscreen").isChecked());
  ASSERT_TRUE(form->runAction(QStringLiteral("tafullscreen")));
  ASSERT_NE(form->currentVideo(), nullptr);
  ASSERT_NE(form->currentAudio(), nullptr);
  EXPECT_TRUE(graphRunning());
  vistrel::platform::ui::VideoWidget* video = form->videoRendererWidget();
  ASSERT_NE(video, nullptr);
  const int64_t seen = video->frameSlot()->framesPresented();
  EXPECT_TRUE(waitFor([&] { return video->frameSlot()->framesPresented() > seen + 3; }));

  // A close refused during a recording: the file is finished and listed, the window previews.
  QComboBox* formats = form->sourcesFrame()->cbFormatCapture;
  const int wav = formats->findText(QStringLiteral("Wav"));
  ASSERT_GE(wav, 0);
  formats->setCurrentIndex(wav);
  emit formats->activated(wav);
  const QString file = form->videoFileName();
  ASSERT_TRUE(form->runAction(QStringLiteral("saCapturerBascule")));
  ASSERT_EQ(form->etat(), etatCapture);
  ASSERT_TRUE(waitFor([&] { return QFileInfo(file).size() > 50000; }))
      << file.toStdString() << " " << QFileInfo(file).size();
  answers->addWords({QStringLiteral("fermer")});
  EXPECT_FALSE(form->close());
  EXPECT_EQ(form->etat(), etatPreview);
  EXPECT_FALSE(act("saCapturerBascule").isChecked());
  ASSERT_EQ(form->sessionFiles().Count(), 1);
  EXPECT_EQ(form->sessionFiles().Item(0).Path, file);
  const auto probed = vistrel::testing::probeMedia(file);
  ASSERT_TRUE(probed.opened);
  EXPECT_GT(probed.durationSeconds, 0.2);
  EXPECT_TRUE(graphRunning());
  // The next recording starts as usual.
  ASSERT_TRUE(form->runAction(QStringLiteral("saCapturerBascule")));
  EXPECT_EQ(form->etat(), etatCapture);
  ASSERT_TRUE(form->runAction(QStringLiteral("saCapturerBascule")));
  EXPECT_EQ(form->sessionFiles().Count(), 2);

  answers->addWords({QStringLiteral("aucun")});
  EXPECT_TRUE(closeAndDestroy());
}

TEST_F(LiveFormTest, TheFiveLineCommandFileRunsThroughTheWindowsScript) {
  openForm();
  QComboBox* videos = form->sourcesFrame()->cboxvideo;
  ASSERT_GE(videos->count(), 3);  // two cameras and "aucun flux vidéo"
  const QString first = videos->currentText(), other = videos->itemText(1);
  ASSERT_NE(first, other);
  const QString picture = form->imageFileName();
  root.write(QStringLiteral("commands.txt"),
             ("+fs\nsource_video \"" + other + "\"\nmute true\ngrab\nquit\n").toUtf8());
  answers->addWords({QStringLiteral("portable")});
  form->script1().RunCommandFile(root.file(QStringLiteral("commands.txt")));
  // Full screen was on when "quit" closed the window, after the grab.
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->params().Boolean(QStringLiteral("Fullscreen On")).Value, 1);
  EXPECT_EQ(form->params().String(QStringLiteral("Source video")).Value, other);
  EXPECT_TRUE(act("taMute").isChecked());
  EXPECT_EQ(form->params().Boolean(QStringLiteral("Mute On")).Value, 1);
  EXPECT_TRUE(waitFor([&] { return QFileInfo::exists(picture); })) << picture.toStdString();
}

TEST_F(CaptureFormTest, TheAspectPlacesThePicture) {
  TCaptureForm form;
  form.show();
  // The deferred start finds no device; the stream below is set by hand afterwards.
  while (!form.deferredStartDone()) QCoreApplication::processEvents();
  ASSERT_EQ(form.noVideoPanel()->geometry(), QRect(16, 16, 384, 272));  // Panel1 less 32
  form.params().Enum(QStringLiteral("Aspect ratio")).Value = 2;         // 16x9
  form.setConnectedVideo(720, 576, 0, 0, false);
  EXPECT_EQ(form.videoWindow()->geometry(), QRect(16, 44, 384, 216));
  EXPECT_EQ(form.pictureFrame()->geometry(), QRect(4, 32, 408, 240));
  form.params().Enum(QStringLiteral("Aspect ratio")).Value = 3;  // native: width : height
  form.DimensionnerWithRatio();
  EXPECT_EQ(form.videoWindow()->geometry(), QRect(38, 16, 340, 272));
  // A DV source in "normal" is 4:3 until its scene detector reports a wide-screen picture.
  form.params().Enum(QStringLiteral("Aspect ratio")).Value = 0;
  form.setConnectedVideo(720, 576, 0, 0, true);
  EXPECT_EQ(form.videoWindow()->geometry(), QRect(27, 16, 362, 272));
  vistrel::platform::ui::postMessage(form.handle(), vistrel::platform::ui::WM_USER + 3, 1, 1);
  QCoreApplication::sendPostedEvents(&form);
  EXPECT_EQ(form.videoWindow()->geometry(), QRect(16, 44, 384, 216));
}

TEST_F(CaptureFormTest, ThePlateForwardsKeysToTheMainWindow) {
  struct KeyCounter : QWidget {
    int presses = 0, releases = 0, lastKey = 0;
    void keyPressEvent(QKeyEvent* e) override { ++presses, lastKey = e->key(); }
    void keyReleaseEvent(QKeyEvent*) override { ++releases; }
  } target;
  Tplaque plaque(&target);
  QKeyEvent press(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_F5, Qt::NoModifier);
  QCoreApplication::sendEvent(&plaque, &press);
  QCoreApplication::sendEvent(&plaque, &release);
  EXPECT_EQ(target.presses, 1);
  EXPECT_EQ(target.releases, 1);
  EXPECT_EQ(target.lastKey, Qt::Key_F5);
  plaque.show();
  plaque.close();  // closing only hides it
  EXPECT_FALSE(plaque.isVisible());
}

}  // namespace
