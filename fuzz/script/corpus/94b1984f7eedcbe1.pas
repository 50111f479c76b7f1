{$INCLUDE 'bad.inc'}
begin end.