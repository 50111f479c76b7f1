function IsEven(n: Integer): Boolean; forward;
function IsOdd(n: Integer): Boolean; begin if n = 0 then Result := False else Result := IsEven(n - 1); end;
function IsEven(n: Integer): Boolean; begin if n = 0 then Result := True else Result := IsOdd(n - 1); end;
begin if IsEven(10) and IsOdd(7) then Print('ok'); end.