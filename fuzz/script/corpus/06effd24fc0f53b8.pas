procedure P; forward;
begin end.