function Z: Integer; begin Result := 7; end;
function F4(a, b, c, d: Integer): Integer; begin Result := a + b + c + d; end;
function Mixed(a: Integer; x: Double): Double; begin Result := a + x; end;
procedure Show(a, b: Integer); begin Print(IntToStr(a - b)); end;
var k: Integer;
begin Show(Z, 2); Show(F4(1, 2, 3, 4), Z); Print(FloatToStr(Mixed(1, 0.5))); k := 1; Z; F4(k, k, k, k); Show(k, k); end.