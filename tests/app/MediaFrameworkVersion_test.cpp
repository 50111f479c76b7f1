#include "app/MediaFrameworkVersion.h"

#include <gtest/gtest.h>

#include "support/TempRoot.h"

using namespace vistrel::app;

namespace {

TEST(MediaFrameworkVersion, ParsesTheVersionValue) {
  struct Case {
    const char* value;
    const char* display;
    int major;
  };
  const Case cases[] = {
      {"4.09.00.0904", "9.0c", 9},  // a last "4" gives "d", shown as "c"
      {"4.08.01.0881", "8.1a", 8},
      {"4.09.00.0902", "9.0b", 9},
      {"4.07.00.0700", "7.0 ", 7},  // below "a": a space
      {"4.10.02.0905", "10.2e", 10},
      {"", "Erreur", 0},
      // A value that does not parse is shown as found, with major number 0.
      {"garbage", "garbage", 0},
      {"4.x.00.1", "4.x.00.1", 0},
      {"4.09", "4.09", 0},
      {"4.09.x.0904", "4.09.x.0904", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const MediaFrameworkVersion v = parseMediaFrameworkVersion(QString::fromUtf8(c.value));
    EXPECT_EQ(v.display, QString::fromUtf8(c.display));
    EXPECT_EQ(v.major, c.major);
  }
}

TEST(MediaFrameworkVersion, ReadsTheLocalMachineValue) {
  vistrel::testing::TempRoot root;
  EXPECT_EQ(readMediaFrameworkVersion().display, QStringLiteral("9.0c"));
  root.write(QStringLiteral("hklm.ini"), "[Software\\Other]\n");
  vistrel::testing::reloadPlatform();
  const MediaFrameworkVersion missing = readMediaFrameworkVersion();
  EXPECT_EQ(missing.display, QStringLiteral("Erreur"));
  EXPECT_EQ(missing.major, 0);
}

TEST(MediaFrameworkVersion, TheWarningText) {
  EXPECT_EQ(
      mediaFrameworkWarning(parseMediaFrameworkVersion(QStringLiteral("4.08.01.0881"))),
      QStringLiteral("Vous avez DirectX 8.1a.\r\nIl faut avoir au moins directX 9 pour faire tourner "
                     "correctement Vistrel version 6.2.0 fr.\r\nVoulez-vous continuer quand même? Si oui, "
                     "l'application risque de ne pas bien fonctionner."));
}

}  // namespace
