// Every test program starts here: Qt on its offscreen platform, and the whole process inside a
// temporary VISTREL_ROOT with no virtual devices unless a test chooses some, so that no test can
// reach the user's real home, registry, trash, devices or screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "support/TempRoot.h"

// Qt's libraries are not built with ThreadSanitizer: the locks of its own worker threads (the
// pool it spreads image scaling over while painting) are invisible to it, so the memory those
// threads hand over looks raced. What Qt does inside itself is left out; our accesses to the same
// memory are still checked. Used only by a thread-sanitized build.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n";
}

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir root;
  qputenv("VISTREL_ROOT", root.path().toLocal8Bit());
  if (qEnvironmentVariableIsEmpty("VISTREL_DEVICES")) qputenv("VISTREL_DEVICES", "none");
  qunsetenv("VISTREL_ANSWERS");
  vistrel::testing::reloadPlatform();
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
