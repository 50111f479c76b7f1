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
#include <optional>
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
  // For the program's own dialogs (the exit dialog's "normal", "portable", "aucun", "fermer"):
  // nullopt when answers are not scripted, so the dialog is shown; otherwise the next scripted
  // word when it is one of `accepted`, or an empty text (the dialog's safest choice) when it is
  // not or the list is exhausted.
  virtual std::optional<QString> scriptedChoice(const QString&, const QStringList&) { return std::nullopt; }
};

// Answers from a list of words, records every question, and (when `log` is set) writes each one
// on standard error as "message-box: <kind> | <text with CR LF as \n> | <answer>". The words
// oui, non, tous and ok answer message boxes; other words answer the program's own dialogs.
class ScriptedMessageBoxes : public MessageBoxService {
 public:
  explicit ScriptedMessageBoxes(std::vector<Answer> answers = {}, bool log = false);
  // Splits "oui,non,Normal" into lower-case words (spaces and empty entries ignored).
  static QStringList parseWords(const QString& list);
  // The message-box answers among the words; other words are skipped with a warning.
  static std::vector<Answer> parseAnswers(const QString& list);

  Answer ask(MessageKind kind, const QString& text, Buttons buttons, const QString& caption) override;
  std::optional<QString> scriptedChoice(const QString& question, const QStringList& accepted) override;
  void addAnswers(const std::vector<Answer>& answers);
  void addWords(const QStringList& words);
  const std::vector<Question>& asked() const { return asked_; }
  void clearAsked() { asked_.clear(); }

 private:
  std::deque<QString> words_;
  std::vector<Question> asked_;
  bool log_;
};

// Shows the question through the installed service (the default one when none is installed).
Answer showMessage(MessageKind kind, const QString& text, Buttons buttons = Buttons::Ok,
                   const QString& caption = {});
// The installed service's scriptedChoice.
std::optional<QString> scriptedChoice(const QString& question, const QStringList& accepted);
// Installs a service and returns it (raw pointer kept valid until replaced); nullptr restores
// the default.
MessageBoxService* setMessageBoxService(std::unique_ptr<MessageBoxService> service);

}  // namespace vistrel::platform::ui
