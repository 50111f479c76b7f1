#include "actions/KeyDispatch.h"

#include <QtDebug>
#include <exception>

namespace vistrel::actions {

bool dispatchKey(const QList<TActionList*>& lists, QKeyCombination key) {
  if (isNoKey(key)) return false;
  // A key that is only a modifier press is no shortcut.
  switch (key.key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R: return false;
    default: break;
  }
  for (TActionList* list : lists) {
    if (!list) continue;
    for (TCustomAction* action : list->actions()) {
      if (!action->hasShortCut(key)) continue;
      QPointer<TCustomAction> guard(action);
      try {
        if (action->Execute()) return true;
      } catch (const std::exception& e) {
        qWarning("action %s failed: %s", qPrintable(guard ? guard->objectName() : QString()), e.what());
        return true;
      } catch (...) {
        qWarning("action %s failed", qPrintable(guard ? guard->objectName() : QString()));
        return true;
      }
      break;  // only the first match of a list is asked
    }
  }
  return false;
}

void TKeyDispatcher::setLists(const QList<TActionList*>& lists) {
  lists_.clear();
  for (TActionList* list : lists) lists_.append(list);
}

void TKeyDispatcher::addList(TActionList* list) { lists_.append(list); }

bool TKeyDispatcher::handleKey(QKeyEvent* event) {
  if (!event || event->type() != QEvent::KeyPress) return false;
  QList<TActionList*> lists;
  for (const QPointer<TActionList>& list : lists_)
    if (list) lists.append(list.data());
  if (!dispatchKey(lists, event->keyCombination())) return false;
  event->accept();
  return true;
}

bool TKeyDispatcher::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && handleKey(static_cast<QKeyEvent*>(event))) return true;
  return QObject::eventFilter(watched, event);
}

}  // namespace vistrel::actions
