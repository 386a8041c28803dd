Attribute VB_Name = "Tavelnor"
' Tavelnor.bas: the 25 functions of Tavelnor.dll for Visual Basic 6, as
' include/tavelnor/zavl.h declares them. Every function is stdcall, the only
' convention Declare knows. Texts are 8-bit Windows-1252: a ByVal String is
' passed as such (Visual Basic converts it to and from the ANSI code page).
' Handles, pointers and the 32-bit integers of the library are Long. Six
' functions are exported under their decorated names; the Alias clauses bind
' them. Close every data handle before the schema it came from. A failure
' returns 0, -1 or an empty result, and ZAVL_GetLastError tells why.
Option Explicit

' Flags of ZAVL_OpenSchema.
Public Const SCHEMA_EXCHANGE As Long = &H1
Public Const SCHEMA_QUIET As Long = &H2
Public Const SCHEMA_LIST_OPTION As Long = &H4
Public Const SCHEMA_EXTENDED_FILES As Long = &H8
Public Const SCHEMA_DICO_UPDATE As Long = &H10
' Flags of ZAVL_OpenData and ZAVL_OpenFile.
Public Const DATA_RICHTEXT_AS_TEXT As Long = &H1
Public Const DATA_NO_VARIABLE_PART As Long = &H2
Public Const DATA_EXTENDED_FILE As Long = &H4
' Values of ZAVL_GetLastError; positive values are Btrieve statuses
' (4 key not found, 9 end of data, 12 file not found, 84/85 locked...).
Public Const ZAVL_OK As Long = 0
Public Const ZAVL_ERR_CREATE As Long = -1
Public Const ZAVL_ERR_HANDLE As Long = -2
Public Const ZAVL_ERR_DICO_UPDATE As Long = -3
Public Const ZAVL_ERR_DICO_LOAD As Long = -201
Public Const ZAVL_ERR_NOT_A_TABLE As Long = -401
' Slot types of the exchange layout.
Public Const ZAVL_FT_UNKNOWN As Long = 0
Public Const ZAVL_FT_STRING As Long = 1
Public Const ZAVL_FT_SMALLINT As Long = 2
Public Const ZAVL_FT_INTEGER As Long = 3
Public Const ZAVL_FT_BOOLEAN As Long = 5
Public Const ZAVL_FT_FLOAT As Long = 6
Public Const ZAVL_FT_DATE As Long = 9
Public Const ZAVL_FT_TIME As Long = 10
Public Const ZAVL_FT_DATETIME As Long = 11
Public Const ZAVL_FT_BYTES As Long = 12
Public Const ZAVL_FT_BLOB As Long = 15
Public Const ZAVL_FT_MEMO As Long = 16
Public Const ZAVL_FT_GRAPHIC As Long = 17
Public Const ZAVL_FT_FIXEDCHAR As Long = 23
Public Const ZAVL_FT_GUID As Long = 35
' A memory block slot: a 32-bit length, then a pointer (8 bytes in all).
Public Const ZAVL_MEMORY_SLOT_SIZE As Long = 8

' Dictionary handles.
Public Declare Function ZAVL_OpenSchema Lib "Tavelnor.dll" (ByVal Path As String, ByVal Flags As Long) As Long
Public Declare Sub ZAVL_CloseSchema Lib "Tavelnor.dll" (ByVal Schema As Long)
Public Declare Function ZAVL_GetDicoVersion Lib "Tavelnor.dll" (ByVal Schema As Long) As Long
Public Declare Function ZAVL_GetLastError Lib "Tavelnor.dll" () As Long

' Data handles: TableName "" lists the tables, "@" the categories, "#TABLE" the
' fields of TABLE, "TABLE" opens the table over its data file.
Public Declare Function ZAVL_OpenData Lib "Tavelnor.dll" (ByVal Schema As Long, ByVal TableName As String, ByVal Flags As Long) As Long
Public Declare Function ZAVL_OpenFile Lib "Tavelnor.dll" Alias "_ZAVL_OpenFile@16" (ByVal Schema As Long, ByVal Table As String, ByVal Path As String, ByVal Flags As Long) As Long
Public Declare Sub ZAVL_CloseData Lib "Tavelnor.dll" (ByVal Data As Long)

