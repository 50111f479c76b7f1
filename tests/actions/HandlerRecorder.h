#pragma once
// Handlers for the main window's actions that record their calls: each call appends the handler's
// name, and "sender:<object name or class>" tells who called. Extra behaviour per handler name
// (marking the action checked as the real handlers do, throwing, closing a window) is added with
// `on`.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <ostream>

#include "actions/MainActions.h"

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace vistrel::testing {

struct HandlerRecorder {
  QStringList calls;
  QList<QObject*> senders;
  QStringList args;  // ActionArg0 at each call
  std::map<QString, std::function<void(QObject*)>> extra;

  void on(const QString& name, std::function<void(QObject*)> behaviour) {
    extra[name] = std::move(behaviour);
  }

  actions::THandlerLookup lookup() {
    return [this](const QString& name) -> actions::THandler {
      return [this, name](QObject* sender) {
        calls.append(name);
        senders.append(sender);
        args.append(actions::ActionArg0());
        auto it = extra.find(name);
        if (it != extra.end()) it->second(sender);
      };
    };
  }
};

// The main window's handlers that mark their toggle themselves: the false-state handler switches
// the feature on and checks the toggle, the true-state handler unchecks it.
inline void markTogglesLikeTheWindow(HandlerRecorder& recorder, actions::TActionList& al,
                                     const QStringList& toggles) {
  for (const QString& name : toggles) {
    recorder.on(name + "falseExecute",
                [&al, name](QObject*) { al.find<actions::TCustomSuperAction>(name)->SetChecked(true); });
    recorder.on(name + "TrueExecute",
                [&al, name](QObject*) { al.find<actions::TCustomSuperAction>(name)->SetChecked(false); });
  }
}

}  // namespace vistrel::testing
