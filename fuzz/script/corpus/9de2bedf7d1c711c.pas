var i: Integer;
begin