' Navigation: each returns the row position, -1 when there is no current row.
Public Declare Function ZAVL_GetFirst Lib "Tavelnor.dll" (ByVal Data As Long) As Long
Public Declare Function ZAVL_GetLast Lib "Tavelnor.dll" (ByVal Data As Long) As Long
Public Declare Function ZAVL_GetNext Lib "Tavelnor.dll" (ByVal Data As Long) As Long
Public Declare Function ZAVL_GetPrevious Lib "Tavelnor.dll" (ByVal Data As Long) As Long
Public Declare Function ZAVL_GetCurrent Lib "Tavelnor.dll" (ByVal Data As Long) As Long
' Value: the first byte of the key value (a Byte array element, or a
' ByVal String).
Public Declare Function ZAVL_GetEqual Lib "Tavelnor.dll" (ByVal Data As Long, ByVal Key As Long, ByRef Value As Any, ByVal Length As Long) As Long
Public Declare Function ZAVL_RePos Lib "Tavelnor.dll" (ByVal Data As Long, ByVal Position As Long) As Long
Public Declare Function ZAVL_GetNbRecords Lib "Tavelnor.dll" (ByVal Data As Long) As Long
Public Declare Function ZAVL_SetKeyrange Lib "Tavelnor.dll" (ByVal Data As Long, ByVal Key As Long, ByRef Low As Any, ByVal LowLength As Long, ByRef High As Any, ByVal HighLength As Long) As Long
' Values: the first element of a Long array of pointers to zero-terminated
' ANSI texts, one per name of Names ("A,B"), ended by 0.
Public Declare Function ZAVL_Locate Lib "Tavelnor.dll" (ByVal Data As Long, ByVal Names As String, ByRef Values As Long) As Long

' Buffers: ZAVL_GetBuffer returns the address of the current record (copy it
' out with RtlMoveMemory); ZAVL_SetBuffer makes the caller's buffer the one
' filled.
Public Declare Function ZAVL_GetBuffer Lib "Tavelnor.dll" (ByVal Data As Long) As Long
Public Declare Sub ZAVL_SetBuffer Lib "Tavelnor.dll" (ByVal Data As Long, ByRef Buffer As Any, ByVal Size As Long)
Public Declare Sub ZAVL_ClearBuffer Lib "Tavelnor.dll" (ByVal Data As Long, ByRef Buffer As Any, ByVal Size As Long)

' Special and legacy folders: 1 when found, the folder in Buffer (a String of
' Size characters made beforehand, e.g. with String$(260, 0)).
Public Declare Function ZAVL_GetSpecialPathByID Lib "Tavelnor.dll" Alias "_ZAVL_GetSpecialPathByID@12" (ByVal Id As Long, ByVal Buffer As String, ByVal Size As Long) As Long
Public Declare Function ZAVL_GetSpecialPathByName Lib "Tavelnor.dll" Alias "_ZAVL_GetSpecialPathByName@12" (ByVal PathName As String, ByVal Buffer As String, ByVal Size As Long) As Long
Public Declare Function ZAVL_ForceSpecialPathByID Lib "Tavelnor.dll" Alias "_ZAVL_ForceSpecialPathByID@8" (ByVal Id As Long, ByVal Path As String) As Long
Public Declare Function ZAVL_ForceSpecialPathByName Lib "Tavelnor.dll" Alias "_ZAVL_ForceSpecialPathByName@8" (ByVal PathName As String, ByVal Path As String) As Long
Public Declare Function ZAVL_GetLegacyPath Lib "Tavelnor.dll" Alias "_ZAVL_GetLegacyPath@12" (ByVal LegacyId As Long, ByVal Buffer As String, ByVal Size As Long) As Long
