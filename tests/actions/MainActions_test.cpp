#include "actions/MainActions.h"

#include <gtest/gtest.h>

#include <QSet>

#include "actions/CustomScript.h"
#include "actions/HandlerRecorder.h"

namespace vistrel::actions {
namespace {

using vistrel::testing::HandlerRecorder;

struct Cell {
  int index;  // 1-based row of the table
  const char16_t* name;
  bool toggle;
  const char16_t* category;
  const char16_t* caption;
  const char16_t* key;
  const char16_t* also;
  const char16_t* switchText;
  const char16_t* token;
  int image;
  const char16_t* hint;
};

class MainActionCells : public ::testing::TestWithParam<Cell> {
 protected:
  void SetUp() override { createMainActions(al, recorder.lookup()); }
  HandlerRecorder recorder;
  TActionList al;
};

TEST_P(MainActionCells, MatchTheCommandTable) {
  const Cell& c = GetParam();
  ASSERT_EQ(al.Count(), kMainActionCount);
  auto* action = qobject_cast<TCustomSuperAction*>(al.Actions(c.index - 1));
  ASSERT_NE(action, nullptr);
  EXPECT_EQ(action->Name(), QString::fromUtf16(c.name));
  EXPECT_EQ(qobject_cast<TtoggleAction*>(action) != nullptr, c.toggle);
  EXPECT_EQ(action->Category(), QString::fromUtf16(c.category));
  EXPECT_EQ(action->Caption(), QString::fromUtf16(c.caption));
  EXPECT_EQ(ShortCutToText(action->ShortCut()), QString::fromUtf16(c.key));
  QStringList also;
  for (QKeyCombination k : action->SecondaryShortCuts()) also << ShortCutToText(k);
  EXPECT_EQ(also.join(','), QString::fromUtf16(c.also));
  EXPECT_EQ(action->Switch(), QString::fromUtf16(c.switchText));
  EXPECT_EQ(action->Token(), QString::fromUtf16(c.token));
  EXPECT_EQ(action->imageindex(), c.image);
  EXPECT_EQ(action->Hint(), QString::fromUtf16(c.hint));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MainActionCells,
    ::testing::Values(
        Cell{1, u"saGrab", false, u"action", u"Grab!", u"F5", u"Ctrl+G", u"g", u"grab", 6,
             u"Saisir une image"},
        Cell{2, u"tafullscreen", true, u"action", u"Mettre en plein écran", u"Alt+Entrée", u"", u"fs",
             u"full_screen", 5, u"Plein écran"},
        Cell{7, u"acIncrusterFrame", false, u"frame", u"Panneau Incruster", u"Alt+I", u"", u"if",
             u"inlay_frame", 22, u"Afficher le panneau pour incruster des informations \r\ndans la vidéo."},
        Cell{8, u"acQuitter", false, u"general", u"Quitter", u"Alt+F4", u"Ctrl+Q", u"q", u"quit", 4,
             u"Quitter"},
        Cell{14, u"acBasculerPanneau", false, u"frame", u"Panneau Inverser", u"Alt+W", u"", u"w", u"switch",
             -1, u""},
        Cell{17, u"acReduire", false, u"frame", u"Réduire", u"Alt+BkSp", u"", u"r", u"reduce", -1, u""},
        Cell{19, u"cam_PlayPause", true, u"camera", u"caméra PlayPause", u"Inser", u"", u"x", u"play", -1,
             u""},
        Cell{25, u"saCapturerBascule", false, u"action", u"Capturer", u"Ctrl+Barre d'Espace", u"", u"c",
             u"capture", 14,
             u"Capturer le flux video actuel sur le disque dur.\r\nLa barre d'Espace permet aussi de lancer "
             u"la "
             u"capture."},
        Cell{26, u"acShowVideoPilotDV", false, u"action", u"", u"", u"", u"pv", u"pilot_video", -1, u""},
        Cell{27, u"acVertFlip", false, u"action", u"Miroir Vertical", u"F4", u"", u"vf", u"vertical_flip", 36,
             u"Retourner l'image haut<=>bas "},
        Cell{33, u"acHorzFlip", false, u"action", u"Miroir Horizontal", u"Shift+F4", u"", u"zf",
             u"horizontal_flip", 42, u"retourner l'image Gauche <=> Droite"},
        Cell{36, u"saExitFullScreen", false, u"action", u"Interrompre", u"Echap", u"", u"ef",
             u"exit_fullscreen", -1, u""},
        Cell{37, u"taraccourcis", true, u"Orbano", u"Afficher les raccourcis", u"F11", u"", u"o",
             u"shortcuts", 59, u"Afficher la tableau des raccourcis et mots-clés de script"},
        Cell{38, u"taDecalage", true, u"Orbano", u"", u"", u"", u"dh", u"decalage", 0, u""},
        Cell{39, u"taFreezepreview", true, u"Orbano", u"Relancer la preview", u"F3", u"", u"fp",
             u"freeze_preview", 51,
             u"Cliquer pour geler la preview.\r\nPermet d'enregistrer sans trop solliciter le processeur."},
        Cell{40, u"taFreezeCapture", true, u"Orbano", u"Geler la capture", u"Barre d'Espace", u"", u"fc",
             u"freeze_capture", 52,
             u"Cliquer pour geler la capture.\r\nPermet de faire une pause dans l'enregistrement d'un "
             u"fichier\r\n"
             u"pour le reprendre plus tard."},
        Cell{42, u"taLock", true, u"Orbano", u"Preview conforme", u"F9", u"", u"l", u"lock", 57,
             u"Cliquer pour verrouiller la preview.\r\nElle ne peut alors qu'être égale à ce qui va être "
             u"capturé.\r\n(Recommandé)"},
        Cell{44, u"taMute", true, u"action", u"Couper le son", u"Ctrl+M", u"", u"m", u"mute", 24,
             u"Cliquer pour couper le son.\r\nN'affecte pas ce qui est enregistré."},
        Cell{47, u"saRatio16x9", false, u"Orbano", u"Image 16x9", u"Alt+F6", u"", u"rw", u"ratio_16x9", -1,
             u""},
        Cell{50, u"cam_Pause", false, u"camera", u"caméra Pause", u"Ctrl+Suppr", u"", u"co", u"camera_pause",
             -1, u""},
        Cell{51, u"saIntervallo", false, u"Orbano", u"Basculer l'intervallomètre", u"", u"", u"it",
             u"intervalometer", -1, u""},
        Cell{52, u"saScript", false, u"Orbano", u"Lancer script", u"", u"", u"", u"", 60, u""},
        Cell{55, u"saFormatCapture", false, u"select", u"Format Capture", u"", u"", u"fc", u"format_capture",
             -1, u""}));

class MainActions : public ::testing::Test {
 protected:
  void SetUp() override { createMainActions(al, recorder.lookup()); }
  TCustomSuperAction* at(const QString& name) { return al.find<TCustomSuperAction>(name); }
  HandlerRecorder recorder;
  TActionList al;
};

TEST_F(MainActions, CountsOfKindsKeysAndFlags) {
  int toggles = 0, withKey = 0, withSecondary = 0, autoCheck = 0, checked = 0, captioned = 0;
  QSet<QString> names;
  for (TCustomAction* a : al.actions()) {
    names.insert(a->Name());
    toggles += qobject_cast<TtoggleAction*>(a) != nullptr;
    withKey += !ShortCutToText(a->ShortCut()).isEmpty();
    withSecondary += !a->SecondaryShortCuts().isEmpty();
    autoCheck += a->AutoCheck();
    checked += a->Checked();
    captioned += !a->Caption().isEmpty();
  }
  EXPECT_EQ(names.size(), 55);
  EXPECT_EQ(toggles, 9);
  EXPECT_EQ(withKey, 45);
  EXPECT_EQ(withSecondary, 7);
  EXPECT_EQ(autoCheck, 6);
  EXPECT_EQ(checked, 1);
  EXPECT_TRUE(at("taDecalage")->Checked());
  EXPECT_EQ(captioned, 52);
  EXPECT_EQ(mainActionHandlerNames().size(), 46 + 18 + 6);
}

TEST_F(MainActions, AutoCheckActionsAreTheSixOfTheTable) {
  QStringList names;
  for (TCustomAction* a : al.actions())
    if (a->AutoCheck()) names << a->Name();
  EXPECT_EQ(names, QStringList({"acReduire", "saCapturerBascule", "acVertFlip", "acHorzFlip",
                                "taFreezepreview", "taFreezeCapture"}));
}

TEST_F(MainActions, ToggleTextsFollowTheirState) {
  struct ToggleCell {
    const char* name;
    const char16_t* trueCaption;
    const char16_t* falseCaption;
    int trueImage, falseImage;
    const char16_t* trueHint;
  };
  const ToggleCell cells[] = {
      {"tafullscreen", u"Enlever le plein écran", u"Mettre en plein écran", 5, 5, u"Enlever le plein écran"},
      {"taraccourcis", u"Masquer les raccourcis", u"Afficher les raccourcis", 59, 59,
       u"Cliquez pour masquer la table des raccourcis et mots-clés de script."},
      {"taDecalage", u"Masquer décalage", u"Ajouter un décalage", 47, 47, u""},
      {"taFreezepreview", u"Geler la preview", u"Relancer la preview", 50, 51,
       u"Cliquer pour geler la preview.\r\nPermet d'enregistrer sans trop solliciter le processeur."},
      {"taIncruster", u"Stopper l'incrustation", u"Incruster", 26, 55,
       u"Cliquer pour arrêter l'incrustation."},
      {"taLock", u"Preview libre", u"Preview conforme", 46, 57,
       u"Cliquer pour déverrouiller la preview.\r\nUtile seulement si vous voulez prévisualiser autre "
       u"chose\r\nque ce "
       u"qui va être enregistré."},
      {"taMute", u"Remettre le son", u"Couper le son", 23, 24,
       u"Cliquer pour remettre le son\r\nN'affecte pas ce qui est enregistré."},
  };
  for (const ToggleCell& c : cells) {
    SCOPED_TRACE(c.name);
    auto* t = al.find<TtoggleAction>(c.name);
    ASSERT_NE(t, nullptr);
    t->SetChecked(true);
    EXPECT_EQ(t->Caption(), QString::fromUtf16(c.trueCaption));
    EXPECT_EQ(t->imageindex(), c.trueImage);
    EXPECT_EQ(t->Hint(), QString::fromUtf16(c.trueHint));
    t->SetChecked(false);
    EXPECT_EQ(t->Caption(), QString::fromUtf16(c.falseCaption));
    EXPECT_EQ(t->imageindex(), c.falseImage);
  }
  auto* capture = al.find<TtoggleAction>("taFreezeCapture");
  capture->SetChecked(false);
  EXPECT_EQ(capture->Hint(),
            QString::fromUtf16(
                u"Cliquer pour relancer la capture.\r\nPermet d'enregistrer plusieurs séquences à la "
                u"suite\r\ndans un même fichier."));
}

// Every action reaches the handler the table names: plain actions their execute handler, toggles
// the handler of each state, and the actions with a preparation run it first when executed
// interactively.
TEST_F(MainActions, EveryHandlerNameIsWired) {
  TScript script(&al, nullptr);
  QStringList expected;
  for (TCustomAction* a : al.actions()) {
    auto* action = qobject_cast<TCustomSuperAction*>(a);
    if (auto* t = qobject_cast<TtoggleAction*>(action)) {
      t->SetChecked(true);
      t->ExecuteHandler()(&script);
      t->SetChecked(false);
      t->ExecuteHandler()(&script);
      continue;
    }
    action->ExecuteHandler()(&script);
  }
  for (const QString& name : mainActionHandlerNames())
    if (!name.endsWith("prepare")) expected << name;
  EXPECT_EQ(recorder.calls, expected);

  recorder.calls.clear();
  for (const char* name :
       {"taraccourcis", "taDecalage", "saScript", "saSourceVideo", "saSourceAudio", "saFormatCapture"}) {
    ASSERT_TRUE(at(name)->Onprepare) << name;
    at(name)->Onprepare(at(name));
  }
  EXPECT_EQ(recorder.calls,
            QStringList({"taraccourcisprepare", "taDecalageprepare", "saScriptprepare",
                         "saSourceVideoprepare", "saSourceAudioprepare", "saFormatCaptureprepare"}));
}

TEST_F(MainActions, TogglesHaveNoHandlerUntilTheirStateIsSet) {
  for (TCustomAction* a : al.actions())
    if (auto* t = qobject_cast<TtoggleAction*>(a)) {
      EXPECT_FALSE(t->ExecuteHandler()) << a->Name().toStdString();
    }
}

TEST_F(MainActions, AnEmptyAnswerInstallsNoHandler) {
  TActionList bare;
  createMainActions(bare, [](const QString&) { return THandler(); });
  EXPECT_EQ(bare.Count(), 55);
  for (TCustomAction* a : bare.actions()) {
    auto* s = qobject_cast<TCustomSuperAction*>(a);
    EXPECT_FALSE(s->ExecuteHandler());
    EXPECT_FALSE(s->Onprepare);
  }
  EXPECT_FALSE(bare.find<TCustomSuperAction>("saGrab")->Execute());
}

}  // namespace
}  // namespace vistrel::actions
