var a: array of Integer; i: Integer;
begin
  i := a[0];
end.