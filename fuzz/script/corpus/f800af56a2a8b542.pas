begin
  repeat until False;
end.