begin
  Odd;
end.