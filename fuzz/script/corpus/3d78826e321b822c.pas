var x: Double;
begin
  x := 0;
  x := 1 / x;
end.