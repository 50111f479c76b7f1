#include "actions/OBSwitch.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QtDebug>
#include <exception>

#include "actions/SwitchArgument.h"

namespace vistrel::actions {

TOBSwitch::TOBSwitch(QWidget* mainWindow, QObject* parent)
    : TOBSwitchRegistry(parent), mainWindow_(mainWindow) {
  arguments_ = QCoreApplication::arguments().mid(1);
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    activation_ =
        connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
          if (state == Qt::ApplicationActive) AppActivate();
        });
}

TCustomAbstractAction* TOBSwitch::FindAction(const QString& name) {
  if (RegisteredCount() == 0) return nullptr;
  const QString n = name.toLower();
  if (n.isEmpty()) return defaultAction_;
  if (n == u"quit") {
    quit_ = true;
    return nullptr;
  }
  if (TCustomAbstractAction* found = FindRegistered(n)) return found;
  return defaultAction_;
}

bool TOBSwitch::ParseArgument(const QString& argument) {
  const SwitchArgument parsed = SplitSwitchArgument(argument);
  TCustomAbstractAction* action = FindAction(parsed.Name);
  if (!action) return false;
  commands_.push_back({action, parsed.Mode, parsed.Value});
  return true;
}

void TOBSwitch::ExecuteCommands() {
  if (commands_.empty()) return;
  const std::vector<TOBActionEx> list = std::move(commands_);
  commands_.clear();
  ++executing_;
  size_t index = 0;
  try {
    for (; index < list.size(); ++index) {
      const TOBActionEx& item = list[index];
      QCoreApplication::processEvents();
      if (!item.Action || !item.Action->Enabled()) continue;
      ApplyCommand(*item.Action, item.Mode, item.Value);
      QCoreApplication::processEvents();
    }
  } catch (const std::exception& e) {
    qWarning("switch command %zu failed: %s", index + 1, e.what());
  } catch (...) {
    qWarning("switch command %zu failed", index + 1);
  }
  if (quit_ && mainWindow_) mainWindow_->close();
  --executing_;
}

void TOBSwitch::AppActivate() {
  if (!armed_) return;
  armed_ = false;
  disconnect(activation_);
  if (OnActivate) OnActivate(this);
  ClearCommands();
  for (const QString& argument : arguments_) ParseArgument(argument);
  if (!commands_.empty())
    ExecuteCommands();
  else if (OnNoCommandLine)
    OnNoCommandLine(nullptr);
  ClearCommands();
}

}  // namespace vistrel::actions
