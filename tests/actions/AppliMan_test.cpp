#include "actions/AppliMan.h"

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <memory>

#include "actions/HelpForm.h"
#include "actions/OBScript.h"
#include "actions/OBSwitch.h"
#include "settings/OrbanoPreferences.h"
#include "support/TempRoot.h"

using namespace vistrel::actions;
using vistrel::settings::TOrbanoPreferences;

namespace {

class AppliManTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<QWidget>();
    window->setGeometry(100, 50, 719, 506);
    am = new TOBAppliMan(window.get());
    am->Created();
    am->setWinControl(window.get());
    am->OpenAddress = [this](const QString& address) {
      opened << address;
      return true;
    };
  }

  // Preferences kept in an ini file below the temporary root.
  std::unique_ptr<TOrbanoPreferences> portablePrefs() {
    auto prefs = std::make_unique<TOrbanoPreferences>(nullptr);
    prefs->settitre(QStringLiteral("Vistrel"));
    prefs->SetMode(vistrel::settings::spPortable);
    return prefs;
  }

  vistrel::testing::TempRoot root;
  std::unique_ptr<QWidget> window;
  TOBAppliMan* am = nullptr;  // a child of the window
  QStringList opened;
};

TEST_F(AppliManTest, TheActionsAreThoseOfTheTable) {
  struct Row {
    TCustomAbstractAction* action;
    const char* name;
    const char* kind;
    const char* scriptName;
    QKeyCombination key;
    QString caption;
    bool applyWhenLoad;
    const char* category;
  };
  const QKeyCombination none = QKeyCombination::fromCombined(0);
  const Row rows[] = {
      {am->caScript, "caScript", "TCheckAction", "Script", Qt::Key_F12, "Script", false, "internal"},
      {am->caHelp, "caHelp", "TCheckAction", "Help", Qt::Key_F1, "Aide", false, "internal"},
      {am->caAbout, "caAbout", "TCheckAction", "About", Qt::Key_F11, "A propos", false, "internal"},
      {am->caOptions, "caOptions", "TCheckAction", "Options", Qt::Key_F10, "Options", false, "internal"},
      {am->caCustom, "caCustom", "TCheckAction", "Custom", Qt::AltModifier | Qt::Key_F10,
       QStringLiteral("Frame Personnalisée"), false, "internal"},
      {am->naQuit, "naQuit", "TNopeAction", "Quit", Qt::AltModifier | Qt::Key_F4, "Quitter", false,
       "internal"},
      {am->naEMail, "naEMail", "TNopeAction", "EMail", Qt::AltModifier | Qt::Key_F5, "E-mail", false,
       "internal"},
      {am->naHomePage, "naHomePage", "TNopeAction", "HomePage", Qt::AltModifier | Qt::Key_F6, "Homepage",
       false, "internal"},
      {am->raFormSave, "raFormSave", "TRectAction", "FormSave", none, "", true, "internal"},
      {am->raCam1, "raCam1", "TRectAction", "raCam1", none, "Cam1", false, "Orbano"},
      {am->raCam2, "raCam2", "TRectAction", "Cam2", none, "Cam2", false, "Orbano"},
  };
  ASSERT_EQ(am->Count(), 11);
  int index = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    ASSERT_NE(r.action, nullptr);
    EXPECT_EQ(am->Actions(index++), r.action);  // list order
    EXPECT_EQ(r.action->Name(), QString::fromLatin1(r.name));
    EXPECT_STREQ(r.action->metaObject()->className(), (std::string("vistrel::actions::") + r.kind).c_str());
    EXPECT_EQ(r.action->ScriptName, QString::fromLatin1(r.scriptName));
    EXPECT_EQ(r.action->InternalId, QString::fromLatin1(r.name));
    EXPECT_EQ(r.action->ShortCut(), r.key);
    EXPECT_EQ(r.action->Caption(), r.caption);
    EXPECT_EQ(r.action->ApplyWhenLoad, r.applyWhenLoad);
    EXPECT_TRUE(r.action->IncludePrefs);
    EXPECT_TRUE(r.action->Switch.isEmpty());
    EXPECT_EQ(r.action->Category(), QString::fromLatin1(r.category));
    EXPECT_EQ(am->FindByInternalId(QString::fromLatin1(r.name)), r.action);
    if (auto* check = qobject_cast<TCheckAction*>(r.action)) {
      EXPECT_EQ(check->TrueCaption(), r.caption);
      EXPECT_EQ(check->FalseCaption(), r.caption);
      EXPECT_EQ(check->TrueImageIndex(), -1);
      EXPECT_EQ(check->FalseImageIndex(), -1);
      EXPECT_FALSE(check->DefaultValue());
      EXPECT_FALSE(check->Checked());
    }
  }
  EXPECT_EQ(am->Switch()->RegisteredCount(), 11);
}

