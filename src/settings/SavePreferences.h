#pragma once
// The store modes of the settings and the program-wide current store mode.

#include <cstdint>

namespace vistrel::settings {

// Where the user's settings are kept.
enum TSavePreferences : uint8_t { spRegistre = 0, spPortable = 1, spNone = 2 };

// The program's current store mode, used by the parameter list when it loads and saves. The main
// window copies the preferences component's mode into it whenever that mode changes. Main thread.
TSavePreferences currentStoreMode();
void setCurrentStoreMode(TSavePreferences mode);

// A rectangle as the component stores keep it.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  friend bool operator==(const TRect&, const TRect&) = default;
};

}  // namespace vistrel::settings
