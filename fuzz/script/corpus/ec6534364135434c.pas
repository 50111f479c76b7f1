procedure P; begin try Print('body'); Exit; finally Print('finally'); end; end;
var i: Integer; begin P; for i := 1 to 3 do try if i = 2 then Break; finally Print(IntToStr(i)); end;
try try raise Exception.Create('x'); finally Print('inner'); end; except Print('outer ' + ExceptionMessage); end; end.