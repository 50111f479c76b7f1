var a, b: Integer;
begin
  b := 0;
  a := 1 div b;
end.