const A = 1 div 0;
begin end.