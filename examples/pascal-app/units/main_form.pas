unit MainForm;

interface

uses
  Storage;

procedure RunMainForm(Store: TTaskStore);

implementation

{ TODO 2 -oAnn -cUI : Fix the splitter }

procedure ShowTasks(Store: TTaskStore);
var
  I: Integer;
begin
  (* TODO 3 -oBen -cUI: Sort tasks by due date
     before they are shown, oldest first *)
  for I := 0 to Store.Count - 1 do
    WriteLn(Store[I].Title);
  WriteLn('TODO: this is a string, not a to-do');
end;

procedure RunMainForm(Store: TTaskStore);
begin
  { DONE -oAnn -cUI: Show the task count in the title }
  WriteLn(Store.Count, ' tasks');
  { todo: lower-case keywords count too }
  ShowTasks(Store);
  { NOTE TODO: not a to-do, the first word is NOTE }
end;

end.
