var i: Integer;
begin
  Print(IntToStr(@i));
end.