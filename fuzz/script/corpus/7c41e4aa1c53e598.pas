begin
{$DEFINE X}{$IFDEF X}Print('on');{$ELSE}Print('off');{$ENDIF}
end.