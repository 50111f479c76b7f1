#pragma once
// Keeps the screen saver away while Vistrel previews or records, through the freedesktop
// screen-saver inhibition on the session bus. Without a session bus it does nothing.
//
// Under a redirected root (VISTREL_ROOT: tests, portable runs) the session's desktop is not the
// run's to change: a stand-in screen saver of the process takes its place, active unless set
// otherwise. User-interface thread.

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
  bool standIn_ = false;  // the cookie is the stand-in's
};

// The stand-in used under a redirected root: whether it is active (an inactive one cannot be
// inhibited), and how many inhibitions hold it now.
void setStandInScreenSaverActive(bool active);
int standInScreenSaverInhibitions();

}  // namespace vistrel::platform::shell
