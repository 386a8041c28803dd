/*
 * Tavelnor: read access to the record files of an accounting and management
 * application range, described by a separate binary dictionary file.
 *
 * A host opens a dictionary (ZAVL_OpenSchema), opens a table or a file of it
 * (ZAVL_OpenData, ZAVL_OpenFile), moves through the records by key and reads
 * each record through a buffer, raw or in the exchange layout. Every failure
 * is reported through one process-wide last error code (ZAVL_GetLastError).
 *
 * Handles are opaque. Close every data handle before the schema handle it
 * came from. The last error code is shared by all threads: a host that calls
 * the library from several threads serialises its calls.
 *
 * Texts: every text the library takes or gives (table and field names,
 * ZAVL_Locate's values, the texts of records and lists) is 8-bit Windows-1252,
 * whatever the platform; file paths are passed to the system as given.
 */
#ifndef TAVELNOR_ZAVL_H
#define TAVELNOR_ZAVL_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define ZAVL_CALL __stdcall
#define ZAVL_API
#else
#define ZAVL_CALL
#if defined(TAVELNOR_BUILDING_LIBRARY)
#define ZAVL_API __attribute__((visibility("default")))
#else
#define ZAVL_API
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ZAVL_Schema ZAVL_Schema; /* a loaded dictionary */
typedef struct ZAVL_Data ZAVL_Data;     /* an open table or dictionary list */
typedef int32_t ZAVL_BOOL;              /* 0 or 1 */

/* Flags of ZAVL_OpenSchema. Other bits are kept and have no effect. */
#define SCHEMA_EXCHANGE 0x01u       /* table handles convert records into the exchange layout */
#define SCHEMA_QUIET 0x02u          /* no Btrieve error is reported to the user, process-wide */
#define SCHEMA_LIST_OPTION 0x04u    /* the table list leaves out tables flagged 0x200, but "infos" */
#define SCHEMA_EXTENDED_FILES 0x08u /* every table opens in its extended (".fatbtr") form */
#define SCHEMA_DICO_UPDATE 0x10u    /* the dictionary file is reopened for reading and writing */

/* Flags of ZAVL_OpenData and ZAVL_OpenFile. */
#define DATA_RICHTEXT_AS_TEXT 0x01u /* rich-text memos reach the exchange buffer as text */
#define DATA_NO_VARIABLE_PART 0x02u /* the variable-length parts of records are not read */
#define DATA_EXTENDED_FILE 0x04u    /* the table opens in its extended (".fatbtr") form */

/* Values of ZAVL_GetLastError. Positive values are Btrieve status codes
 * (4 key not found, 9 end of file, 12 file not found, 84/85 locked, ...). */
#define ZAVL_OK 0
#define ZAVL_ERR_CREATE (-1)       /* a handle could not be created; Locate: values differ */
#define ZAVL_ERR_HANDLE (-2)       /* bad handle or bad argument */
#define ZAVL_ERR_DICO_UPDATE (-3)  /* the dictionary could not be reopened for writing */
#define ZAVL_ERR_DICO_LOAD (-201)  /* the dictionary could not be loaded */
#define ZAVL_ERR_NOT_A_TABLE (-401) /* the name designates no table of the dictionary */

/* Exchange layout slot types (numbered as the usual data-set field types). */
#define ZAVL_FT_UNKNOWN 0
#define ZAVL_FT_STRING 1
#define ZAVL_FT_SMALLINT 2
#define ZAVL_FT_INTEGER 3
#define ZAVL_FT_BOOLEAN 5
#define ZAVL_FT_FLOAT 6
#define ZAVL_FT_DATE 9
#define ZAVL_FT_TIME 10
#define ZAVL_FT_DATETIME 11
#define ZAVL_FT_BYTES 12
#define ZAVL_FT_BLOB 15
#define ZAVL_FT_MEMO 16
#define ZAVL_FT_GRAPHIC 17
#define ZAVL_FT_FIXEDCHAR 23
#define ZAVL_FT_GUID 35

/* A memory block slot (blobs, memos, graphics): a 32-bit length in bytes
 * followed by a pointer to a block of that length, allocated with malloc and
 * freed by the library when it clears the slot. The slot takes
 * 4 + sizeof(void*) bytes: 8 in 32-bit programs, 12 in 64-bit ones (so the
 * exchange layout of a table with memory slots is longer in a 64-bit
 * program, and the field list reports the slot size of the running
 * library). Slots are packed without padding, so read the pointer with
 * memcpy. */
