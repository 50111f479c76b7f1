begin
  y := 1;
end.