var i: Integer; s: string;
begin
  s := '';
  for i := 1 to 1000000 do s := s + IntToStr(i mod 10);
  Check(Length(s));
end.