TEST_F(AppliManTest, FoundAgainByTheirIdsAfterLoading) {
  TCheckAction* help = am->caHelp;
  am->caHelp = nullptr;
  am->raCam2 = nullptr;
  am->Loaded();
  EXPECT_EQ(am->caHelp, help);
  ASSERT_NE(am->raCam2, nullptr);
  EXPECT_EQ(am->raCam2->ScriptName, QStringLiteral("Cam2"));
  am->caHelp->SetChecked(true);  // handlers wired again
  EXPECT_TRUE(am->HelpForm()->isVisible());
  am->caHelp->SetChecked(false);
}

TEST_F(AppliManTest, OnePageAtATimeCentredOverTheControl) {
  window->show();
  QWidget options, custom, about;
  options.resize(200, 100);
  custom.resize(100, 50);
  about.resize(300, 200);
  am->setOptionsFrame(&options);
  am->setCustomFrame(&custom);
  am->setAboutFrame(&about);
  for (auto p : {TOBAppliMan::pgOptions, TOBAppliMan::pgCustom, TOBAppliMan::pgAbout})
    EXPECT_EQ(am->PagePanel(p)->geometry(), window->rect());
  EXPECT_EQ(am->ShownPage(), -1);

  struct Step {
    TCheckAction* action;
    bool checked;
    int shown;
    bool options, about, custom;  // the check states afterwards
  };
  const Step steps[] = {
      {am->caOptions, true, TOBAppliMan::pgOptions, true, false, false},
      {am->caAbout, true, TOBAppliMan::pgAbout, false, true, false},
      {am->caCustom, true, TOBAppliMan::pgCustom, false, false, true},
      {am->caOptions, true, TOBAppliMan::pgOptions, true, false, false},
      {am->caOptions, false, -1, false, false, false},
  };
  int n = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE(n++);
    s.action->SetChecked(s.checked);
    EXPECT_EQ(am->ShownPage(), s.shown);
    EXPECT_EQ(am->caOptions->Checked(), s.options);
    EXPECT_EQ(am->caAbout->Checked(), s.about);
    EXPECT_EQ(am->caCustom->Checked(), s.custom);
  }
  am->caAbout->SetChecked(true);
  EXPECT_EQ(about.geometry(), QRect((719 - 300) / 2, (506 - 200) / 2, 300, 200));
  EXPECT_TRUE(about.isVisible());
  window->resize(500, 400);  // the panels follow the control and the frame stays centred
  EXPECT_EQ(am->PagePanel(TOBAppliMan::pgAbout)->geometry(), QRect(0, 0, 500, 400));
  EXPECT_EQ(about.pos(), QPoint(100, 100));
  am->caAbout->SetChecked(false);
  EXPECT_FALSE(about.isVisible());
}

TEST_F(AppliManTest, APageWithoutItsFrameShowsNothing) {
  window->show();
  am->caAbout->SetChecked(true);
  EXPECT_TRUE(am->caAbout->Checked());
  EXPECT_EQ(am->ShownPage(), -1);
  QWidget about;
  am->setAboutFrame(&about);
  am->caAbout->SetChecked(true);
  EXPECT_EQ(am->ShownPage(), TOBAppliMan::pgAbout);
  {
    QWidget gone;
    am->setCustomFrame(&gone);
  }
  EXPECT_EQ(am->CustomFrame(), nullptr);  // a destroyed frame is forgotten
  am->caCustom->SetChecked(true);
  EXPECT_EQ(am->ShownPage(), -1);
  EXPECT_FALSE(am->caAbout->Checked());
}

