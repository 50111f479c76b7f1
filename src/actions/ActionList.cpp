#include "actions/ActionList.h"

#include <QtDebug>
#include <exception>

namespace vistrel::actions {
namespace {

// Tool tips and status tips show LF as a line break; a CR would show as a box.
QString displayedHint(const QString& hint) {
  QString shown = hint;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

}  // namespace

TCustomAction::TCustomAction(TActionList* list, const QString& name) : QAction(nullptr) {
  setObjectName(name);
  // A click on a menu item or tool button inverts a checkable QAction before it reports the
  // trigger; the action's own state decides, so the mirror is restored first.
  connect(this, &QAction::triggered, this, &TCustomAction::triggeredByUser);
  if (list) list->add(this);
}

TCustomAction::~TCustomAction() {
  if (list_) list_->remove(this);
}

void TCustomAction::setCaption(const QString& caption) {
  caption_ = caption;
  setText(caption);
}

void TCustomAction::setHint(const QString& hint) {
  hint_ = hint;
  setToolTip(displayedHint(hint));
  setStatusTip(displayedHint(hint));
}

bool TCustomAction::addSecondaryShortCut(const QString& text) {
  const QKeyCombination key = TextToShortCut(text);
  if (isNoKey(key)) return false;
  secondary_.append(key);
  return true;
}

bool TCustomAction::hasShortCut(QKeyCombination key) const {
  const QKeyCombination pressed = normalizeKey(key);
  if (isNoKey(pressed)) return false;
  if (!isNoKey(shortCut_) && normalizeKey(shortCut_) == pressed) return true;
  for (QKeyCombination k : secondary_)
    if (!isNoKey(k) && normalizeKey(k) == pressed) return true;
  return false;
}

void TCustomAction::setCheckedState(bool checked) {
  checked_ = checked;
  mirrorChecked();
}

void TCustomAction::mirrorChecked() {
  // Only a checked action shows a check mark or a pressed button.
  if (checked_) {
    setCheckable(true);
    QAction::setChecked(true);
  } else {
    QAction::setChecked(false);
    setCheckable(false);
  }
}

void TCustomAction::triggeredByUser() {
  mirrorChecked();
  try {
    Execute();
  } catch (const std::exception& e) {
    qWarning("action %s failed: %s", qPrintable(objectName()), e.what());
  } catch (...) {
    qWarning("action %s failed", qPrintable(objectName()));
  }
}

TActionList::TActionList(QObject* parent) : QObject(parent) {}

TActionList::~TActionList() {
  // Children are deleted by QObject after this body; they must not call back into a dying list.
  for (TCustomAction* action : actions_) action->list_ = nullptr;
  const QList<TCustomAction*> owned = actions_;
  actions_.clear();
  qDeleteAll(owned);
}

TCustomAction* TActionList::find(const QString& name) const {
  for (TCustomAction* action : actions_)
    if (action->objectName() == name) return action;
  return nullptr;
}

void TActionList::setImages(const TImageList* images) {
  images_ = images;
  for (TCustomAction* action : actions_) action->imagesChanged();
}

QIcon TActionList::icon(int index) const {
  if (!images_ || index < 0 || index >= images_->size()) return {};
  return images_->at(index);
}

void TActionList::add(TCustomAction* action) {
  if (!action || action->list_ == this) return;
  if (action->list_) action->list_->remove(action);
  action->list_ = this;
  action->setParent(this);
  actions_.append(action);
  action->imagesChanged();
}

void TActionList::remove(TCustomAction* action) {
  actions_.removeAll(action);
  action->list_ = nullptr;
}

}  // namespace vistrel::actions
