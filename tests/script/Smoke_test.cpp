#include <gtest/gtest.h>

#include "script/ScriptTestSupport.h"

using namespace vistrel::script::testing;

TEST(Smoke, Hello) {
  const ScriptRun r =
      runScript(QStringLiteral("var i: Integer; s: string;\nbegin\n s := 'x';\n for i := 1 to 3 do s := s + "
                               "IntToStr(i);\n Print(s);\nend."));
  EXPECT_TRUE(r.compiled) << r.compileError.toStdString() << " " << r.errorLine << ":" << r.errorColumn;
  EXPECT_TRUE(r.executed) << r.runtimeError.toStdString();
  EXPECT_EQ(r.output.toStdString(), "x123");
}
