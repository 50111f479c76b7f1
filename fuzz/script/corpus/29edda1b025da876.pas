begin
  forcedirectories('');
end.