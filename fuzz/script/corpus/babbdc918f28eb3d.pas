var s: string; c: Char;
begin
  s := 'ab';
  c := s[3];
end.