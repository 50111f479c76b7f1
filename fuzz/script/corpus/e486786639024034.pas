begin
  Frobnicate(1);
end.