function F(n: Integer): Integer; begin if n = 0 then Result := 0 else Result := F(n - 1) + 1; end;
var r: Integer; begin r := F(2000); end.