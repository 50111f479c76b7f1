var a: array of Integer;
begin
  SetLength(a, 2);

  a[2] := 1;
end.