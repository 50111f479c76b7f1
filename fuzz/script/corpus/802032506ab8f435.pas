function F(n: Integer): Integer;
begin
  if n < 2 then Result := n else Result := F(n - 1) + F(n - 2);
end;
begin
  F(60);
end.