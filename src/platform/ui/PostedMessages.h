#pragma once
// Window messages posted from any thread to a window, delivered in order on the thread that owns
// the window (the user-interface thread). Windows are known by a handle so that a poster never
// touches a window that has gone: posting to an unregistered handle is silently dropped.

#include <QEvent>
#include <QObject>
#include <cstdint>

namespace vistrel::platform::ui {

constexpr uint32_t WM_USER = 0x0400;

using WindowHandle = uint64_t;  // 0 is no window

class WindowMessageEvent : public QEvent {
 public:
  WindowMessageEvent(uint32_t message, intptr_t wParam, intptr_t lParam);
  static QEvent::Type eventType();
  uint32_t message() const { return message_; }
  intptr_t wParam() const { return wParam_; }
  intptr_t lParam() const { return lParam_; }

 private:
  uint32_t message_;
  intptr_t wParam_;
  intptr_t lParam_;
};

// Call on the window's thread. The window receives WindowMessageEvent through QObject::event.
WindowHandle registerWindow(QObject* window);
void unregisterWindow(WindowHandle handle);
// Any thread; never blocks on the receiver. False when the handle is not registered.
bool postMessage(WindowHandle handle, uint32_t message, intptr_t wParam, intptr_t lParam);

}  // namespace vistrel::platform::ui
