// Strings built piece by piece: appending in place must give what a fresh concatenation gives, even
// when a piece reads the variable being appended to.
#include <gtest/gtest.h>

#include "script/ScriptTestSupport.h"

using namespace vistrel::script::testing;

namespace {

struct Case {
  const char* name;
  const char* source;
  const char* output;
};

const Case kCases[] = {
    {"IntToStrValues",
     "begin Print(IntToStr(0) + ' ' + IntToStr(7) + ' ' + IntToStr(1023) + ' ' + IntToStr(1024) + ' ' + "
     "IntToStr(-1) + ' ' + IntToStr(-1024)); end.",
     "0 7 1023 1024 -1 -1024"},
    {"IntToStrExtremes",
     "var a, b: Int64; begin a := High(Int64); b := Low(Int64); Print(IntToStr(a)); Print(IntToStr(b)); end.",
     "9223372036854775807|-9223372036854775808"},
    {"AppendedNumbers",
     "var s: string; i: Integer; begin s := ''; for i := -3 to 3 do s := s + IntToStr(i * 500); Print(s); "
     "end.",
     "-1500-1000-500050010001500"},
    {"PieceReadsTheVariable",
     "var s: string; begin s := 'ab'; s := s + IntToStr(Length(s)); s := s + s; Print(s); end.", "ab2ab2"},
    {"LaterPieceSeesTheOldValue", "var s: string; begin s := 'ab'; s := s + '-' + s; Print(s); end.",
     "ab-ab"},
    {"NumberBeforeTheVariable",
     "var s: string; begin s := 'x'; s := s + IntToStr(-5) + s + IntToStr(12345); Print(s); end.",
     "x-5x12345"},
    {"NestedConcatenation", "var s: string; begin s := 'q'; s := s + (IntToStr(9) + s); Print(s); end.",
     "q9q"},
    {"OtherVariableUnchanged",
     "var s, t: string; begin s := 'a'; t := s; s := s + IntToStr(1); Print(s + ' ' + t); end.", "a1 a"},
    {"ShadowedIntToStr",
     "function IntToStr(n: Integer): string; begin Result := '<' + Chr(Ord('0') + n) + '>'; end;\n"
     "var s: string; begin s := ''; s := s + IntToStr(3); Print(s); end.",
     "<3>"},
    {"IntToStrOfARangeError",
     "var a: array[1..2] of Integer; s: string; i: Integer;\n"
     "begin s := 'keep'; i := 3; try s := s + IntToStr(a[i]); except Print('caught ' + s); end; end.",
     "caught keep"},
};

class StringBuildingTest : public ::testing::TestWithParam<Case> {};

TEST_P(StringBuildingTest, Output) {
  const Case& c = GetParam();
  const ScriptRun r = runScript(QString::fromUtf8(c.source));
  ASSERT_TRUE(r.compiled) << r.compileError.toStdString();
  ASSERT_TRUE(r.executed) << r.runtimeError.toStdString();
  EXPECT_EQ(r.output, QString::fromUtf8(c.output));
}

INSTANTIATE_TEST_SUITE_P(Strings, StringBuildingTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
