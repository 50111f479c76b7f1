#include "platform/ui/PostedMessages.h"

#include <QCoreApplication>
#include <QPointer>
#include <mutex>
#include <unordered_map>

namespace vistrel::platform::ui {
namespace {

std::mutex registryMutex;
std::unordered_map<WindowHandle, QObject*> windows;
WindowHandle nextHandle = 1;

}  // namespace

WindowMessageEvent::WindowMessageEvent(uint32_t message, intptr_t wParam, intptr_t lParam)
    : QEvent(eventType()), message_(message), wParam_(wParam), lParam_(lParam) {}

QEvent::Type WindowMessageEvent::eventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

WindowHandle registerWindow(QObject* window) {
  if (!window) return 0;
  std::lock_guard lock(registryMutex);
  const WindowHandle handle = nextHandle++;
  windows.emplace(handle, window);
  return handle;
}

void unregisterWindow(WindowHandle handle) {
  std::lock_guard lock(registryMutex);
  windows.erase(handle);
}

bool postMessage(WindowHandle handle, uint32_t message, intptr_t wParam, intptr_t lParam) {
  // The lock keeps the window alive against a concurrent unregisterWindow; postEvent itself only
  // queues, so the poster never waits for the receiver.
  std::lock_guard lock(registryMutex);
  const auto it = windows.find(handle);
  if (it == windows.end()) return false;
  QCoreApplication::postEvent(it->second, new WindowMessageEvent(message, wParam, lParam));
  return true;
}

}  // namespace vistrel::platform::ui
