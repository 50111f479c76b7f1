// Every test program starts here: Qt on its offscreen platform, and the whole process inside a
// temporary VISTREL_ROOT with no virtual devices unless a test chooses some, so that no test can
// reach the user's real home, registry, trash, devices or screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "support/TempRoot.h"

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
