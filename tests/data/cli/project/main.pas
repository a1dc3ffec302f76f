unit Main;

interface

implementation

{ TODO 2 -oAnn -cUI : Fix the splitter }
procedure A;
begin
  // DONE: ship it
  WriteLn('{ TODO: not a comment }');
  (* TODO -cBack end: two-word category *)
end;

{ TODO -oAnn 3: a number after a switch belongs to the switch }
{ TODO 1 2: the last number wins }
{ todo: lower case }
{ NOTE TODO: not a to-do }
{TODO:}
{ TODO: first line
  second line }

end.
