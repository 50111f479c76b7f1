var i, s: Integer;
begin
  s := 0;
  for i := 1 to 100 do s := s + i;
  while s > 5000 do s := s - 1;
  Print(IntToStr(s));
end.