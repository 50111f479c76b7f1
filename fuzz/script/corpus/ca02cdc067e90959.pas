begin

  FailStd;
end.