#pragma once
// Keeps the screen saver away while Vistrel previews or records, through the freedesktop
// screen-saver inhibition on the session bus. Without a session bus it does nothing.

#include <QString>
#include <cstdint>

namespace vistrel::platform::shell {

class ScreenSaverInhibitor {
 public:
  ~ScreenSaverInhibitor() { release(); }
  // True when the desktop's screen saver was active (reachable) and is now inhibited.
  bool inhibit(const QString& reason);
  void release();
  bool inhibited() const { return cookie_ != 0; }

 private:
  uint32_t cookie_ = 0;
};

}  // namespace vistrel::platform::shell
