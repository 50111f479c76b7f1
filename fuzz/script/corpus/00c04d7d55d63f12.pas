begin
  Print(findfirst('%1', '*')); Print(findnext); Print(findnext);
  Print(findfirst('%2', '*')); Print(findnext);
end.