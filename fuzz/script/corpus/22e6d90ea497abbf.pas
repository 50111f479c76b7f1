var a: array of Integer; i: Integer;
begin
  SetLength(a, 1);
  i := 1;
  Inc(a[i]);
end.