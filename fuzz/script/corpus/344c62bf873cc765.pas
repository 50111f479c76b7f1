var f, g: widestring; ok: Boolean;
begin
  f := findfirst('/tmp/dir', '*.txt');
  while f <> '' do f := findnext;
  findclose;
  showmessage('bonjour ' + IntToStr(SecsPerDay));
  sleep(15);
  processmessages;
  forcedirectories('/tmp/a/b');
  g := changefileext('/a.b/c', '.txt');
  ok := deletefiletorecyclebin(g);
  renamefile('old', 'new');
  if ok then showmessage(extractfilename('/x/y.z') + extractfilepath('/x/y.z') + extractfileext('/x/y.z'));
end.