var a, b: Integer;
begin
  b := 0;
  a := 10 div b;
end.