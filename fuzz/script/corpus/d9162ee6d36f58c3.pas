function F(a: Integer; b: Integer = 10): Integer; begin Result := a + b; end;
begin Print(IntToStr(F(1)) + ' ' + IntToStr(F(1, 2))); end.