type TA = procedure; TB = procedure(x: Integer);
var a: TA; b: TB;
begin
  if a = b then ;
end.