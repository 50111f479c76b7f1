// Each construct of the language, run through small programs whose output is checked.
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
    {"IntegerArithmetic",
     "begin Print(IntToStr(7 div 2) + ' ' + IntToStr(7 mod 2) + ' ' + IntToStr(-7 div 2) + ' ' + IntToStr(2 "
     "+ 3 * 4)); end.",
     "3 1 -3 14"},
    {"Precedence",
     "begin Print(IntToStr((2 + 3) * 4 - 10 div 3)); if not (1 > 2) and (3 > 2) then Print('ok'); end.",
     "17|ok"},
    {"ShiftsAndBits",
     "begin Print(IntToStr(1 shl 10) + ' ' + IntToStr(1024 shr 3) + ' ' + IntToStr(12 and 10) + ' ' + "
     "IntToStr(12 or 3) + ' ' + IntToStr(12 xor 5)); end.",
     "1024 128 8 15 9"},
    {"IntegerWidths",
     "var b: Byte; w: Word; i: Integer; c: Cardinal; s: ShortInt; li: LongInt; lw: LongWord; si: SmallInt;\n"
     "begin b := 255; b := b + 1; w := 65535; Inc(w); i := 2147483647; i := i + 1; c := 0; c := c - 1; s := "
     "127; Inc(s);\n"
     "Print(IntToStr(b) + ' ' + IntToStr(w) + ' ' + IntToStr(i) + ' ' + IntToStr(c) + ' ' + IntToStr(s));\n"
     "li := MaxInt; Inc(li); lw := 0; Dec(lw); si := 32767; si := si + 1; Print(IntToStr(li) + ' ' + "
     "IntToStr(lw) + ' ' + IntToStr(si));\n"
     "si := -32767; Dec(si, 2); lw := 5; Dec(lw, 7); li := -2147483647; Dec(li, 3); Print(IntToStr(si) + ' ' "
     "+ "
     "IntToStr(lw) + ' ' + IntToStr(li)); end.",
     "0 0 -2147483648 4294967295 -128|-2147483648 4294967295 -32768|32767 4294967294 2147483646"},
    {"Reals",
     // Single keeps a float's precision; Extended and Real are doubles.
     "var x: Double; sg: Single; e: Extended; rl: Real;\n"
     "begin x := 1 / 4; Print(FloatToStr(x)); Print(FloatToStr(Sqrt(16))); "
     "Print(IntToStr(Round(2.5)) + IntToStr(Round(3.5)) + IntToStr(Trunc(-2.7))); "
     "Print(FloatToStr(Abs(-1.5)));\n"
     "sg := 0.1; e := 0.1; rl := sg; Print(FloatToStr(sg) + ' ' + FloatToStr(e) + ' ' + FloatToStr(rl)); "
     "if (sg <> e) and (rl = sg) then Print('single'); end.",
     "0.25|4|24-2|1.5|0.100000001490116 0.1 0.100000001490116|single"},
    {"BooleanShortCircuit",
     "function Boom: Boolean; begin Print('boom'); Result := True; end;\n"
     "begin if False and Boom then Print('no'); if True or Boom then Print('yes'); end.",
     "yes"},
    {"StringsAndChars",
     "var s: string; c: Char; wc: WideChar; a: AnsiString; u: UnicodeString;\n"
     "begin s := 'Hello'; c := s[1]; s[1] := 'J'; Print(s + ' ' + c + ' ' + IntToStr(Length(s)));\n"
     "Print(Copy(s, 2, 3) + IntToStr(Pos('ll', s)) + UpperCase('abc') + LowerCase('DEF') + '[' + Trim('  x  "
     "') + ']');\n"
     "Delete(s, 1, 2); Insert('AB', s, 1); Print(s); Print(IntToStr(Ord('A')) + Chr(66) + #67'D'#$45);\n"
     "wc := #$263A; u := 'x' + wc; a := u + 'y'; u := a; Print(u + IntToStr(Length(a)) + "
     "IntToStr(Ord(a[2]))); "
     "end.",
     "Jello H 5|ell3ABCdef[x]|ABllo|65BCDE|x\xE2\x98\xBAy39786"},
    {"StringComparison",
     "begin if 'abc' < 'abd' then Print('lt'); if 'a' = 'a' then Print('eq'); if 'b' > 'abc' then "
     "Print('gt'); end.",
     "lt|eq|gt"},
    {"QuotesInStrings", "begin Print('it''s'); Print(''''); Print(''); end.", "it's|'|"},
    {"StringAppendInPlace",
     "var s, t: string; i: Integer; begin s := ''; for i := 1 to 5 do s := s + IntToStr(i) + ','; t := s; s "
     ":= s + s; Print(s); Print(t); end.",
     "1,2,3,4,5,1,2,3,4,5,|1,2,3,4,5,"},
    {"ForLoops",
     "var i: Integer; s: string; begin for i := 1 to 3 do s := s + IntToStr(i); for i := 3 downto 1 do s := "
     "s + IntToStr(i); for i := 5 to 4 do s := s + 'x'; Print(s); end.",
     "123321"},
    {"WhileRepeatBreakContinue",
     "var i, n: Integer; begin i := 0; n := 0; while True do begin Inc(i); if i > 10 then Break; if Odd(i) "
     "then Continue; n := n + i; end;\n"
     "Print(IntToStr(n)); i := 0; repeat Inc(i, 3) until i >= 10; Print(IntToStr(i)); end.",
     "30|12"},
    {"CaseOrdinal",
     "var i: Integer; begin for i := 0 to 6 do case i of 0: Print('zero'); 1, 2: Print('small'); 3..5: "
     "Print('mid'); else Print('big'); end; end.",
     "zero|small|small|mid|mid|mid|big"},
    {"CaseString",
     "procedure P(const s: string); begin case s of 'a': Print('A'); 'bc', 'de': Print('BC'); else "
     "Print('?'); end; end;\n"
     "begin P('a'); P('de'); P('zz'); end.",
     "A|BC|?"},
    {"ProceduresVarConstOut",
     "procedure Swap(var a, b: Integer); var t: Integer; begin t := a; a := b; b := t; end;\n"
     "procedure Give(out r: string); begin r := 'given'; end;\n"
     "function Twice(const x: Integer): Integer; begin Twice := x * 2; end;\n"
     "var x, y: Integer; s: string; begin x := 1; y := 2; Swap(x, y); Give(s); Print(IntToStr(x) + "
     "IntToStr(y) + s + IntToStr(Twice(21))); end.",
     "21given42"},
    {"DefaultParameters",
     "function F(a: Integer; b: Integer = 10): Integer; begin Result := a + b; end;\nbegin "
     "Print(IntToStr(F(1)) + ' ' + IntToStr(F(1, 2))); end.",
     "11 3"},
    {"Recursion",
     "function Fib(n: Integer): Integer; begin if n < 2 then Result := n else Result := Fib(n - 1) + Fib(n - "
     "2); end;\nbegin Print(IntToStr(Fib(20))); end.",
     "6765"},
    {"NestedRoutinesReachOuterLocals",
     "procedure Outer; var n: Integer;\n  procedure Inner; begin n := n + 1; end;\n  procedure Twice; begin "
     "Inner; Inner; end;\n"
     "begin n := 10; Twice; Print(IntToStr(n)); end;\nbegin Outer; end.",
     "12"},
    {"ForwardDeclarations",
     "function IsEven(n: Integer): Boolean; forward;\nfunction IsOdd(n: Integer): Boolean; begin if n = 0 "
     "then Result := False else Result := IsEven(n - 1); end;\n"
     "function IsEven(n: Integer): Boolean; begin if n = 0 then Result := True else Result := IsOdd(n - 1); "
     "end;\n"
     "begin if IsEven(10) and IsOdd(7) then Print('ok'); end.",
     "ok"},
    {"ExitWithAndWithoutValue",
     "function F(n: Integer): string; begin Result := 'none'; if n > 0 then Exit('pos'); if n < 0 then Exit; "
     "Result := 'zero'; end;\n"
     "begin Print(F(1) + F(-1) + F(0)); end.",
     "posnonezero"},
    {"StaticArrays",
     "var a: array[1..5] of Integer; m: array[0..1, 0..2] of Integer; i, j, s: Integer;\n"
     "begin for i := Low(a) to High(a) do a[i] := i * i; for i := 0 to 1 do for j := 0 to 2 do m[i, j] := i "
     "* 10 + j;\n"
     "s := 0; for i := 1 to 5 do s := s + a[i]; Print(IntToStr(s) + ' ' + IntToStr(m[1][2]) + ' ' + "
     "IntToStr(Length(a))); end.",
     "55 12 5"},
    {"ArrayValueSemantics",
     "type TA = array[0..2] of Integer; var a, b: TA; begin a[0] := 1; b := a; b[0] := 2; "
     "Print(IntToStr(a[0]) + IntToStr(b[0])); end.",
     "12"},
    {"DynamicArrays",
     "var a, b: array of Integer; i: Integer;\n"
     "begin SetLength(a, 3); for i := 0 to High(a) do a[i] := i + 1; b := a; b[0] := 9; SetLength(a, 5);\n"
     "Print(IntToStr(Length(a)) + IntToStr(a[0]) + IntToStr(a[4]) + IntToStr(b[0]) + IntToStr(Length(b))); "
     "end.",
     "59093"},
    {"OpenArrayParameters",
     "function Sum(const v: array of Integer): Integer; var i: Integer; begin Result := 0; for i := 0 to "
     "High(v) do Result := Result + v[i]; end;\n"
     "var d: array of Integer; s: array[1..3] of Integer; begin SetLength(d, 2); d[0] := 4; d[1] := 5; s[1] "
     ":= 1; s[2] := 2; s[3] := 3;\n"
     "Print(IntToStr(Sum(d)) + ' ' + IntToStr(Sum(s))); end.",
     "9 6"},
    {"Records",
     "type TPoint = record x, y: Integer; end; TLine = record a, b: TPoint; name: string; end;\n"
     "var l, m: TLine; function Mid(const l: TLine): TPoint; begin Result.x := (l.a.x + l.b.x) div 2; "
     "Result.y := (l.a.y + l.b.y) div 2; end;\n"
     "begin l.a.x := 0; l.a.y := 0; l.b.x := 10; l.b.y := 20; l.name := 'L'; m := l; m.b.x := 100;\n"
     "Print(IntToStr(Mid(l).x) + ',' + IntToStr(Mid(l).y) + ' ' + IntToStr(l.b.x) + ' ' + IntToStr(m.b.x) + "
     "m.name); end.",
     "5,10 10 100L"},
    {"ArrayOfRecords",
     "type TItem = record n: Integer; s: string; end; var a: array of TItem; i: Integer;\n"
     "begin SetLength(a, 3); for i := 0 to 2 do begin a[i].n := i; a[i].s := IntToStr(i * 2); end; "
     "Print(a[2].s + IntToStr(a[1].n)); end.",
     "41"},
    {"VarParameterIntoArrayElement",
     "procedure IncIt(var x: Integer); begin x := x + 1; end; var a: array of Integer; r: record v: Integer; "
     "end;\n"
     "begin SetLength(a, 2); IncIt(a[1]); IncIt(a[1]); IncIt(r.v); Print(IntToStr(a[1]) + IntToStr(r.v)); "
     "end.",
     "21"},
    {"With",
     "type TR = record a: Integer; b: string; end; var r: TR; a: Integer; begin a := 5; with r do begin a := "
     "7; b := 'x'; end; Print(IntToStr(r.a) + r.b + IntToStr(a)); end.",
     "7x5"},
    {"EnumerationsAndSets",
     "type TColor = (Red, Green, Blue); TColors = set of TColor; var c: TColor; s: TColors;\n"
     "begin s := [Red, Blue]; if Green in s then Print('bad'); Include(s, Green); Exclude(s, Red); for c := "
     "Red to Blue do if c in s then Print(IntToStr(Ord(c)));\n"
     "if s = [Green, Blue] then Print('eq'); if [Blue] <= s then Print('sub'); s := s - [Blue] + [Red]; if s "
     "* [Red] = [Red] then Print('red');\n"
     "if Succ(Red) = Green then Print('succ'); if High(TColor) = Blue then Print('high');\n"
     "if (Pred(Blue) = Green) and (Pred(10) = 9) and (Pred('b') = 'a') then Print('pred'); end.",
     "1|2|eq|sub|red|succ|high|pred"},
    {"CharSetsAndSubranges",
     "type TDigit = 0..9; var d: TDigit; c: Char; n: Integer; begin n := 0; for c := 'a' to 'z' do if c in "
     "['a', 'e', 'i', 'o', 'u'] then Inc(n); d := 9;\n"
     "Print(IntToStr(n) + IntToStr(d) + IntToStr(High(TDigit))); end.",
     "599"},
    {"Constants",
     "const N = 10; Half = N div 2; Name = 'abc'; Ratio = 1.5; T: array[0..2] of Integer = (1, 2, 3);\n"
     "begin Print(IntToStr(Half) + Name + FloatToStr(Ratio * 2) + IntToStr(T[2])); end.",
     "5abc33"},
    {"InitialisedVariables", "var i: Integer = 42; s: string = 'x'; begin Print(IntToStr(i) + s); end.",
     "42x"},
    {"Typecasts",
     "type TE = (e0, e1, e2); var e: TE; begin e := TE(2); Print(IntToStr(Integer(e)) + Char(65) + "
     "IntToStr(Byte(300)) + IntToStr(Ord(Boolean(5)))); end.",
     "2A441"},
    {"TryExcept",
     "var i: Integer; begin try i := 0; i := 10 div i; Print('not reached'); except Print('caught ' + "
     "ExceptionMessage); end;\n"
     "try raise Exception.Create('mine'); except on E: Exception do Print(E.Message); end; Print('after'); "
     "end.",
     "caught Division by zero|mine|after"},
    {"TryFinally",
     "procedure P; begin try Print('body'); Exit; finally Print('finally'); end; end;\n"
     "var i: Integer; begin P; for i := 1 to 3 do try if i = 2 then Break; finally Print(IntToStr(i)); end;\n"
     "try try raise Exception.Create('x'); finally Print('inner'); end; except Print('outer ' + "
     "ExceptionMessage); end; end.",
     "body|finally|1|2|inner|outer x"},
    {"ReRaise",
     "begin try try raise Exception.Create('deep'); except Print('first'); raise; end; except on E: "
     "Exception do Print('second ' + E.Message); end; end.",
     "first|second deep"},
    {"Format",
     "begin Print(Format('%d-%s-%.2f-%5d|%-4s|%x|%3.3d', [42, 'ab', 3.14159, 7, 'z', 255, 5])); "
     "Print(Format('100%%', [])); end.",
     "42-ab-3.14-    7|z   |FF|005|100%"},
    {"StrToIntAndDefaults",
     "begin Print(IntToStr(StrToInt(' 12 ') + StrToIntDef('x', -1) + StrToIntDef('$10', 0))); end.", "27"},
    {"FunctionNameAsResult", "function F: Integer; begin F := 3; end; begin Print(IntToStr(F + F)); end.",
     "6"},
    {"CaseInsensitive", "VAR X: integer; BEGIN x := 2; PRINT(inttostr(X)); End.", "2"},
    {"Comments", "begin // line\n { brace } (* paren *) Print('c'); {$R+} end.", "c"},
    {"ProgramHeaderAndUses", "program Test; uses SysUtils, Classes; begin Print('h'); end.", "h"},
    {"DateRoutines",
     "var d, day, clock, moment: TDateTime; y, m, dd: Word; ds, ts: string;\n"
     "begin d := EncodeDate(2024, 2, 29) + EncodeTime(13, 5, 9, 0); "
     "DecodeDate(d, y, m, dd);\n"
     "Print(FormatDateTime('yyyy-mm-dd hh:nn:ss', d) + ' ' + IntToStr(y) + IntToStr(m) + IntToStr(dd)); if "
     "Now > d then Print('later');\n"
     // The texts follow the locale: only their parts are checked.
     "d := EncodeDate(2031, 12, 29) + EncodeTime(13, 47, 58, 0); ds := DateToStr(d); ts := TimeToStr(d);\n"
     "if (Pos('29', ds) > 0) and (Pos('31', ds) > 0) and (Pos('47', ds) = 0) and (ds <> DateToStr(d - 30)) "
     "then Print('date');\n"
     "if (Pos('47', ts) > 0) and (Pos('58', ts) > 0) and (Pos('29', ts) = 0) then Print('time');\n"
     "if (DateToStr(Trunc(d)) = ds) and (TimeToStr(Frac(d)) = ts) then Print('parts');\n"
     // Read again if midnight passed between the calls.
     "repeat day := Date; moment := Now; clock := Time; until Date = day;\n"
     "if (Frac(day) = 0) and (day = Trunc(moment)) and (clock - Frac(moment) > -0.00001) and (clock - "
     "Frac(moment) < 0.001) then Print('today'); end.",
     "2024-02-29 13:05:09 2024229|later|date|time|parts|today"},
    {"Random",
     "var seen: array[0..9] of Boolean; i, k, bad: Integer; x: Double; all: Boolean;\n"
     "begin Randomize; bad := 0;\n"
     "for i := 1 to 2000 do begin k := Random(10); if (k < 0) or (k > 9) then Inc(bad) else seen[k] := "
     "True;\n"
     "x := Random; if (x < 0) or (x >= 1) then Inc(bad); if Random(1) <> 0 then Inc(bad); end;\n"
     "all := True; for k := 0 to 9 do all := all and seen[k]; Print(IntToStr(bad)); if all then "
     "Print('every value'); end.",
     "0|every value"},
    {"ProceduralVariables",
     // By name or with @, procedures and functions, value, const and var parameters, nil and
     // Assigned, comparison, and standard and host routines as values.
     "type TShow = procedure(const s: string); TCalc = function(a, b: Integer): Integer;\n"
     "  TBump = procedure(var n: Integer; by: Integer); TText = function(const s: string): string;\n"
     "function Add(a, b: Integer): Integer; begin Result := a + b; end;\n"
     "function Mul(a, b: Integer): Integer; begin Result := a * b; end;\n"
     "procedure Bump(var n: Integer; by: Integer); begin n := n + by; end;\n"
     "procedure Twice(const s: string); begin Print(s + s); end;\n"
     "var show: TShow; calc, other: TCalc; bumper: TBump; text: TText; n: Integer;\n"
     "begin\n"
     "  if not Assigned(calc) and (calc = nil) then Print('nil');\n"
     "  calc := Add; other := @Mul; Print(IntToStr(calc(2, 3)) + ' ' + IntToStr(other(2, 3)));\n"
     "  if (calc <> nil) and (calc <> other) and (calc = @Add) then Print('compared');\n"
     "  other := calc; if other = calc then Print(IntToStr(other(10, calc(1, 1))));\n"
     "  n := 1; bumper := Bump; bumper(n, 5); bumper(n, n); Print(IntToStr(n));\n"
     "  show := Twice; show('ab'); show := Print; show('host'); text := UpperCase; Print(text('std'));\n"
     "  calc := nil; if not Assigned(calc) then Print('cleared');\n"
     "end.",
     "nil|5 6|compared|12|12|abab|host|STD|cleared"},
    {"ProceduralValuesInParametersRecordsAndArrays",
     "type TOp = function(x: Integer): Integer; TProc = procedure;\n"
     "  THandler = record name: string; op: TOp; end;\n"
     "function Inc1(x: Integer): Integer; begin Result := x + 1; end;\n"
     "function Dbl(x: Integer): Integer; begin Result := x * 2; end;\n"
     "procedure Hello; begin Print('hello'); end;\n"
     "function Apply(f: TOp; x: Integer): Integer; begin Result := f(x); end;\n"
     "function Pick(k: Integer): TOp; begin if k = 0 then Result := Inc1 else Result := @Dbl; end;\n"
     "procedure Swap(var a, b: TOp); var t: TOp; begin t := a; a := b; b := t; end;\n"
     "const Table: array[0..1] of TOp = (Inc1, @Dbl); var first: TOp = Inc1;\n"
     "var ops: array of TOp; fixed: array[1..2] of TOp; h: THandler; f, g: TOp; p: TProc; i, s: Integer;\n"
     "begin\n"
     "  Print(IntToStr(Apply(Inc1, 1)) + IntToStr(Apply(@Dbl, 4)) + IntToStr(Pick(1)(5)));\n"
     "  SetLength(ops, 3); ops[0] := Inc1; ops[1] := Dbl; ops[2] := Pick(0);\n"
     "  s := 0; for i := 0 to High(ops) do s := ops[i](s); Print(IntToStr(s));\n"
     "  fixed[1] := Dbl; fixed[2] := fixed[1]; Print(IntToStr(fixed[2](fixed[1](3))));\n"
     "  h.name := 'inc'; h.op := Inc1; with h do Print(name + IntToStr(op(41)));\n"
     "  f := Inc1; g := Dbl; Swap(f, g); Print(IntToStr(f(10)) + ' ' + IntToStr(g(10)));\n"
     "  p := Hello; p; p(); Print(IntToStr(Table[1](first(1))));\n"
     "end.",
     "2810|3|12|inc42|20 11|hello|hello|4"},
    {"LocalsAreFreshOnEachCall",
     "function F(first: Boolean): string; var s: string; a: array[0..1] of Integer; begin if first then "
     "begin s := 'x'; a[0] := 5; end; Result := s + IntToStr(a[0]); end;\n"
     "begin Print(F(True) + F(False)); end.",
     "x50"},
};

