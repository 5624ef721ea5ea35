{ helpc: compiles an HTML Help project (.hhp) into a .chm with Free Pascal's CHM library.

  It does what Free Pascal's chmcmd does with --no-html-scan, with one difference: the context
  map. chmcmd 3.2.2 names the topic of each [MAP] number by the absolute path of the page on
  the disk of the build (TChmProject.WriteChm passes the project folder joined to the page to
  TChmWriter.AddContext), so the #IVB entries point at #STRINGS texts such as
  "/home/.../ventana_principal.htm" that are no page of the file, and HTML Help opens no topic
  for HH_HELP_CONTEXT. Here each context names the page as it is stored in the file
  ("ventana_principal.htm"), the form HTML Help resolves against the file's own root.

  Usage: helpc PROJECT.hhp OUTPUT.chm
  Run it from the project's folder: the [MAP] section's "#include" names are opened from the
  current folder. Errors and warnings (a page of [FILES] that does not exist, a [MAP] name
  without an [ALIAS]) make it fail with exit code 1 and no output file. }
program helpc;

{$mode objfpc}{$H+}

uses
  {$ifdef unix}cwstring,{$endif} // the CHM library converts texts to UTF-16
  SysUtils, Classes, chmfilewriter, chmwriter, chmsitemap;

type
  { A project whose context map names the pages inside the file. }
  TContextProject = class(TChmProject)
  private
    function LoadTableOfContents: TChmSiteMap;
  public
    procedure WriteChm(AOutStream: TStream); override;
  end;

var
  Problems: Integer = 0;

procedure Report(Project: TChmProject; Kind: TChmProjectErrorKind; Msg: String;
  DetailLevel: Integer);
begin
  case Kind of
    chmerror, chmwarning:
      begin
        Inc(Problems);
        WriteLn(StdErr, 'helpc: ', ChmErrorKindText[Kind], ': ', Msg);
      end;
  end;
end;

function TContextProject.LoadTableOfContents: TChmSiteMap;
var
  Path: String;
begin
  Result := nil;
  if TableOfContentsFileName = '' then
    Exit;
  Path := IncludeTrailingPathDelimiter(ProjectDir) + ExtractFileName(TableOfContentsFileName);
  if not FileExists(Path) then
    Exit; // LoadSitemaps has already reported it
  Result := TChmSiteMap.Create(stTOC);
  Result.LoadFromFile(Path);
end;

{ TChmProject.WriteChm of Free Pascal 3.2.2 but for the name given to AddContext. }
procedure TContextProject.WriteChm(AOutStream: TStream);
var
  Writer: TChmWriter;
  Toc: TChmSiteMap;
  Node: TChmContextNode;
  I: Integer;
begin
  LoadSitemaps;
  if ScanHtmlContents then
    ScanHtml;

  Toc := LoadTableOfContents;
  Writer := TChmWriter.Create(AOutStream, False);
  try
    Writer.OnGetFileData := @GetData;
    Writer.OnLastFile := @LastFileAdded;
    Writer.FilesToCompress.AddStrings(Files);
    Writer.FilesToCompress.AddStrings(OtherFiles);

    Writer.DefaultPage := DefaultPage;
    Writer.Title := Title;
    Writer.DefaultFont := DefaultFont;
    Writer.FullTextSearch := MakeSearchable;
    Writer.HasBinaryTOC := MakeBinaryTOC;
    Writer.HasBinaryIndex := MakeBinaryIndex;
    Writer.IndexName := IndexFileName;
    Writer.TocName := TableOfContentsFileName;
    Writer.ReadmeMessage := ReadmeMessage;
    Writer.DefaultWindow := DefaultWindow;
    Writer.LocaleID := LocaleID;

    for I := 0 to Files.Count - 1 do
    begin
      Node := TChmContextNode(Files.Objects[I]);
      if not FileExists(IncludeTrailingPathDelimiter(ProjectDir) + Files[I]) then
        Error(chmwarning, 'File ' + Files[I] + ' does not exist');
      // The page's name inside the file: HTML Help looks it up from the file's root.
      if Assigned(Node) and (Node.ContextNumber <> 0) then
        Writer.AddContext(Node.ContextNumber, Files[I]);
    end;

    if Windows.Count > 0 then
      Writer.Windows := Windows;
    if MergeFiles.Count > 0 then
      Writer.MergeFiles := MergeFiles;
    if Assigned(Toc) then
      Writer.TocSitemap := Toc;

    Writer.Execute;
  finally
    Writer.Free;
    Toc.Free;
  end;
end;

var
  Project: TContextProject;
  Output: TFileStream;
  OutputName: String;

begin
  if ParamCount <> 2 then
  begin
    WriteLn(StdErr, 'Usage: helpc PROJECT.hhp OUTPUT.chm');
    Halt(2);
  end;
  if not FileExists(ParamStr(1)) then
  begin
    WriteLn(StdErr, 'helpc: cannot find ', ParamStr(1));
    Halt(1);
  end;
  OutputName := ParamStr(2);

  Project := TContextProject.Create;
  try
    Project.OnError := @Report;
    try
      Project.LoadFromHhp(ParamStr(1), False);
    except
      on E: Exception do
      begin
        // e.g. a [MAP] name that no [ALIAS] defines
        WriteLn(StdErr, 'helpc: ', ParamStr(1), ': ', E.Message);
        Halt(1);
      end;
    end;
    Project.ScanHtmlContents := False;

    Output := TFileStream.Create(OutputName, fmCreate);
    try
      try
        Project.WriteChm(Output);
      except
        on E: Exception do
        begin
          // e.g. a page of [FILES] that cannot be read
          WriteLn(StdErr, 'helpc: ', E.Message);
          Inc(Problems);
        end;
      end;
    finally
      Output.Free;
    end;
  finally
    Project.Free;
  end;

  if Problems > 0 then
  begin
    DeleteFile(OutputName);
    Halt(1);
  end;
end.