TEST_F(AppliManTest, TheOptionsPageHasACloseLink) {
  window->show();
  QWidget options, about;
  options.resize(400, 300);
  am->setAboutFrame(&about);
  am->setOptionsFrame(&options);
  QLabel* label = am->CloseLabel();
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->parentWidget(), &options);
  EXPECT_EQ(label->geometry(), QRect(400 - 16 - 180, 300 - 16 - 40, 180, 40));
  EXPECT_EQ(label->text(),
            QStringLiteral("Tapez F10 pour quitter cette page ou <a href=\"closeOptions\">cliquez ici</a>."));
  EXPECT_TRUE(label->font().bold());
  EXPECT_TRUE(label->font().italic());
  EXPECT_EQ(label->font().pointSize(), 8);
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0x80, 0, 0));
  EXPECT_TRUE(label->isHidden());
  am->setOptionsCloseVisible(true);
  EXPECT_FALSE(label->isHidden());

  EXPECT_EQ(TOBAppliMan::LinkHint(QStringLiteral("closeOptions")),
            QStringLiteral("Cliquez pour fermer cette page\r\net retourner à l'application"));
  EXPECT_EQ(TOBAppliMan::LinkHint(QStringLiteral("closeAbout")), TOBAppliMan::LinkHint("closeOptions"));
  EXPECT_TRUE(TOBAppliMan::LinkHint(QStringLiteral("ailleurs")).isEmpty());

  am->caOptions->SetChecked(true);
  emit label->linkActivated(QStringLiteral("closeOptions"));
  EXPECT_FALSE(am->caOptions->Checked());
  EXPECT_EQ(am->ShownPage(), -1);
  am->caAbout->SetChecked(true);
  am->LinkClick(QStringLiteral("closeOptions"));  // not the page shown: nothing changes
  EXPECT_TRUE(am->caAbout->Checked());
  am->LinkClick(QStringLiteral("closeAbout"));
  EXPECT_FALSE(am->caAbout->Checked());
}

TEST_F(AppliManTest, TheHelpWindowFollowsItsAction) {
  THelpForm* help = am->HelpForm();
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->windowTitle(), QStringLiteral("Aide pour Raccourcis, Script et Macros"));
  EXPECT_TRUE(help->isWindow());
  am->caHelp->SetChecked(true);
  EXPECT_TRUE(help->isVisible());
  help->close();  // closing it unchecks the action
  EXPECT_FALSE(help->isVisible());
  EXPECT_FALSE(am->caHelp->Checked());
  am->caHelp->SetChecked(true);
  am->caHelp->SetChecked(false);
  EXPECT_FALSE(help->isVisible());
}

TEST_F(AppliManTest, TheScriptWindowIsShownWhenThereIsOne) {
  EXPECT_EQ(am->ScriptForm(), nullptr);
  am->caScript->SetChecked(true);  // no script window: nothing to show
  EXPECT_TRUE(am->caScript->Checked());
  am->caScript->SetChecked(false);

  QPointer<QWidget> form = new QWidget();
  am->setScriptForm(form);
  am->caScript->SetChecked(true);
  EXPECT_TRUE(form->isVisible());
  form->close();
  EXPECT_FALSE(am->caScript->Checked());
  EXPECT_FALSE(form->isVisible());
  window.reset();  // the manager frees its script window
  EXPECT_TRUE(form.isNull());
}

TEST_F(AppliManTest, TheLinksOpenTheirAddresses) {
  am->naEMail->Execute();
  am->HomePageAddress = QStringLiteral("https://www.orbano.fr/vistrel\u00A9");
  am->naHomePage->Execute();
  am->HomePageAddress = QStringLiteral("https://www.orbano.fr/\u00A9x");  // not trailing: kept
  am->naHomePage->Execute();
  EXPECT_EQ(opened, (QStringList{
                        QStringLiteral("mailto:contact@orbano.fr?subject=A propos de Vistrel 6.2.0 fr&body="),
                        QStringLiteral("https://www.orbano.fr/vistrel"),
                        QStringLiteral("https://www.orbano.fr/\u00A9x")}));
}

TEST_F(AppliManTest, QuitClosesTheMainWindow) {
  window->show();
  am->naQuit->Execute();
  EXPECT_FALSE(window->isVisible());
}

TEST_F(AppliManTest, TheMainWindowBoundsAreKeptAndRestored) {
  auto prefs = portablePrefs();
  window->setGeometry(30, 40, 600, 400);
  EXPECT_TRUE(am->SaveToPrefs(*prefs));
  window->setGeometry(0, 0, 100, 100);
  EXPECT_TRUE(am->LoadFromPrefs(*prefs));  // raFormSave is applied when loaded
  EXPECT_EQ(window->geometry(), QRect(30, 40, 600, 400));
  EXPECT_EQ(am->raFormSave->Value(), (TRect{30, 40, 630, 440}));

  // A damaged rectangle (no width) is not applied to the window.
  prefs->WriteRect(QStringLiteral("FormSave"), TRect{10, 10, 10, 300});
  am->LoadFromPrefs(*prefs);
  EXPECT_EQ(window->geometry(), QRect(30, 40, 600, 400));
}

