#include "app/ErrorPanel.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>

#include "app/CaptureForm.h"
#include "support/TempRoot.h"

using namespace vistrel::app;

namespace {

const QString kSourcesError = QStringLiteral("impossible de charger les sources vidéo.\r\n");

// The character format at the first occurrence of `text` in the report.
QTextCharFormat formatOf(QTextDocument* doc, const QString& text) {
  QTextCursor found = doc->find(text);
  EXPECT_FALSE(found.isNull()) << text.toStdString();
  QTextCursor at(doc);
  at.setPosition(found.selectionStart() + 1);
  return at.charFormat();
}

TEST(ErrorPanelTest, TheReportSaysWhoFailedWhatAndAsksForAReport) {
  struct Case {
    bool fatal;
    QString what;
  };
  for (const Case& c : {Case{true, QStringLiteral(" a rencontré une erreur fatale")},
                        Case{false, QStringLiteral(" a diagnostiqué des problèmes potentiels")}}) {
    QWidget window;
    window.resize(719, 506);
    TErrorPanel panel(&window);
    panel.ShowError(QStringLiteral("pas de <carte> & rien\r\nseconde ligne"), c.fatal);
    const QString plain = panel.Report()->toPlainText();
    EXPECT_TRUE(
        plain.startsWith(QStringLiteral("Vistrel") + c.what +
                         QStringLiteral(" sur votre système:\n\npas de <carte> & rien\nseconde ligne\n\n")))
        << plain.toStdString();
    EXPECT_TRUE(plain.contains(QStringLiteral("signaler ce problème")));
    QTextDocument* doc = panel.Report()->document();
    const QTextCharFormat name = formatOf(doc, QStringLiteral("Vistrel"));
    EXPECT_EQ(name.fontWeight(), QFont::Bold);
    EXPECT_EQ(name.foreground().color(), QColor(0, 0, 0x80));
    EXPECT_EQ(formatOf(doc, QStringLiteral("seconde ligne")).fontWeight(), QFont::Bold);
    EXPECT_NE(formatOf(doc, QStringLiteral("sur votre")).fontWeight(), QFont::Bold);
    EXPECT_EQ(panel.QuitButton()->text(), QStringLiteral("Quitter"));
    EXPECT_EQ(panel.Report()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  }
}

TEST(ErrorPanelTest, AFatalErrorEndsTheApplicationAndAnotherGivesTheWindowBack) {
  QWidget window;
  window.resize(719, 506);
  window.show();
  TErrorPanel panel(&window);
  int terminated = 0;
  panel.OnTerminate = [&] { ++terminated; };

  panel.ShowError(kSourcesError, true);
  EXPECT_EQ(window.size(), QSize(TErrorPanel::kWidth, TErrorPanel::kHeight));
  EXPECT_EQ(panel.geometry(), QRect(0, 0, TErrorPanel::kWidth, TErrorPanel::kHeight));
  EXPECT_TRUE(panel.isVisible());
  panel.QuitButton()->click();
  EXPECT_EQ(terminated, 1);
  EXPECT_TRUE(panel.isVisible());

  // Shown twice before the click: the size given back is the one from before the first.
  panel.ShowError(QStringLiteral("avertissement"), false);
  panel.hide();
  window.resize(700, 500);
  panel.ShowError(QStringLiteral("avertissement"), false);
  panel.ShowError(QStringLiteral("encore"), false);
  panel.QuitButton()->click();
  EXPECT_EQ(terminated, 1);
  EXPECT_FALSE(panel.isVisible());
  EXPECT_EQ(window.size(), QSize(700, 500));
}

// A window whose source enumeration fails, as when the device layer cannot list anything.
class FailingSourcesForm : public TCaptureForm {
 public:
  bool ChargerDrivers() override { return false; }
};

TEST(ErrorPanelTest, AFailedSourceEnumerationAtStartCoversTheWindow) {
  vistrel::testing::TempRoot root;
  FailingSourcesForm form;
  QSignalSpy finished(&form, &TCaptureForm::deferredStartFinished);
  form.show();
  for (int i = 0; i < 5 && finished.isEmpty(); ++i) QCoreApplication::processEvents();
  ASSERT_EQ(finished.count(), 1);
  TErrorPanel* panel = form.errorPanel();
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_TRUE(panel->Fatal());
  EXPECT_EQ(form.size(), QSize(TErrorPanel::kWidth, TErrorPanel::kHeight));
  EXPECT_TRUE(
      panel->Report()->toPlainText().contains(QStringLiteral("impossible de charger les sources vidéo.")));
  EXPECT_FALSE(form.findChild<QWidget*>(QStringLiteral("gaugeVolume"))->isVisible());
  int terminated = 0;
  panel->OnTerminate = [&] { ++terminated; };
  panel->QuitButton()->click();
  EXPECT_EQ(terminated, 1);
}

TEST(ErrorPanelTest, ASuccessfulStartShowsNoPanel) {
  vistrel::testing::TempRoot root;
  TCaptureForm form;
  QSignalSpy finished(&form, &TCaptureForm::deferredStartFinished);
  form.show();
  for (int i = 0; i < 5 && finished.isEmpty(); ++i) QCoreApplication::processEvents();
  ASSERT_EQ(finished.count(), 1);
  EXPECT_EQ(form.errorPanel(), nullptr);
  EXPECT_EQ(form.size(), QSize(719, 506));
}

}  // namespace
