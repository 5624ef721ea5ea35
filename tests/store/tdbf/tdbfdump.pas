{ Prints a dBase table as Free Pascal's TDbf reads it, for the table engine's tests:
    LEVEL <table level>
    FIELD <name> <type letter> <size> <precision>
    ROW <value>|<value>|...     (NULL for a blank field)
  Text values are printed as their bytes; numbers with a '.' decimal separator. }
program tdbfdump;

{$mode objfpc}{$H+}

uses
  SysUtils, db, dbf, dbf_fields;

var
  Table: TDbf;
  Formats: TFormatSettings;
  I: Integer;
  Field: TField;
  Line: string;
  Def: TDbfFieldDef;

function ValueOf(F: TField): string;
begin
  if F.IsNull then
    Result := 'NULL'
  else if F is TFloatField then
    Result := FloatToStr(F.AsFloat, Formats)
  else if F is TBooleanField then
  begin
    if F.AsBoolean then Result := 'T' else Result := 'F';
  end
  else
    Result := F.AsString;
end;

begin
  if ParamCount <> 1 then
  begin
    WriteLn(StdErr, 'usage: tdbfdump TABLE.DBF');
    Halt(2);
  end;
  Formats := DefaultFormatSettings;
  Formats.DecimalSeparator := '.';
  Table := TDbf.Create(nil);
  try
    Table.FilePathFull := ExtractFilePath(ExpandFileName(ParamStr(1)));
    Table.TableName := ExtractFileName(ParamStr(1));
    Table.ReadOnly := True;
    Table.Open;
    WriteLn('LEVEL ', Table.TableLevel);
    for I := 0 to Table.DbfFieldDefs.Count - 1 do
    begin
      Def := Table.DbfFieldDefs.Items[I];
      WriteLn('FIELD ', Def.FieldName, ' ', Def.NativeFieldType, ' ', Def.Size, ' ', Def.Precision);
    end;
    Table.First;
    while not Table.EOF do
    begin
      Line := '';
      for I := 0 to Table.FieldCount - 1 do
      begin
        Field := Table.Fields[I];
        if I > 0 then Line := Line + '|';
        Line := Line + ValueOf(Field);
      end;
      WriteLn('ROW ', Line);
      Table.Next;
    end;
    Table.Close;
  except
    on E: Exception do
    begin
      WriteLn(StdErr, 'ERROR ', E.Message);
      Halt(1);
    end;
  end;
  Table.Free;
end.
