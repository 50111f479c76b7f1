begin
  { never closed
end.