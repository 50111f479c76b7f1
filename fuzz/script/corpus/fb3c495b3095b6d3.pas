function Down(n: Integer): Integer;
begin
  if n = 0 then Result := 1 div n else Result := Down(n - 1);
end;
var z: Integer;
begin
  try Down(20); except end;
  z := 0;
  Print(IntToStr(5 div z));
end.