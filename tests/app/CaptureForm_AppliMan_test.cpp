#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QSignalSpy>

#include "actions/AbstractActions.h"
#include "actions/AppliMan.h"
#include "actions/HelpForm.h"
#include "actions/OBActionList.h"
#include "app/CaptureForm.h"
#include "engine/Tdm.h"
#include "settings/OrbanoPreferences.h"
#include "support/TempRoot.h"

using namespace vistrel::app;
using vistrel::actions::TRect;

namespace {

const QString kIni = QStringLiteral("program/Vistrel.ini");

void startUp(TCaptureForm& form) {
  QSignalSpy finished(&form, &TCaptureForm::deferredStartFinished);
  form.show();
  for (int i = 0; i < 5 && finished.isEmpty(); ++i) QCoreApplication::processEvents();
  ASSERT_EQ(finished.count(), 1);
}

class CaptureFormAppliManTest : public ::testing::Test {
 protected:
  vistrel::testing::TempRoot root;
};

TEST_F(CaptureFormAppliManTest, TheWindowHasItsManagerAndItsMediaTypeAction) {
  TCaptureForm form;
  auto& ia = form.iaNumMediatype();
  EXPECT_EQ(ia.Name(), QStringLiteral("iaNumMediatype"));
  EXPECT_EQ(ia.ScriptName, QStringLiteral("NumMediatype"));
  EXPECT_EQ(ia.Category(), QStringLiteral("Orbano"));
  EXPECT_TRUE(ia.ApplyWhenLoad);
  EXPECT_TRUE(ia.IncludePrefs);
  EXPECT_EQ(ia.DefaultValue, 0);
  EXPECT_EQ(form.obal().Count(), 1);
  EXPECT_EQ(form.am().Count(), 11);
  EXPECT_EQ(form.am().WinControl(), &form);
}

TEST_F(CaptureFormAppliManTest, TheMediaTypeAndTheCameraBoundsSurviveARestart) {
  root.write(kIni, QByteArray());  // portable settings, nothing stored yet
  QWidget cam1, cam2;
  cam1.setGeometry(20, 600, 568, 132);
  cam2.setGeometry(40, 700, 300, 100);
  {
    TCaptureForm form;
    startUp(form);
    EXPECT_EQ(form.iaNumMediatype().Value(), 0);
    form.setCamWindows(&cam1, &cam2);
    form.dm().FormatIndex = 3;  // the format the user chose on the capture pin
    form.close();
  }
  const QByteArray bytes = root.read(kIni);  // UTF-16
  const QString ini =
      QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
  EXPECT_TRUE(ini.contains(QStringLiteral("NumMediatype=3"))) << ini.toStdString();
  EXPECT_TRUE(ini.contains(QStringLiteral("[raCam1]\r\nLeft=20\r\nTop=600\r\nRight=588\r\nBottom=732")))
      << ini.toStdString();
  EXPECT_TRUE(ini.contains(QStringLiteral("[Cam2]\r\nLeft=40\r\nTop=700\r\nRight=340\r\nBottom=800")))
      << ini.toStdString();
  EXPECT_TRUE(ini.contains(QStringLiteral("[FormSave]"))) << ini.toStdString();

  cam1.setGeometry(0, 0, 10, 10);
  cam2.setGeometry(0, 0, 10, 10);
  TCaptureForm form;
  form.setCamWindows(&cam1, &cam2);
  startUp(form);
  EXPECT_EQ(form.iaNumMediatype().Value(), 3);
  EXPECT_EQ(form.dm().FormatIndex, 3);  // applied when loaded
  EXPECT_EQ(form.am().raCam1->Value(), (TRect{20, 600, 588, 732}));
  EXPECT_EQ(form.am().raCam2->Value(), (TRect{40, 700, 340, 800}));
  EXPECT_EQ(cam1.geometry(), QRect(0, 0, 10, 10));  // loading moves no camera window
  EXPECT_EQ(cam2.geometry(), QRect(0, 0, 10, 10));
  form.am().raCam2->Apply();  // applying does
  EXPECT_EQ(cam2.geometry(), QRect(40, 700, 300, 100));
  EXPECT_EQ(cam1.geometry(), QRect(0, 0, 10, 10));
}

TEST_F(CaptureFormAppliManTest, WithoutCameraWindowsTheDefaultsLieBelowTheMainWindow) {
  root.write(kIni, QByteArray());
  QRect bounds;
  {
    TCaptureForm form;
    startUp(form);
    bounds = form.geometry();
    const TRect expected{bounds.x(), bounds.y() + bounds.height(), bounds.x() + 568,
                         bounds.y() + bounds.height() + 132};
    EXPECT_EQ(form.am().raCam1->Value(), expected);
    EXPECT_EQ(form.am().raCam2->Value(), expected);
    form.close();
  }
  TCaptureForm form;
  startUp(form);
  EXPECT_EQ(form.geometry(), bounds);  // FormSave gives the window its bounds back
}

TEST_F(CaptureFormAppliManTest, TheManagersKeysComeAfterTheMainWindows) {
  TCaptureForm form;
  startUp(form);
  // F1 belongs to a main-window action, which is asked first: the help window stays hidden.
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  QCoreApplication::sendEvent(&form, &f1);
  EXPECT_FALSE(form.am().caHelp->Checked());
  EXPECT_FALSE(form.am().HelpForm()->isVisible());
}

}  // namespace
