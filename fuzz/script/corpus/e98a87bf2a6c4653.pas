function F(n: Integer): string; begin Result := 'none'; if n > 0 then Exit('pos'); if n < 0 then Exit; Result := 'zero'; end;
begin Print(F(1) + F(-1) + F(0)); end.