#define ZAVL_MEMORY_SLOT_SIZE (4 + sizeof(void*))

/* Dictionary handles. */
ZAVL_API ZAVL_Schema* ZAVL_CALL ZAVL_OpenSchema(const char* path, uint32_t flags);
ZAVL_API void ZAVL_CALL ZAVL_CloseSchema(ZAVL_Schema* schema);
ZAVL_API int32_t ZAVL_CALL ZAVL_GetDicoVersion(ZAVL_Schema* schema);
ZAVL_API int32_t ZAVL_CALL ZAVL_GetLastError(void);

/* Data handles. A name opens:
 *   ""            the list of the dictionary's tables (36-byte rows);
 *   "@"           the list of its categories (168-byte rows);
 *   "#TABLE"      the list of the fields of TABLE (325-byte rows);
 *   "#", "#@", "##..."  fixed descriptions of those list rows;
 *   "TABLE"       the table itself, over its data file (created empty when
 *                 missing).
 * List rows, packed, integers little-endian, texts zero-terminated:
 *   tables      0-31 name; 32-35 record length (in exchange mode, the length
 *               of the exchange layout).
 *   categories  0-31 name; 32-159 label; 160-163 property (signed);
 *               164-167 value.
 *   fields      0-31 name; 32 type code (in exchange mode, the exchange slot
 *               type); 33-36 size (the slot size); 37-40 decimals; 41-168
 *               display name; 169-296 category; 297-300 1 for a user-defined
 *               field; 301-304 1 when a minimum is set, 305-312 the minimum's
 *               first bytes; 313-316 1 when a maximum is set, 317-324 the
 *               maximum's first bytes. Bytes from 37 on are zero for fields
 *               that are not plain variables.
 * Null on failure, with the last error: -2 bad schema, -401 no such table,
 * -1 out of memory, or the Btrieve status of the file (12, 22, 85, 861...).
 * Close every data handle before its schema. */
ZAVL_API ZAVL_Data* ZAVL_CALL ZAVL_OpenData(ZAVL_Schema* schema, const char* name,
                                             uint32_t flags);
/* A table of the dictionary over the file at `path` (decorated on 32-bit
 * Windows: _ZAVL_OpenFile@16). */
ZAVL_API ZAVL_Data* ZAVL_CALL ZAVL_OpenFile(ZAVL_Schema* schema, const char* table,
                                             const char* path, uint32_t flags);
ZAVL_API void ZAVL_CALL ZAVL_CloseData(ZAVL_Data* data);

/* Navigation. Each returns the row position after the call (a table's
 * 4-byte physical position, a list's row number), -1 when there is no
 * current row; the last error holds the status (9 end of data or of the key
 * range, 4 key not found, 43 no current row...). In exchange mode the
 * exchange buffer is refreshed after each move. */
ZAVL_API int32_t ZAVL_CALL ZAVL_GetFirst(ZAVL_Data* data);
ZAVL_API int32_t ZAVL_CALL ZAVL_GetLast(ZAVL_Data* data);
ZAVL_API int32_t ZAVL_CALL ZAVL_GetNext(ZAVL_Data* data);
ZAVL_API int32_t ZAVL_CALL ZAVL_GetPrevious(ZAVL_Data* data);
ZAVL_API int32_t ZAVL_CALL ZAVL_GetCurrent(ZAVL_Data* data);
/* The first record whose key `key` equals `value` (`length` bytes, the key's
 * segments end to end; a shorter value is padded with zero bytes). On a list
 * handle `key` is a byte offset into the row. */
ZAVL_API int32_t ZAVL_CALL ZAVL_GetEqual(ZAVL_Data* data, int32_t key, const void* value,
                                         uint32_t length);
/* Back to a row position returned earlier. */
ZAVL_API int32_t ZAVL_CALL ZAVL_RePos(ZAVL_Data* data, int32_t position);
/* The number of records, within the key range when one is set. */
ZAVL_API int32_t ZAVL_CALL ZAVL_GetNbRecords(ZAVL_Data* data);
/* Makes `key` current (-1: physical order) and bounds navigation to
 * [low, high]: a low value alone selects the keys that start with it; a high
 * length of 0 takes the low length. */
