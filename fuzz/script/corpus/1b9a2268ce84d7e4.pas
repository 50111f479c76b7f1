var g: Integer;
function Sum3(a, b, c: Integer): Integer; begin Result := a * 100 + b * 10 + c; end;
function Test(n: Integer): Integer;
var m: Integer;
begin m := n + 1; Result := Sum3(n, m - 1, 3) + Sum3(n + 2, -1, g) + Sum3(m * 2, g + 1, 0); end;
begin g := 5; Print(IntToStr(Test(1))); end.