class LanguageTest : public ::testing::TestWithParam<Case> {};

TEST_P(LanguageTest, ProducesExpectedOutput) {
  const Case& c = GetParam();
  const ScriptRun r = runScript(QString::fromUtf8(c.source));
  ASSERT_TRUE(r.compiled) << r.compileError.toStdString() << " at " << r.errorLine << ":" << r.errorColumn;
  ASSERT_TRUE(r.executed) << r.runtimeError.toStdString() << " at line " << r.errorLine;
  EXPECT_EQ(r.output.toStdString(), c.output);
}

INSTANTIATE_TEST_SUITE_P(Programs, LanguageTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

TEST(LanguageTest, RunningTwiceAfterOneCompilationStartsAfresh) {
  vistrel::script::ScriptEngine e;
  int calls = 0;
  e.setCompileHook([&](vistrel::script::CompileContext& c) {
    c.declareRoutine(QStringLiteral("procedure Tick(n: Integer);"), [&](vistrel::script::HostCall& h) {
      EXPECT_EQ(h.integer(0), 1);
      ++calls;
    });
  });
  e.setScript(QStringLiteral("var n: Integer; begin n := n + 1; Tick(n); end."));
  ASSERT_TRUE(e.compile());
  ASSERT_TRUE(e.execute());
  ASSERT_TRUE(e.execute());
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(e.globalValue(QStringLiteral("N")).toInt(), 1);
}

}  // namespace
