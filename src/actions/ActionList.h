#pragma once
// The plain actions of the program's windows and the lists that hold them.
//
// TCustomAction is a QAction whose caption, hint, shortcuts and checked state are kept exactly
// (hints with their CR LF line breaks) and mirrored onto the QAction for menus and tool buttons.
// Its shortcuts are not registered with Qt's shortcut system: keys reach actions only through
// dispatchKey (KeyDispatch.h), which asks the lists in order. Triggering the QAction (a click on a
// menu item or a tool button showing it) runs the interactive execution, Execute().
//
// TActionList owns its actions in creation order, which decides lookups and key dispatch, and
// refers to the image list whose indexes the actions name. User-interface thread only.

#include <QAction>
#include <QIcon>
#include <QKeyCombination>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

#include "actions/ShortCuts.h"

namespace vistrel::actions {

// Every action handler: Sender is the action for an interactive execution, the command processor
// for a parsed command.
using THandler = std::function<void(QObject* sender)>;
using TImageList = QList<QIcon>;

class TActionList;

class TCustomAction : public QAction {
  Q_OBJECT
 public:
  // Appended to `list` when one is given (the list then owns the action).
  explicit TCustomAction(TActionList* list = nullptr, const QString& name = {});
  ~TCustomAction() override;

  QString Name() const { return objectName(); }
  TActionList* ActionList() const { return list_; }

  const QString& Category() const { return category_; }
  void setCategory(const QString& category) { category_ = category; }
  const QString& Caption() const { return caption_; }
  void setCaption(const QString& caption);
  const QString& Hint() const { return hint_; }
  void setHint(const QString& hint);

  QKeyCombination ShortCut() const { return shortCut_; }
  void setShortCut(QKeyCombination key) { shortCut_ = key; }
  const QList<QKeyCombination>& SecondaryShortCuts() const { return secondary_; }
  void setSecondaryShortCuts(const QList<QKeyCombination>& keys) { secondary_ = keys; }
  // Adds the key written as `text` ("CTRL+G"); false when the text names no key.
  bool addSecondaryShortCut(const QString& text);
  // The primary or one of the secondary shortcuts equals the key.
  bool hasShortCut(QKeyCombination key) const;

  bool Visible() const { return isVisible(); }
  bool Enabled() const { return isEnabled(); }
  bool AutoCheck() const { return autoCheck_; }
  void setAutoCheck(bool autoCheck) { autoCheck_ = autoCheck; }
  bool Checked() const { return checked_; }
  // The plain state setter: only the checked flag changes.
  void setCheckedState(bool checked);

  // Interactive execution; true when the call was handled. The base runs nothing.
  virtual bool Execute() { return false; }

 protected:
  // The list's image list was replaced.
  virtual void imagesChanged() {}

 private:
  void triggeredByUser();
  void mirrorChecked();
  friend class TActionList;

  TActionList* list_ = nullptr;
  QString category_, caption_, hint_;
  QKeyCombination shortCut_ = kNoKey;
  QList<QKeyCombination> secondary_;
  bool autoCheck_ = false;
  bool checked_ = false;
};

class TActionList : public QObject {
  Q_OBJECT
 public:
  explicit TActionList(QObject* parent = nullptr);
  ~TActionList() override;

  int Count() const { return int(actions_.size()); }
  TCustomAction* Actions(int index) const { return actions_.value(index); }
  const QList<TCustomAction*>& actions() const { return actions_; }
  // The first action of that name, or none.
  TCustomAction* find(const QString& name) const;
  template <class T>
  T* find(const QString& name) const {
    return qobject_cast<T*>(find(name));
  }

  // The image list the actions' image indexes refer to (not owned; may be none).
  const TImageList* Images() const { return images_; }
  void setImages(const TImageList* images);
  QIcon icon(int index) const;

  // Takes ownership and appends.
  void add(TCustomAction* action);

 private:
  friend class TCustomAction;
  void remove(TCustomAction* action);
  QList<TCustomAction*> actions_;
  const TImageList* images_ = nullptr;
};

}  // namespace vistrel::actions
