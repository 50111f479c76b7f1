{$I lib.inc}
begin
  Hello;
end.