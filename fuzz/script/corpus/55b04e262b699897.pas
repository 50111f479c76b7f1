var o: TObject;
begin
  if o = nil then
    raise Exception.Create('nil object');
end.