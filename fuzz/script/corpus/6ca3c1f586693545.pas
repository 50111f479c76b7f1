var i, s: Int64;
begin
  s := 0;
  for i := 1 to 10000000 do s := s + i;
  Check(s);
end.