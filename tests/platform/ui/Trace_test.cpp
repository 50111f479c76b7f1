#include "platform/Trace.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "platform/Environment.h"
#include "support/TempRoot.h"

using namespace vistrel::platform;

namespace {

TEST(Trace, SilentByDefaultAndCreatesNoFile) {
  vistrel::testing::TempRoot root;
  qunsetenv("VISTREL_TRACE");
  const QString file = programFolder() + QStringLiteral("trace.txt");
  ::testing::internal::CaptureStderr();
  traceOpen(file);
  traceLine(QStringLiteral("loadfromregistry passed"));
  traceSection(QStringLiteral("start"));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_FALSE(QFileInfo::exists(file));
}

TEST(Trace, GoesToStandardErrorWhenAsked) {
  qputenv("VISTREL_TRACE", "1");
  ::testing::internal::CaptureStderr();
  traceLine(QStringLiteral("loadfromregistry passed"));
  const std::string out = ::testing::internal::GetCapturedStderr();
  qunsetenv("VISTREL_TRACE");
  EXPECT_EQ(out, "trace: loadfromregistry passed\n");
}

}  // namespace
