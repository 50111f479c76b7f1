begin
  while True do
    try
      while True do ;
    except
      Print('caught');
    end;
end.