begin
  Print('a')
  Print('b');
end.