{ Tavelnor.pas: the 25 functions of Tavelnor.dll for Delphi (and Free Pascal
  in Delphi mode), as include/tavelnor/zavl.h declares them.

  Every function is stdcall. Texts (table and field names, values, the texts
  of records and lists) are 8-bit Windows-1252: pass PAnsiChar, never
  PChar/PWideChar. Six functions are exported under their decorated names
  (_ZAVL_OpenFile@16 and the five special-path functions); the declarations
  below bind them. Handles are opaque pointers: close every data handle
  before the schema it came from. A failure returns nil, -1 or 0, and
  ZAVL_GetLastError tells why. }
unit Tavelnor;

interface

type
  PZAVLSchema = type Pointer;  { a loaded dictionary }
  PZAVLData = type Pointer;    { an open table or dictionary list }
  ZAVL_BOOL = LongInt;         { 0 or 1 }

const
  { Flags of ZAVL_OpenSchema. }
  SCHEMA_EXCHANGE = $01;
  SCHEMA_QUIET = $02;
  SCHEMA_LIST_OPTION = $04;
  SCHEMA_EXTENDED_FILES = $08;
  SCHEMA_DICO_UPDATE = $10;
  { Flags of ZAVL_OpenData and ZAVL_OpenFile. }
  DATA_RICHTEXT_AS_TEXT = $01;
  DATA_NO_VARIABLE_PART = $02;
  DATA_EXTENDED_FILE = $04;
  { Values of ZAVL_GetLastError; positive values are Btrieve statuses
    (4 key not found, 9 end of data, 12 file not found, 84/85 locked...). }
  ZAVL_OK = 0;
  ZAVL_ERR_CREATE = -1;
  ZAVL_ERR_HANDLE = -2;
  ZAVL_ERR_DICO_UPDATE = -3;
  ZAVL_ERR_DICO_LOAD = -201;
  ZAVL_ERR_NOT_A_TABLE = -401;
  { Slot types of the exchange layout. }
  ZAVL_FT_UNKNOWN = 0;
  ZAVL_FT_STRING = 1;
  ZAVL_FT_SMALLINT = 2;
  ZAVL_FT_INTEGER = 3;
  ZAVL_FT_BOOLEAN = 5;
  ZAVL_FT_FLOAT = 6;
  ZAVL_FT_DATE = 9;
  ZAVL_FT_TIME = 10;
  ZAVL_FT_DATETIME = 11;
  ZAVL_FT_BYTES = 12;
  ZAVL_FT_BLOB = 15;
  ZAVL_FT_MEMO = 16;
  ZAVL_FT_GRAPHIC = 17;
  ZAVL_FT_FIXEDCHAR = 23;
  ZAVL_FT_GUID = 35;
  { A memory block slot: a 32-bit length, then a pointer (8 bytes in all). }
  ZAVL_MEMORY_SLOT_SIZE = 8;

{ Dictionary handles. }
function ZAVL_OpenSchema(Path: PAnsiChar; Flags: LongWord): PZAVLSchema; stdcall;
procedure ZAVL_CloseSchema(Schema: PZAVLSchema); stdcall;
function ZAVL_GetDicoVersion(Schema: PZAVLSchema): LongInt; stdcall;
function ZAVL_GetLastError: LongInt; stdcall;

{ Data handles: Name '' lists the tables, '@' the categories, '#TABLE' the
  fields of TABLE, 'TABLE' opens the table over its data file. }
function ZAVL_OpenData(Schema: PZAVLSchema; Name: PAnsiChar; Flags: LongWord): PZAVLData; stdcall;
function ZAVL_OpenFile(Schema: PZAVLSchema; Table: PAnsiChar; Path: PAnsiChar;
  Flags: LongWord): PZAVLData; stdcall;
procedure ZAVL_CloseData(Data: PZAVLData); stdcall;

{ Navigation: each returns the row position, -1 when there is no current row. }
function ZAVL_GetFirst(Data: PZAVLData): LongInt; stdcall;
function ZAVL_GetLast(Data: PZAVLData): LongInt; stdcall;
function ZAVL_GetNext(Data: PZAVLData): LongInt; stdcall;
function ZAVL_GetPrevious(Data: PZAVLData): LongInt; stdcall;
function ZAVL_GetCurrent(Data: PZAVLData): LongInt; stdcall;
function ZAVL_GetEqual(Data: PZAVLData; Key: LongInt; Value: Pointer;
  Length: LongWord): LongInt; stdcall;
