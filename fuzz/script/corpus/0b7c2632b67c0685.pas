begin
  while True do ;
end.