ZAVL_API ZAVL_BOOL ZAVL_CALL ZAVL_SetKeyrange(ZAVL_Data* data, int32_t key, const void* low,
                                              int32_t low_length, const void* high,
                                              int32_t high_length);
/* The first record whose fields `names` ("A,B,...") have, as text, the
 * values `values` (ended by a null pointer; missing values are empty texts).
 * Values are compared byte for byte with the library's own text form of each
 * field (Windows-1252, in the library's locale, French by default): booleans
 * "Vrai" and "Faux", amounts with a decimal comma and their type's decimals
 * ("174,9500" for a currency), dates day/month/year ("31/12/2014"), times
 * "hh:mm:ss", texts as stored.
 * Uses the first key whose leading segments are those fields in that order
 * (one search, then the record found is checked), else scans from the first
 * record of the current key and range. -1 when none: last error -1 when the
 * record reached by the key differs, the status that ended the scan (9)
 * otherwise; -2 with no name, no value or more values than names. A name
 * that designates no field of the table never matches. On a list handle:
 * -1 with last error -401. */
ZAVL_API int32_t ZAVL_CALL ZAVL_Locate(ZAVL_Data* data, const char* names,
                                       const char* const* values);

/* The buffer of the current record: the exchange buffer in exchange mode,
 * else the record itself in the table's (or list's) own layout. */
ZAVL_API void* ZAVL_CALL ZAVL_GetBuffer(ZAVL_Data* data);
/* Replaces that buffer by the caller's (kept alive by the caller until the
 * handle is closed) and fills it from the current record. */
ZAVL_API void ZAVL_CALL ZAVL_SetBuffer(ZAVL_Data* data, void* buffer, uint32_t size);
/* Clears a buffer of this handle's layout, freeing the memory blocks it holds. */
ZAVL_API void ZAVL_CALL ZAVL_ClearBuffer(ZAVL_Data* data, void* buffer, int32_t size);

/* Special paths: the folders of the application range, each known by a number
 * and by a name ("AppParamsRoot" = 0, "Share" = 3, "Common" = 4, "Backups" = 21,
 * "DocumentsRootID" = 33, ...), and six legacy folders (0 to 5). These five
 * functions neither touch the last error code nor fail loudly: every failure
 * is an empty result, 0, with the buffer (when given) filled with zero bytes.
 *
 * Output buffers: a result of `size` bytes or more is cut to size-1 bytes and
 * a zero; a shorter one is followed by zeros up to the end of the buffer. A
 * null buffer or a size below 1 writes nothing and returns 0.
 *
 * On 32-bit Windows they are exported under their decorated names:
 * _ZAVL_GetSpecialPathByID@12, _ZAVL_GetSpecialPathByName@12,
 * _ZAVL_ForceSpecialPathByID@8, _ZAVL_ForceSpecialPathByName@8 and
 * _ZAVL_GetLegacyPath@12. */

/* The folder of special path `id`, which must exist: the override forced for
 * it, else its entry in Paths.ini (beside the host executable), else a rule,
 * else its built-in default. 1 when a folder was found. */
ZAVL_API ZAVL_BOOL ZAVL_CALL ZAVL_GetSpecialPathByID(int32_t id, char* buffer, int32_t size);
/* The folder of `name` from Paths.ini or a rule only (no override, no
 * default); it must exist. 1 when a folder was found. */
ZAVL_API ZAVL_BOOL ZAVL_CALL ZAVL_GetSpecialPathByName(const char* name, char* buffer,
                                                       int32_t size);
/* Sets the override of special path `id` to the existing folder `path`, or
 * removes it when `path` is "". 0 when the folder does not exist (the override
 * is then left as it was). */
ZAVL_API ZAVL_BOOL ZAVL_CALL ZAVL_ForceSpecialPathByID(int32_t id, const char* path);
/* The same for a name. */
ZAVL_API ZAVL_BOOL ZAVL_CALL ZAVL_ForceSpecialPathByName(const char* name, const char* path);
/* The legacy folder `legacy_id` (0 to 5), which must exist. 1 when found. */
ZAVL_API ZAVL_BOOL ZAVL_CALL ZAVL_GetLegacyPath(int32_t legacy_id, char* buffer, int32_t size);

#ifdef __cplusplus
}
#endif

#endif /* TAVELNOR_ZAVL_H */
