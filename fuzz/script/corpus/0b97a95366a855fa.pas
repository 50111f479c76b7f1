begin
{$IFDEF DEBUG} Print('debug'); {$ELSE} Print('release'); {$ENDIF}
{$DEFINE Extra}
{$IFDEF extra} Print('extra'); {$ENDIF}
{$UNDEF EXTRA}
{$IFNDEF EXTRA} Print('no extra'); {$ENDIF}
{$IFDEF NONE} {$IFDEF DEBUG} Print('hidden'); {$ELSE} Print('hidden too'); {$ENDIF} {$ENDIF}
end.