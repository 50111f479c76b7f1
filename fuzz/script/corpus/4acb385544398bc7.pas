var z, inf, nan: Double;
begin z := 0; inf := 1e308; inf := inf * 10; nan := inf - inf;
  if nan = nan then Print('equal') else Print('not equal');
  if nan <> nan then Print('differs');
  if (z < 1.5) and (2 >= 1.5) and not (z > z) then Print('ordered');
end.