#pragma once
// Keyboard shortcuts of the main window. A key press is offered to the window's action lists in
// the order they were created (the main list first): within a list the first action, in list
// order, whose primary or one of whose secondary shortcuts equals the key gets an interactive
// execution; when that reports the call handled the key is consumed, otherwise the next list is
// asked. Only the first matching action of a list is tried.
//
// Qt's own shortcut system cannot give this (it refuses keys that two actions share and has no
// "not handled, ask the next list"), so the actions register no Qt shortcut and keys come here:
// install a TKeyDispatcher on the QWindow of each window whose keys run the commands
// (window->windowHandle(), once the window exists), so that it sees every key press once, before
// the focused control; a window that forwards keys (the full-screen plate) calls handleKey.
// User-interface thread only.

#include <QKeyEvent>
#include <QList>
#include <QObject>
#include <QPointer>

#include "actions/ActionList.h"

namespace vistrel::actions {

// True when an action handled the key. An exception of a handler is logged and counts as handled.
bool dispatchKey(const QList<TActionList*>& lists, QKeyCombination key);

class TKeyDispatcher : public QObject {
  Q_OBJECT
 public:
  explicit TKeyDispatcher(QObject* parent = nullptr) : QObject(parent) {}

  // The lists, in dispatch order.
  void setLists(const QList<TActionList*>& lists);
  void addList(TActionList* list);

  // Offers a key press to the lists; accepts the event and returns true when it was consumed.
  bool handleKey(QKeyEvent* event);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QList<QPointer<TActionList>> lists_;
};

}  // namespace vistrel::actions
