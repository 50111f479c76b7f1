function A(n: Integer): Integer; forward;
function B(n: Integer): Integer; begin Result := A(n) + 1; end;
function A(n: Integer): Integer; begin Result := B(n) + 1; end;
begin
  A(1);
end.