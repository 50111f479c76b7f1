begin
  Print('abc);
end.