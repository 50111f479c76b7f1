var a: array of Integer;
begin
  SetLength(a, 1000000000);
end.