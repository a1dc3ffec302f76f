unit Storage;

interface

type
  TTask = record
    Title: string;
    Done: Boolean;
  end;

  TTaskStore = class
  private
    FFileName: string;
    FTasks: array of TTask;
    function GetTask(Index: Integer): TTask;
  public
    constructor Create(const FileName: string);
    function Count: Integer;
    property Tasks[Index: Integer]: TTask read GetTask; default;
  end;

implementation

constructor TTaskStore.Create(const FileName: string);
begin
  FFileName := FileName;
  // TODO 1 -oBen -cData: Load the tasks from FFileName
end;

function TTaskStore.Count: Integer;
begin
  Result := Length(FTasks);
end;

function TTaskStore.GetTask(Index: Integer): TTask;
begin
  { TODO 5 -cData: Check Index against the bounds }
  Result := FTasks[Index];
end;

{ DONE 4 -oCleo -cData: Keep the file name }

end.
