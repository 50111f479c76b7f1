begin
  try
    while True do ;
  finally
    while True do Print('x');
  end;
end.