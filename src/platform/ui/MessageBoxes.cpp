#include "platform/ui/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>
#include <mutex>

namespace vistrel::platform::ui {
namespace {

QString displayName() {
  const QString name = QCoreApplication::applicationName();
  return name.isEmpty() ? QStringLiteral("Vistrel") : name;
}

// Shows a real dialog; without a widget application (a command-line run) it answers safely.
class QtMessageBoxes : public MessageBoxService {
 public:
  Answer ask(MessageKind kind, const QString& text, Buttons buttons, const QString& caption) override {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
      const Answer answer = safestAnswer(buttons);
      std::fprintf(stderr, "message-box: %s | %s | %s (no window system)\n", qPrintable(kindName(kind)),
                   qPrintable(text), qPrintable(answerName(answer)));
      return answer;
    }
    QMessageBox box;
    box.setWindowTitle(caption.isEmpty() ? displayName() : caption);
    box.setText(text);
    switch (kind) {
      case MessageKind::Information: box.setIcon(QMessageBox::Information); break;
      case MessageKind::Warning: box.setIcon(QMessageBox::Warning); break;
      case MessageKind::Error: box.setIcon(QMessageBox::Critical); break;
      case MessageKind::Confirmation: box.setIcon(QMessageBox::Question); break;
    }
    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;
    QPushButton* all = nullptr;
    QPushButton* ok = nullptr;
    if (buttons == Buttons::Ok) {
      ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    } else {
      yes = box.addButton(QStringLiteral("Oui"), QMessageBox::YesRole);
      no = box.addButton(QStringLiteral("Non"), QMessageBox::NoRole);
      if (buttons == Buttons::YesNoAll) all = box.addButton(QStringLiteral("Tous"), QMessageBox::YesRole);
      box.setDefaultButton(yes);
      box.setEscapeButton(no);
    }
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (clicked && clicked == yes) return Answer::Yes;
    if (clicked && clicked == all) return Answer::All;
    if (clicked && clicked == ok) return Answer::Ok;
    return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
  }
};

bool offered(Answer answer, Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok: return answer == Answer::Ok;
    case Buttons::YesNo: return answer == Answer::Yes || answer == Answer::No;
    case Buttons::YesNoAll: return answer != Answer::Ok;
  }
  return false;
}

std::mutex serviceMutex;
std::unique_ptr<MessageBoxService> installed;

MessageBoxService& service() {
  std::lock_guard lock(serviceMutex);
  if (!installed) {
    if (qEnvironmentVariableIsSet("VISTREL_ANSWERS")) {
      auto scripted = std::make_unique<ScriptedMessageBoxes>(std::vector<Answer>{}, true);
      scripted->addWords(ScriptedMessageBoxes::parseWords(qEnvironmentVariable("VISTREL_ANSWERS")));
      installed = std::move(scripted);
    } else
      installed = std::make_unique<QtMessageBoxes>();
  }
  return *installed;
}

}  // namespace

QString kindName(MessageKind kind) {
  switch (kind) {
    case MessageKind::Information: return QStringLiteral("information");
    case MessageKind::Warning: return QStringLiteral("warning");
    case MessageKind::Error: return QStringLiteral("error");
    case MessageKind::Confirmation: return QStringLiteral("confirmation");
  }
  return {};
}

QString answerName(Answer answer) {
  switch (answer) {
    case Answer::Ok: return QStringLiteral("ok");
    case Answer::Yes: return QStringLiteral("oui");
    case Answer::No: return QStringLiteral("non");
    case Answer::All: return QStringLiteral("tous");
  }
  return {};
}

Answer safestAnswer(Buttons buttons) { return buttons == Buttons::Ok ? Answer::Ok : Answer::No; }

namespace {

std::optional<Answer> answerOfWord(const QString& word) {
  if (word == QLatin1String("oui")) return Answer::Yes;
  if (word == QLatin1String("non")) return Answer::No;
  if (word == QLatin1String("tous")) return Answer::All;
  if (word == QLatin1String("ok")) return Answer::Ok;
  return std::nullopt;
}

void logLine(const QString& line) {
  std::fprintf(stderr, "%s\n", qPrintable(line));
  std::fflush(stderr);
}

}  // namespace

ScriptedMessageBoxes::ScriptedMessageBoxes(std::vector<Answer> answers, bool log) : log_(log) {
  addAnswers(answers);
}

QStringList ScriptedMessageBoxes::parseWords(const QString& list) {
  QStringList words;
  for (const QString& raw : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    const QString word = raw.trimmed().toLower();
    if (!word.isEmpty()) words << word;
  }
  return words;
}

std::vector<Answer> ScriptedMessageBoxes::parseAnswers(const QString& list) {
  std::vector<Answer> answers;
  for (const QString& word : parseWords(list)) {
    if (const auto answer = answerOfWord(word))
      answers.push_back(*answer);
    else
      std::fprintf(stderr, "vistrel: warning: VISTREL_ANSWERS: unknown answer \"%s\" skipped\n",
                   qPrintable(word));
  }
  return answers;
}

void ScriptedMessageBoxes::addAnswers(const std::vector<Answer>& answers) {
  for (Answer a : answers) words_.push_back(answerName(a));
}

void ScriptedMessageBoxes::addWords(const QStringList& words) {
  for (const QString& w : words) words_.push_back(w);
}

Answer ScriptedMessageBoxes::ask(MessageKind kind, const QString& text, Buttons buttons, const QString&) {
  Answer answer = safestAnswer(buttons);
  QString note;
  if (words_.empty()) {
    note = QStringLiteral(" (no answer left: safest button)");
  } else {
    const QString word = words_.front();
    words_.pop_front();
    const auto next = answerOfWord(word);
    if (next && offered(*next, buttons))
      answer = *next;
    else
      note = QStringLiteral(" (answer %1 not offered: safest button)").arg(word);
  }
  asked_.push_back(Question{kind, text, buttons, answer});
  if (log_) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"))
        .replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    logLine(
        QStringLiteral("message-box: %1 | %2 | %3%4").arg(kindName(kind), shown, answerName(answer), note));
  }
  return answer;
}

std::optional<QString> ScriptedMessageBoxes::scriptedChoice(const QString& question,
                                                            const QStringList& accepted) {
  QString choice;
  QString note;
  if (words_.empty()) {
    note = QStringLiteral(" (no answer left: safest choice)");
  } else {
    const QString word = words_.front();
    words_.pop_front();
    if (accepted.contains(word))
      choice = word;
    else
      note = QStringLiteral(" (answer %1 not offered: safest choice)").arg(word);
  }
  if (log_) logLine(QStringLiteral("dialog: %1 | %2%3").arg(question, choice, note));
  return choice;
}

Answer showMessage(MessageKind kind, const QString& text, Buttons buttons, const QString& caption) {
  return service().ask(kind, text, buttons, caption);
}

std::optional<QString> scriptedChoice(const QString& question, const QStringList& accepted) {
  return service().scriptedChoice(question, accepted);
}

MessageBoxService* setMessageBoxService(std::unique_ptr<MessageBoxService> replacement) {
  std::lock_guard lock(serviceMutex);
  installed = std::move(replacement);
  return installed.get();
}

}  // namespace vistrel::platform::ui
