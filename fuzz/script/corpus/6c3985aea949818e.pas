function Down(n: Integer): Integer;
var k: Integer;
begin k := n * 2; if n = 0 then Result := 10 div n else Result := Down(n - 1) + k; end;
function Up(n: Integer): Integer; begin if n = 0 then Result := 0 else Result := Up(n - 1) + n; end;
function Guarded(a, b: Integer): Integer;
var x: Integer;
begin
  x := a + b;
  try Result := Down(5); except Result := x; end;
  Result := Result * 10 + a;
end;
var i, s: Integer;
begin
  s := 0;
  for i := 1 to 1000 do s := s + Guarded(i, 1);
  Print(IntToStr(Guarded(3, 4)) + ' ' + IntToStr(s) + ' ' + IntToStr(Up(4)));
end.