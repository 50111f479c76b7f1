procedure P(const s: string); begin case s of 'a': Print('A'); 'bc', 'de': Print('BC'); else Print('?'); end; end;
begin P('a'); P('de'); P('zz'); end.