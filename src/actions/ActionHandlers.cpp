#include "actions/ActionHandlers.h"

#include <QFileDialog>
#include <QPointer>
#include <QtDebug>
#include <exception>

namespace vistrel::actions {

THandler makeArgumentPrepare(std::function<QString()> currentText) {
  return [currentText = std::move(currentText)](QObject*) {
    ActionProceed = true;
    ActionArgs.append(currentText ? currentText() : QString());
  };
}

TFileChooser commandFileDialog(QWidget* parent) {
  QPointer<QWidget> owner(parent);
  return [owner]() {
    return QFileDialog::getOpenFileName(owner, QString(), QString(), QStringLiteral("*.txt (*.txt)"));
  };
}

THandler makeScriptPrepare(TFileChooser choose) {
  return [choose = std::move(choose)](QObject*) {
    ActionProceed = false;
    try {
      const QString path = choose ? choose() : QString();
      if (path.isEmpty()) return;
      ActionArgs.clear();
      ActionArgs.append(path);
      ActionProceed = true;
    } catch (const std::exception& e) {
      qWarning("choosing a command file failed: %s", e.what());
    } catch (...) {
      qWarning("choosing a command file failed");
    }
  };
}

THandler makeScriptExecute(TScript& script) {
  QPointer<TScript> target(&script);
  return [target](QObject*) {
    const QString path = ActionArg0();
    if (target && !path.isEmpty()) target->RunCommandFile(path);
  };
}

}  // namespace vistrel::actions
