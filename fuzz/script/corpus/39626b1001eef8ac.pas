begin
  Fail('Unable to create directory');
end.