begin
  raise;
end.