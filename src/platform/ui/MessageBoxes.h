#pragma once
// The one service through which the program asks questions and gives messages.
//
// The default service shows a QMessageBox with French button captions ("Oui", "Non", "Tous",
// "OK"). When VISTREL_ANSWERS is set (a comma-separated list of oui, non, tous, ok) the answers
// are taken from it in order and each question is logged on standard error as one line; once the
// list is exhausted every question gets its safest answer (No, else OK). Tests install a
// ScriptedMessageBoxes, which also records what was asked. Call from the user-interface thread.

#include <QString>
#include <QStringList>
#include <deque>
#include <memory>
#include <vector>

namespace vistrel::platform::ui {

enum class MessageKind { Information, Warning, Error, Confirmation };
enum class Buttons { Ok, YesNo, YesNoAll };
enum class Answer { Ok, Yes, No, All };

QString kindName(MessageKind kind);
QString answerName(Answer answer);
// The answer a question gets when nobody can be asked: No where offered, else OK.
Answer safestAnswer(Buttons buttons);

struct Question {
  MessageKind kind;
  QString text;
  Buttons buttons;
  Answer answer;
};

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;
  virtual Answer ask(MessageKind kind, const QString& text, Buttons buttons, const QString& caption) = 0;
};

// Answers from a list, records every question, and (when `log` is set) writes each one on
// standard error as "message-box: <kind> | <text with CR LF as \n> | <answer>".
class ScriptedMessageBoxes : public MessageBoxService {
 public:
  explicit ScriptedMessageBoxes(std::vector<Answer> answers = {}, bool log = false);
  // Parses "oui,non,tous,ok" (case-insensitive, spaces ignored); unknown words are skipped
  // with a warning.
  static std::vector<Answer> parseAnswers(const QString& list);

  Answer ask(MessageKind kind, const QString& text, Buttons buttons, const QString& caption) override;
  void addAnswers(const std::vector<Answer>& answers);
  const std::vector<Question>& asked() const { return asked_; }
  void clearAsked() { asked_.clear(); }

 private:
  std::deque<Answer> answers_;
  std::vector<Question> asked_;
  bool log_;
};

// Shows the question through the installed service (the default one when none is installed).
Answer showMessage(MessageKind kind, const QString& text, Buttons buttons = Buttons::Ok,
                   const QString& caption = {});
// Installs a service and returns it (raw pointer kept valid until replaced); nullptr restores
// the default.
MessageBoxService* setMessageBoxService(std::unique_ptr<MessageBoxService> service);

}  // namespace vistrel::platform::ui
