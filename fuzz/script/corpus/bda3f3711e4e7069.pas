var a: array[1..3] of Integer; i: Integer;
begin
  i := 4;
  a[i] := 1;
end.