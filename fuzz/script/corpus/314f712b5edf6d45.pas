procedure P;
var a: array of Integer; i: Integer;
begin
  SetLength(a, 3); i := 0;
  a[i - 1] := 5;
end;
begin
  P;
end.