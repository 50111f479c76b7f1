var i: Int64;
begin
  for i := 0 to High(Int64) - 1 do ;
end.