function ZAVL_RePos(Data: PZAVLData; Position: LongInt): LongInt; stdcall;
function ZAVL_GetNbRecords(Data: PZAVLData): LongInt; stdcall;
function ZAVL_SetKeyrange(Data: PZAVLData; Key: LongInt; Low: Pointer; LowLength: LongInt;
  High: Pointer; HighLength: LongInt): ZAVL_BOOL; stdcall;
{ Values: an array of PAnsiChar ended by nil, one per name of Names ('A,B'). }
function ZAVL_Locate(Data: PZAVLData; Names: PAnsiChar; Values: PPAnsiChar): LongInt; stdcall;

{ Buffers. }
function ZAVL_GetBuffer(Data: PZAVLData): Pointer; stdcall;
procedure ZAVL_SetBuffer(Data: PZAVLData; Buffer: Pointer; Size: LongWord); stdcall;
procedure ZAVL_ClearBuffer(Data: PZAVLData; Buffer: Pointer; Size: LongInt); stdcall;

{ Special and legacy folders: 1 when found, the folder in Buffer (Size bytes). }
function ZAVL_GetSpecialPathByID(Id: LongInt; Buffer: PAnsiChar; Size: LongInt): ZAVL_BOOL; stdcall;
function ZAVL_GetSpecialPathByName(Name: PAnsiChar; Buffer: PAnsiChar;
  Size: LongInt): ZAVL_BOOL; stdcall;
function ZAVL_ForceSpecialPathByID(Id: LongInt; Path: PAnsiChar): ZAVL_BOOL; stdcall;
function ZAVL_ForceSpecialPathByName(Name: PAnsiChar; Path: PAnsiChar): ZAVL_BOOL; stdcall;
function ZAVL_GetLegacyPath(LegacyId: LongInt; Buffer: PAnsiChar; Size: LongInt): ZAVL_BOOL; stdcall;

implementation

const
  TavelnorDll = 'Tavelnor.dll';

function ZAVL_OpenSchema; external TavelnorDll name 'ZAVL_OpenSchema';
procedure ZAVL_CloseSchema; external TavelnorDll name 'ZAVL_CloseSchema';
function ZAVL_GetDicoVersion; external TavelnorDll name 'ZAVL_GetDicoVersion';
function ZAVL_GetLastError; external TavelnorDll name 'ZAVL_GetLastError';
function ZAVL_OpenData; external TavelnorDll name 'ZAVL_OpenData';
function ZAVL_OpenFile; external TavelnorDll name '_ZAVL_OpenFile@16';
procedure ZAVL_CloseData; external TavelnorDll name 'ZAVL_CloseData';
function ZAVL_GetFirst; external TavelnorDll name 'ZAVL_GetFirst';
function ZAVL_GetLast; external TavelnorDll name 'ZAVL_GetLast';
function ZAVL_GetNext; external TavelnorDll name 'ZAVL_GetNext';
function ZAVL_GetPrevious; external TavelnorDll name 'ZAVL_GetPrevious';
function ZAVL_GetCurrent; external TavelnorDll name 'ZAVL_GetCurrent';
function ZAVL_GetEqual; external TavelnorDll name 'ZAVL_GetEqual';
function ZAVL_RePos; external TavelnorDll name 'ZAVL_RePos';
function ZAVL_GetNbRecords; external TavelnorDll name 'ZAVL_GetNbRecords';
function ZAVL_SetKeyrange; external TavelnorDll name 'ZAVL_SetKeyrange';
function ZAVL_Locate; external TavelnorDll name 'ZAVL_Locate';
function ZAVL_GetBuffer; external TavelnorDll name 'ZAVL_GetBuffer';
procedure ZAVL_SetBuffer; external TavelnorDll name 'ZAVL_SetBuffer';
procedure ZAVL_ClearBuffer; external TavelnorDll name 'ZAVL_ClearBuffer';
function ZAVL_GetSpecialPathByID; external TavelnorDll name '_ZAVL_GetSpecialPathByID@12';
function ZAVL_GetSpecialPathByName; external TavelnorDll name '_ZAVL_GetSpecialPathByName@12';
function ZAVL_ForceSpecialPathByID; external TavelnorDll name '_ZAVL_ForceSpecialPathByID@8';
function ZAVL_ForceSpecialPathByName; external TavelnorDll name '_ZAVL_ForceSpecialPathByName@8';
function ZAVL_GetLegacyPath; external TavelnorDll name '_ZAVL_GetLegacyPath@12';

end.
