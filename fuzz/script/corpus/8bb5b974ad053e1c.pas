function Boom: Boolean; begin Print('boom'); Result := True; end;
begin if False and Boom then Print('no'); if True or Boom then Print('yes'); end.