#include "actions/RaccourcisForm.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QRegularExpression>
#include <QTest>

#include "actions/HandlerRecorder.h"

namespace vistrel::actions {
namespace {

using vistrel::testing::HandlerRecorder;

class ShortcutsWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    createMainActions(al, recorder.lookup());
    auto* toggle = al.find<TtoggleAction>("taraccourcis");
    form.setToggle(toggle);
    recorder.on("taraccourcisprepare", [this](QObject* s) { form.taraccourcisprepare(s); });
    recorder.on("taraccourcisTrueExecute", [this](QObject* s) { form.taraccourcisTrueExecute(s); });
    recorder.on("taraccourcisfalseExecute", [this](QObject* s) { form.taraccourcisfalseExecute(s); });
    form.Fill(&al);
  }
  int rowOf(const QString& name) {
    for (int r = 1; r < form.RowCount(); ++r)
      if (form.RowAction(r) && form.RowAction(r)->Name() == name) return r;
    return -1;
  }
  QStringList column(int c) {
    QStringList texts;
    for (int r = 1; r < form.RowCount(); ++r) texts << form.Cells(c, r);
    return texts;
  }
  HandlerRecorder recorder;
  TActionList al;
  TRaccourcisForm form;
};

TEST_F(ShortcutsWindow, ListsTheCaptionedActions) {
  EXPECT_EQ(form.windowTitle(), "Les commandes de Vistrel 6.2.0 fr");
  EXPECT_EQ(form.RowCount(), 53);
  for (const char* missing : {"acShowVideoPilotDV", "acShowAudioPilotDV", "taDecalage"})
    EXPECT_EQ(rowOf(missing), -1) << missing;
  const int script = rowOf("saScript");
  ASSERT_GT(script, 0);
  EXPECT_EQ(form.Cells(0, script), "Lancer script");
  EXPECT_EQ(form.Cells(2, script), "");
  EXPECT_EQ(form.Cells(3, script), "");
  const int full = rowOf("tafullscreen");
  EXPECT_EQ(form.Cells(1, full), "Alt+Entrée");
  EXPECT_EQ(form.Cells(2, full), "fs");
  EXPECT_EQ(form.Cells(3, full), "full_screen");
  EXPECT_EQ(QStringList({form.Cells(0, 0), form.Cells(1, 0), form.Cells(2, 0), form.Cells(3, 0)}),
            QStringList({"Fonctions", "Touches", "Switches", "Script"}));
  EXPECT_EQ(form.StringGrid1->columnWidth(0), 238);
  EXPECT_EQ(form.StringGrid1->columnWidth(3), 100);
}

TEST_F(ShortcutsWindow, SortsByCaptionByDefault) {
  const QStringList captions = column(0);
  EXPECT_EQ(captions.first(), "Afficher les curseurs");
  EXPECT_EQ(captions[1], "Afficher les raccourcis");
  EXPECT_EQ(captions.last(), "Source Vidéo");
}

TEST_F(ShortcutsWindow, SortingBySwitchOrdersTheSharedSwitchByCaption) {
  form.setSortOrder(2);
  const int format = rowOf("saFormatCapture"), freeze = rowOf("taFreezeCapture");
  EXPECT_EQ(freeze, format + 1);
  EXPECT_EQ(form.Cells(0, format), "Format Capture");
  EXPECT_EQ(form.Cells(0, freeze), "Geler la capture");
  // With no switch, saScript sorts by its caption among the switches.
  const int script = rowOf("saScript");
  EXPECT_EQ(form.Cells(2, script - 1), "kr");
  EXPECT_EQ(form.Cells(2, script + 1), "lf");
}

TEST_F(ShortcutsWindow, SortingByKeyText) {
  form.setSortOrder(1);
  const QStringList keys = column(1);
  const int lastAlt = int(keys.lastIndexOf(QRegularExpression("^Alt\\+.*")));
  const int space = int(keys.indexOf("Barre d'Espace"));
  const int firstCtrl = int(keys.indexOf(QRegularExpression("^Ctrl\\+.*")));
  const int firstF = int(keys.indexOf(QRegularExpression("^F\\d+$")));
  EXPECT_EQ(keys.first().left(4), "Alt+");
  EXPECT_LT(lastAlt, space);
  EXPECT_LT(space, firstCtrl);
  EXPECT_LT(firstCtrl, firstF);
  const int volume = rowOf("acIncVolume") - 1;
  EXPECT_EQ(volume, lastAlt + 1);
  EXPECT_EQ(keys[volume], "");
}

