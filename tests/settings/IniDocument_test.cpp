#include "settings/IniDocument.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "settings/SettingsContext.h"
#include "settings/SettingsTestSupport.h"
#include "support/TempRoot.h"

namespace vistrel::settings {
namespace {

QByteArray bytes(std::initializer_list<int> values) {
  QByteArray out;
  for (int v : values) out.append(char(v));
  return out;
}

struct DecodeCase {
  const char* name;
  QByteArray input;
  QStringList lines;
};

class DecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTest, Lines) {
  EXPECT_EQ(decodeIniLines(GetParam().input), GetParam().lines) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DecodeTest,
    ::testing::Values(
        DecodeCase{"empty", QByteArray(), {}}, DecodeCase{"lone UTF-16LE mark", bytes({0xFF, 0xFE}), {}},
        DecodeCase{"lone UTF-8 mark", bytes({0xEF, 0xBB, 0xBF}), {}},
        DecodeCase{"UTF-16LE",
                   bytes({0xFF, 0xFE, 'a', 0, '=', 0, 0xE9, 0, '\r', 0, '\n', 0, '[', 0, ']', 0}),
                   {QStringLiteral("a=é"), QStringLiteral("[]")}},
        DecodeCase{"UTF-16BE",
                   bytes({0xFE, 0xFF, 0, 'a', 0x20, 0xAC, 0, '\n', 0, 'b'}),
                   {QStringLiteral("a€"), QStringLiteral("b")}},
        DecodeCase{"UTF-16LE cut in a character", bytes({0xFF, 0xFE, 'a', 0, 'b'}), {QStringLiteral("a")}},
        DecodeCase{
            "UTF-8 with mark", bytes({0xEF, 0xBB, 0xBF, 'x', '=', 0xC3, 0xA9}), {QStringLiteral("x=é")}},
        DecodeCase{"UTF-8 without mark",
                   QByteArray("Qualit\xC3\xA9 jpeg=50\n"),
                   {QStringLiteral("Qualité jpeg=50")}},
        DecodeCase{"Windows-1252 fallback",
                   QByteArray("Qualit\xE9=\x80\x96\x81"),
                   {QString::fromUtf8("Qualité=€–") + QChar(0x81)}},
        DecodeCase{
            "CR, LF and CR LF end lines; blank lines stay",
            QByteArray("a\rb\nc\r\n\r\nd"),
            {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QString(), QStringLiteral("d")}},
        DecodeCase{"LF CR is two line ends",
                   QByteArray("a\n\rb"),
                   {QStringLiteral("a"), QString(), QStringLiteral("b")}},
        DecodeCase{"a NUL byte is kept",
                   QByteArray("a\0b", 3),
                   {QString(QStringLiteral("a")) + QChar(0) + QStringLiteral("b")}}));

TEST(EncodeIniLines, Utf16LittleEndianWithMarkAndCrLfAfterEveryLine) {
  const QByteArray expected = bytes({0xFF, 0xFE, '[',  0,    ']',  0, '\r', 0, '\n', 0, 'k',  0, '=', 0,
                                     0xA7, 0,    0xAC, 0x20, '\r', 0, '\n', 0, '\r', 0, '\n', 0});
  EXPECT_EQ(encodeIniLines({QStringLiteral("[]"), QString::fromUtf8("k=§€"), QString()}), expected);
  EXPECT_EQ(encodeIniLines({}), bytes({0xFF, 0xFE}));
}

TEST(EncodeIniLines, DecodesBackToTheSameLines) {
  const QStringList lines = {QStringLiteral("[\\Software\\Orbano\\Vistrel]"),
                             QString::fromUtf8("Qualité jpeg=50"), QString(),
                             QString(QChar(0xD800)) + QStringLiteral("lone surrogate")};
  EXPECT_EQ(decodeIniLines(encodeIniLines(lines)), lines);
}

TEST(LineBreaks, AreKeptAsAMarkerAndComeBackAsCrLf) {
  EXPECT_EQ(escapeLineBreaks(QStringLiteral("plain")), QStringLiteral("plain"));
  EXPECT_EQ(escapeLineBreaks(QStringLiteral("a\r\nb\nc\rd\r\n")),
            QStringLiteral("a") + kLineBreakMarker + QStringLiteral("b") + kLineBreakMarker +
                QStringLiteral("c") + kLineBreakMarker + QStringLiteral("d") + kLineBreakMarker);
  EXPECT_EQ(unescapeLineBreaks(escapeLineBreaks(QStringLiteral("cam 1\r\ncam 2\r\n"))),
            QStringLiteral("cam 1\r\ncam 2\r\n"));
}

TEST(IniDocument, OneDocumentPerFileWhileInUse) {
  testing::TempRoot root;
  const QString path = parameterIniFile();
  auto first = IniDocument::acquire(path);
  EXPECT_FALSE(first->existed());
  first->lines = {QStringLiteral("[]"), QStringLiteral("a=1")};
  auto second = IniDocument::acquire(root.path() + QStringLiteral("/program/../program/Vistrel.ini"));
  EXPECT_EQ(first.get(), second.get());
  EXPECT_EQ(second->lines.size(), 2);
  ASSERT_TRUE(second->save());
  first.reset();
  second.reset();
  root.write(QStringLiteral("program/Vistrel.ini"), encodeIniLines({QStringLiteral("changed")}));
  auto third = IniDocument::acquire(path);
  EXPECT_TRUE(third->existed());
  EXPECT_EQ(third->lines, QStringList{QStringLiteral("changed")});
}

TEST(IniDocument, AnUnreadableFileIsNeverOverwritten) {
  testing::TempRoot root;
  // A folder where the file should be cannot be read as a file, whoever runs the test.
  const QString path = parameterIniFile();
  ASSERT_TRUE(QDir().mkpath(path));
  auto doc = IniDocument::acquire(path);
  EXPECT_TRUE(doc->unreadable());
  doc->lines = {QStringLiteral("[]")};
  EXPECT_FALSE(doc->save());
  EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST(IniDocument, SaveFailsCleanlyInAMissingFolder) {
  testing::TempRoot root;
  auto doc = IniDocument::acquire(root.file(QStringLiteral("no/such/folder/Vistrel.ini")));
  doc->lines = {QStringLiteral("[]")};
  EXPECT_FALSE(doc->save());
}

}  // namespace
}  // namespace vistrel::settings
