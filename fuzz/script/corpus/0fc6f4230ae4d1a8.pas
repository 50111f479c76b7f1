begin
  Print('a');
  raise Exception.Create('custom failure');
end.