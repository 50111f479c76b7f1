begin
  Boom;
end.