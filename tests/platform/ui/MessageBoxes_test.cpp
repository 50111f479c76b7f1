#include "platform/ui/MessageBoxes.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

using namespace vistrel::platform::ui;

namespace {

TEST(ScriptedMessageBoxes, AnswersInOrderThenTheSafestButton) {
  ScriptedMessageBoxes boxes({Answer::Yes, Answer::All});
  EXPECT_EQ(boxes.ask(MessageKind::Confirmation, "a", Buttons::YesNo, {}), Answer::Yes);
  EXPECT_EQ(boxes.ask(MessageKind::Confirmation, "b", Buttons::YesNoAll, {}), Answer::All);
  EXPECT_EQ(boxes.ask(MessageKind::Confirmation, "c", Buttons::YesNoAll, {}), Answer::No);
  EXPECT_EQ(boxes.ask(MessageKind::Error, "d", Buttons::Ok, {}), Answer::Ok);
  ASSERT_EQ(boxes.asked().size(), 4u);
  EXPECT_EQ(boxes.asked()[1].text, QStringLiteral("b"));
  EXPECT_EQ(boxes.asked()[3].kind, MessageKind::Error);
}

TEST(ScriptedMessageBoxes, AnAnswerThatIsNotOfferedGivesTheSafestButton) {
  ScriptedMessageBoxes boxes({Answer::All, Answer::Yes});
  EXPECT_EQ(boxes.ask(MessageKind::Confirmation, "x", Buttons::YesNo, {}), Answer::No);
  EXPECT_EQ(boxes.ask(MessageKind::Information, "y", Buttons::Ok, {}), Answer::Ok);
}

TEST(ScriptedMessageBoxes, ParsesTheAnswerList) {
  EXPECT_EQ(ScriptedMessageBoxes::parseAnswers(QStringLiteral(" Oui,non ,,TOUS,ok,peut-être")),
            (std::vector<Answer>{Answer::Yes, Answer::No, Answer::All, Answer::Ok}));
  EXPECT_TRUE(ScriptedMessageBoxes::parseAnswers(QString()).empty());
}

TEST(ScriptedMessageBoxes, TheEnvironmentListAnswersAndLogsOnStandardError) {
  qputenv("VISTREL_ANSWERS", "non");
  setMessageBoxService(nullptr);  // the next question builds the default service from the variable
  ::testing::internal::CaptureStderr();
  const Answer answer = showMessage(MessageKind::Confirmation,
                                    QStringLiteral("Écraser ?\r\nLe fichier existe"), Buttons::YesNo);
  const Answer second = showMessage(MessageKind::Confirmation, QStringLiteral("Encore ?"), Buttons::YesNo);
  const std::string log = ::testing::internal::GetCapturedStderr();
  qunsetenv("VISTREL_ANSWERS");
  setMessageBoxService(nullptr);
  EXPECT_EQ(answer, Answer::No);
  EXPECT_EQ(second, Answer::No);
  EXPECT_NE(log.find("message-box: confirmation | Écraser ?\\nLe fichier existe | non\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find("Encore ? | non (no answer left: safest button)"), std::string::npos) << log;
}

TEST(ScriptedMessageBoxes, DialogsTakeTheirWordsFromTheSameList) {
  ScriptedMessageBoxes boxes;
  boxes.addWords(ScriptedMessageBoxes::parseWords(QStringLiteral("oui, Normal,ok")));
  const QStringList exitChoices{"normal", "portable", "aucun", "fermer"};
  EXPECT_EQ(boxes.ask(MessageKind::Confirmation, "q", Buttons::YesNo, {}), Answer::Yes);
  EXPECT_EQ(boxes.scriptedChoice("exit", exitChoices), QStringLiteral("normal"));
  EXPECT_EQ(boxes.scriptedChoice("exit", exitChoices), QString());  // "ok" is no exit choice
  EXPECT_EQ(boxes.scriptedChoice("exit", exitChoices), QString());  // exhausted
  // The Qt service shows its dialogs: nothing is scripted.
  setMessageBoxService(nullptr);
  qunsetenv("VISTREL_ANSWERS");
  EXPECT_FALSE(scriptedChoice("exit", exitChoices).has_value());
}

TEST(QtMessageBoxes, ShowsFrenchButtonsAndReturnsTheOneClicked) {
  qunsetenv("VISTREL_ANSWERS");
  setMessageBoxService(nullptr);
  QStringList captions;
  QTimer::singleShot(0, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box) continue;
      for (QAbstractButton* b : box->buttons()) captions << b->text();
      for (QAbstractButton* b : box->buttons())
        if (b->text() == QLatin1String("Tous")) b->click();
    }
  });
  EXPECT_EQ(showMessage(MessageKind::Warning, QStringLiteral("Question"), Buttons::YesNoAll), Answer::All);
  captions.sort();  // the order on screen follows the desktop's button layout
  EXPECT_EQ(captions, (QStringList{"Non", "Oui", "Tous"}));
}

}  // namespace
