var a, b: Integer;
begin
  a := 10 mod b;
end.