TEST_F(AppliManTest, WithNothingStoredTheWindowIsCentredAndTheCamerasBelowIt) {
  TOrbanoPreferences prefs(nullptr);  // keeps nothing
  window->setGeometry(5, 7, 400, 300);
  EXPECT_TRUE(am->LoadFromPrefs(prefs));
  const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  const int left = (screen.width() - 400) / 2, top = (screen.height() - 300) / 2;
  EXPECT_EQ(window->geometry(), QRect(left, top, 400, 300));
  EXPECT_EQ(am->raCam1->Value(), (TRect{left, top + 300, left + 568, top + 300 + 132}));
  EXPECT_EQ(am->raCam2->Value(), am->raCam1->Value());
  EXPECT_FALSE(am->SaveToPrefs(prefs));  // nothing can be written
}

TEST_F(AppliManTest, TheCameraRectanglesFollowTheirWindows) {
  auto prefs = portablePrefs();
  // No camera windows: the stored rectangles are kept as they are.
  prefs->WriteRect(QStringLiteral("raCam1"), TRect{1, 2, 301, 102});
  prefs->WriteRect(QStringLiteral("Cam2"), TRect{3, 4, 203, 54});
  ASSERT_TRUE(am->LoadFromPrefs(*prefs));
  am->raCam1->ApplyText(QStringLiteral("(5, 6, 105, 56)"));  // applies to no window
  ASSERT_TRUE(am->SaveToPrefs(*prefs));
  EXPECT_EQ(prefs->ReadRect(QStringLiteral("raCam1"), {}), (TRect{5, 6, 105, 56}));
  EXPECT_EQ(prefs->ReadRect(QStringLiteral("Cam2"), {}), (TRect{3, 4, 203, 54}));

  QWidget cam1, cam2;
  cam1.setGeometry(10, 20, 568, 132);
  cam2.setGeometry(50, 60, 400, 100);
  am->setCamWindows(&cam1, &cam2);
  am->LoadFromPrefs(*prefs);  // loading moves neither window
  EXPECT_EQ(cam1.geometry(), QRect(10, 20, 568, 132));
  EXPECT_EQ(cam2.geometry(), QRect(50, 60, 400, 100));
  ASSERT_TRUE(am->SaveToPrefs(*prefs));  // saving takes their bounds
  EXPECT_EQ(prefs->ReadRect(QStringLiteral("raCam1"), {}), (TRect{10, 20, 578, 152}));
  EXPECT_EQ(prefs->ReadRect(QStringLiteral("Cam2"), {}), (TRect{50, 60, 450, 160}));

  // Applying one moves its own window only.
  am->raCam1->ApplyText(QStringLiteral(" ( 100 , 200 , 668 , 332 ) "));
  EXPECT_EQ(cam1.geometry(), QRect(100, 200, 568, 132));
  EXPECT_EQ(cam2.geometry(), QRect(50, 60, 400, 100));
  am->raCam2->SetValue(TRect{0, 0, 300, 120});
  EXPECT_EQ(cam2.geometry(), QRect(0, 0, 300, 120));
  am->raCam2->ApplyText(QStringLiteral("0, 0, 10, 10"));  // without brackets: ignored
  EXPECT_EQ(cam2.geometry(), QRect(0, 0, 300, 120));
  am->raCam2->SetValue(TRect{0, 0, -5, 120});  // no width: the window keeps its bounds
  EXPECT_EQ(cam2.geometry(), QRect(0, 0, 300, 120));
}

TEST_F(AppliManTest, CheckStatesAreStoredButNotAppliedWhenLoaded) {
  auto prefs = portablePrefs();
  am->caHelp->SetChecked(true);
  ASSERT_TRUE(am->SaveToPrefs(*prefs));
  EXPECT_TRUE(prefs->ReadBoolean(QStringLiteral("Help"), false));
  am->caHelp->SetChecked(false);
  ASSERT_TRUE(am->LoadFromPrefs(*prefs));
  EXPECT_TRUE(am->caHelp->Checked());
  EXPECT_FALSE(am->HelpForm()->isVisible());
}

TEST_F(AppliManTest, TheManagerHasItsOwnScriptEngine) {
  ASSERT_NE(am->Script(), nullptr);
  EXPECT_EQ(am->Script()->parent(), am);
  EXPECT_EQ(am->Switch()->MainWindow(), window.get());
}

TEST(AppliManRectTest, BoundsAndRectanglesConvertBothWays) {
  EXPECT_EQ(rectToBounds(TRect{10, 20, 110, 70}), QRect(10, 20, 100, 50));
  EXPECT_EQ(boundsToRect(QRect(-5, 3, 8, 9)), (TRect{-5, 3, 3, 12}));
}

}  // namespace
