#include "actions/ShortCuts.h"

#include <gtest/gtest.h>

namespace vistrel::actions {
namespace {

struct KeyCase {
  QKeyCombination key;
  const char16_t* text;
};

class ShortCutTextTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(ShortCutTextTest, ShowsTheFrenchNameAndReadsItBack) {
  const KeyCase& c = GetParam();
  EXPECT_EQ(ShortCutToText(c.key), QString::fromUtf16(c.text));
  EXPECT_EQ(TextToShortCut(QString::fromUtf16(c.text)), c.key);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ShortCutTextTest,
    ::testing::Values(
        KeyCase{Qt::Key_F5, u"F5"}, KeyCase{Qt::Key_F12, u"F12"},
        KeyCase{Qt::AltModifier | Qt::Key_Return, u"Alt+Entrée"},
        KeyCase{Qt::ControlModifier | Qt::Key_P, u"Ctrl+P"}, KeyCase{Qt::Key_Space, u"Barre d'Espace"},
        KeyCase{Qt::ControlModifier | Qt::Key_Space, u"Ctrl+Barre d'Espace"},
        KeyCase{Qt::Key_Escape, u"Echap"}, KeyCase{Qt::ControlModifier | Qt::Key_Delete, u"Ctrl+Suppr"},
        KeyCase{Qt::Key_Insert, u"Inser"}, KeyCase{Qt::ControlModifier | Qt::Key_End, u"Ctrl+Fin"},
        KeyCase{Qt::AltModifier | Qt::Key_Backspace, u"Alt+BkSp"},
        KeyCase{Qt::ControlModifier | Qt::Key_Home, u"Ctrl+Home"},
        KeyCase{Qt::ControlModifier | Qt::Key_Left, u"Ctrl+Left"},
        KeyCase{Qt::ControlModifier | Qt::Key_Up, u"Ctrl+Up"},
        KeyCase{Qt::ControlModifier | Qt::Key_Right, u"Ctrl+Right"},
        KeyCase{Qt::ControlModifier | Qt::Key_Down, u"Ctrl+Down"},
        KeyCase{Qt::ShiftModifier | Qt::Key_F4, u"Shift+F4"},
        KeyCase{Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::Key_7, u"Shift+Ctrl+Alt+7"}));

TEST(ShortCutText, SecondaryTextsIgnoreCase) {
  EXPECT_EQ(TextToShortCut("CTRL+G"), Qt::ControlModifier | Qt::Key_G);
  EXPECT_EQ(TextToShortCut("ALT+O"), Qt::AltModifier | Qt::Key_O);
  EXPECT_EQ(TextToShortCut("ctrl+barre d'espace"), Qt::ControlModifier | Qt::Key_Space);
  EXPECT_EQ(TextToShortCut("Alt+Ctrl+Q"), Qt::ControlModifier | Qt::AltModifier | Qt::Key_Q);
}

TEST(ShortCutText, TextsThatNameNoKeyGiveNone) {
  for (const char* text :
       {"", "Ctrl+", "Ctrl", "F0", "F25", "F01", "Entree", "Ctrl+GG", "+", "Alt++", "Super+A"})
    EXPECT_TRUE(isNoKey(TextToShortCut(QString::fromUtf8(text)))) << text;
}

TEST(ShortCutText, KeysWithoutAFrenchNameShowNothing) {
  EXPECT_EQ(ShortCutToText(kNoKey), QString());
  EXPECT_EQ(ShortCutToText(QKeyCombination(Qt::KeypadModifier, Qt::Key_Plus)), QString());
  EXPECT_EQ(ShortCutToText(QKeyCombination(Qt::KeypadModifier, Qt::Key_Minus)), QString());
  EXPECT_EQ(ShortCutToText(Qt::Key_Pause), QString());
  EXPECT_EQ(ShortCutToText(Qt::Key_PageUp), QString());
}

TEST(ShortCutText, KeypadEnterAndArrowsAreTheMainKeys) {
  EXPECT_EQ(normalizeKey(Qt::AltModifier | Qt::KeypadModifier | Qt::Key_Enter),
            Qt::AltModifier | Qt::Key_Return);
  EXPECT_EQ(normalizeKey(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Left),
            Qt::ControlModifier | Qt::Key_Left);
  EXPECT_EQ(ShortCutToText(Qt::AltModifier | Qt::KeypadModifier | Qt::Key_Enter), "Alt+Entrée");
  // The keypad's plus is a key of its own.
  EXPECT_NE(normalizeKey(Qt::KeypadModifier | Qt::Key_Plus), normalizeKey(QKeyCombination(Qt::Key_Plus)));
}

}  // namespace
}  // namespace vistrel::actions
