var f: widestring;
begin
  f := findfirst('%1', '%2');
  while f <> '' do begin Print(f); f := findnext; end;
  Print(findnext);
  findclose; findclose;
end.