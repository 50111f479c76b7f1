begin
  Print('a');
