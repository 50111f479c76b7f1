// The four programs of the script benchmark; bench_script.py runs the same algorithms in CPython.
#pragma once

namespace vistrel::script::bench {

// 10 million integer additions.
inline const char* const kIntegerLoop =
    "var i, s: Int64;\n"
    "begin\n"
    "  s := 0;\n"
    "  for i := 1 to 10000000 do s := s + i;\n"
    "  Check(s);\n"
    "end.";

// A string built from 1 million pieces.
inline const char* const kStringBuilding =
    "var i: Integer; s: string;\n"
    "begin\n"
    "  s := '';\n"
    "  for i := 1 to 1000000 do s := s + IntToStr(i mod 10);\n"
    "  Check(Length(s));\n"
    "end.";

// Recursive Fibonacci of 27 (about 630 000 calls).
inline const char* const kFibonacci =
    "function Fib(n: Integer): Integer;\n"
    "begin\n"
    "  if n < 2 then Result := n else Result := Fib(n - 1) + Fib(n - 2);\n"
    "end;\n"
    "begin\n"
    "  Check(Fib(27));\n"
    "end.";

// Quicksort of 200 000 pseudo-random integers.
inline const char* const kArraySort =
    "var a: array of Integer; i, seed: Integer;\n"
    "procedure Sort(lo, hi: Integer);\n"
    "var i, j, p, t: Integer;\n"
    "begin\n"
    "  i := lo; j := hi; p := a[(lo + hi) div 2];\n"
    "  repeat\n"
    "    while a[i] < p do Inc(i);\n"
    "    while a[j] > p do Dec(j);\n"
    "    if i <= j then begin t := a[i]; a[i] := a[j]; a[j] := t; Inc(i); Dec(j); end;\n"
    "  until i > j;\n"
    "  if lo < j then Sort(lo, j);\n"
    "  if i < hi then Sort(i, hi);\n"
    "end;\n"
    "begin\n"
    "  SetLength(a, 200000);\n"
    "  seed := 12345;\n"
    "  for i := 0 to High(a) do begin seed := (seed * 1103515245 + 12345) mod 2147483648; a[i] := seed mod "
    "1000000; end;\n"
    "  Sort(0, High(a));\n"
    "  for i := 1 to High(a) do if a[i - 1] > a[i] then Check(-1);\n"
    "  Check(a[0] + a[High(a)]);\n"
    "end.";

}  // namespace vistrel::script::bench
