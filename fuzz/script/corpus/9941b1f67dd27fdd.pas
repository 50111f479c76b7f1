begin
  Break;
end.