TEST_F(ShortcutsWindow, OutOfRangeSortOrderSortsByCaption) {
  const QStringList byCaption = column(0);
  form.setSortOrder(7);
  EXPECT_EQ(column(0), byCaption);
  form.setSortOrder(-1);
  EXPECT_EQ(column(0), byCaption);
}

TEST_F(ShortcutsWindow, OnlyAHeaderClickChangesTheOrder) {
  QList<int> reported;
  form.OnSortChanged = [&](int order) { reported << order; };
  const QStringList before = column(0);
  form.StringGrid1MouseDown(3, 5);
  form.StringGrid1MouseUp();
  EXPECT_EQ(form.SortOrder(), 0);
  EXPECT_EQ(column(0), before);
  form.StringGrid1MouseDown(3, 0);
  form.StringGrid1MouseUp();
  EXPECT_EQ(form.SortOrder(), 3);
  EXPECT_EQ(reported, QList<int>({3}));
  EXPECT_EQ(column(3).first(), "about_frame");
  // Without a token, saScript sorts by its caption.
  EXPECT_EQ(form.Cells(3, rowOf("saScript") - 1), "kronel");
}

TEST_F(ShortcutsWindow, ClickOnTheHeaderWidgetSorts) {
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QHeaderView* header = form.StringGrid1->horizontalHeader();
  const QPoint switches(header->sectionViewportPosition(2) + 10, header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, switches);
  EXPECT_EQ(form.SortOrder(), 2);
  form.hide();
}

TEST_F(ShortcutsWindow, DoubleClickRunsTheRowsAction) {
  form.StringGrid1MouseDown(0, rowOf("saGrab"));
  form.StringGrid1DblClick();
  EXPECT_EQ(recorder.calls, QStringList({"saGrabexecute"}));
  form.StringGrid1MouseDown(0, 0);
  form.StringGrid1DblClick();
  EXPECT_EQ(recorder.calls.size(), 1);
}

TEST_F(ShortcutsWindow, ToggleShowsAndHidesTheWindow) {
  auto* toggle = al.find<TtoggleAction>("taraccourcis");
  form.move(-300, 40);
  EXPECT_TRUE(toggle->Execute());
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.x(), 0);
  EXPECT_TRUE(toggle->Checked());
  EXPECT_EQ(toggle->Caption(), "Masquer les raccourcis");
  // Double-clicking its own row hides the window.
  form.StringGrid1MouseDown(0, rowOf("taraccourcis"));
  form.StringGrid1DblClick();
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(toggle->Checked());
  EXPECT_EQ(recorder.calls, QStringList({"taraccourcisprepare", "taraccourcisfalseExecute",
                                         "taraccourcisprepare", "taraccourcisTrueExecute"}));
}

TEST_F(ShortcutsWindow, CloseBoxHidesAndTheToggleFollows) {
  auto* toggle = al.find<TtoggleAction>("taraccourcis");
  toggle->Execute();
  ASSERT_TRUE(form.isVisible());
  form.close();
  EXPECT_FALSE(form.isVisible());
  EXPECT_FALSE(toggle->Checked());
  EXPECT_EQ(toggle->Caption(), "Afficher les raccourcis");
  // Shown again by the toggle: the window was not destroyed.
  toggle->Execute();
  EXPECT_TRUE(form.isVisible());
  form.hide();
}

TEST_F(ShortcutsWindow, AListWithoutCaptionedActionsGivesTheHeaderOnly) {
  TActionList empty;
  new TSuperAction(&empty, "noCaption");
  form.Fill(&empty);
  EXPECT_EQ(form.RowCount(), 1);
  form.Fill(nullptr);
  EXPECT_EQ(form.RowCount(), 1);
}

}  // namespace
}  // namespace vistrel::actions
