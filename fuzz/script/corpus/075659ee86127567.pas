begin
  if 1 then Print('x');
end.