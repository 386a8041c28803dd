/* A host program written in C, as the library's users write them: it includes
 * only the public header, links the shared library and walks the whole
 * exported interface over a dictionary (and whatever data lies beside it).
 *
 *   c_host DICTIONARY [client|embedded]
 *
 * On Windows the second argument says which record manager the library must
 * have reached: "client" the w3btrv7.dll beside it (imported by ordinal),
 * "embedded" its own (no w3btrv7.dll to be found); and two threads walk the
 * first table at once, each through handles of its own. Exits 0 when every check held; prints each failed check and exits 1. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tavelnor/zavl.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#include "c_host_check.h"

/* Row layouts of the lists. */
#define TABLE_ROW_NAME 0
#define TABLE_ROW_LENGTH 32
#define FIELD_ROW_TYPE 32
#define FIELD_ROW_SIZE 33
#define MAX_TABLES 64

static int32_t load32(const void* p) {
  int32_t v;
  memcpy(&v, p, 4);
  return v;
}

static void check_bad_handles(ZAVL_Schema* schema) {
  ZAVL_Data* as_data = (ZAVL_Data*)schema; /* a handle of the other kind */
  ZAVL_Data* bad[2];
  int i;
  bad[0] = NULL;
  bad[1] = as_data;
  for (i = 0; i < 2; ++i) {
    CHECK(ZAVL_GetFirst(bad[i]) == 0 && ZAVL_GetLastError() == ZAVL_ERR_HANDLE);
    CHECK(ZAVL_GetNext(bad[i]) == 0 && ZAVL_GetLastError() == ZAVL_ERR_HANDLE);
    CHECK(ZAVL_GetNbRecords(bad[i]) == 0 && ZAVL_GetLastError() == ZAVL_ERR_HANDLE);
    CHECK(ZAVL_GetBuffer(bad[i]) == NULL && ZAVL_GetLastError() == ZAVL_ERR_HANDLE);
    CHECK(!ZAVL_SetKeyrange(bad[i], 0, NULL, 0, NULL, 0));
    ZAVL_CloseData(bad[i]);
    CHECK(ZAVL_GetLastError() == ZAVL_ERR_HANDLE);
  }
  CHECK(ZAVL_GetDicoVersion((ZAVL_Schema*)NULL) == 0);
  CHECK(ZAVL_OpenData(NULL, "", 0) == NULL && ZAVL_GetLastError() == ZAVL_ERR_HANDLE);
  CHECK(ZAVL_OpenData(schema, "NoSuchTable", 0) == NULL);
  CHECK(ZAVL_GetLastError() == ZAVL_ERR_NOT_A_TABLE);
}

/* Walks a table both ways and checks the counts, the current row and the
 * return to a remembered row. */
static void walk_table(ZAVL_Schema* schema, const char* name) {
  ZAVL_Data* d = ZAVL_OpenData(schema, name, 0);
  int32_t count, forward = 0, backward = 0, pos, first = -1;
  const unsigned char* buffer;
  CHECK(d != NULL);
  if (d == NULL) return;
  buffer = (const unsigned char*)ZAVL_GetBuffer(d);
  CHECK(buffer != NULL);
  CHECK(ZAVL_GetCurrent(d) == -1);
  count = ZAVL_GetNbRecords(d);
  CHECK(count >= 0);
  for (pos = ZAVL_GetFirst(d); pos != -1; pos = ZAVL_GetNext(d)) {
    if (first == -1) first = pos;
    ++forward;
  }
  CHECK(ZAVL_GetLastError() == 9);
  for (pos = ZAVL_GetLast(d); pos != -1; pos = ZAVL_GetPrevious(d)) ++backward;
  CHECK(forward == count && backward == count);
  printf("  %-16s %8d records\n", name, (int)count);
  if (first != -1) {
    CHECK(ZAVL_RePos(d, first) == first);
    CHECK(ZAVL_GetCurrent(d) == first);
  }
  CHECK(ZAVL_RePos(d, -1) == -1 && ZAVL_GetLastError() == 43);
  ZAVL_CloseData(d);
  CHECK(ZAVL_GetLastError() == ZAVL_OK);
}

/* In exchange mode: the caller's buffer receives the records, is cleared by
 * the library and stays the caller's. */
static void exchange_table(ZAVL_Schema* exchange, const char* name, int32_t size) {
  ZAVL_Data* d = ZAVL_OpenData(exchange, name, 0);
  unsigned char* mine;
  CHECK(d != NULL);
  if (d == NULL || size <= 0) {
    ZAVL_CloseData(d);
    return;
  }
  mine = (unsigned char*)calloc((size_t)size, 1);
  ZAVL_SetBuffer(d, mine, (uint32_t)size);
  CHECK(ZAVL_GetBuffer(d) == mine);
  if (ZAVL_GetFirst(d) != -1) CHECK(ZAVL_GetNext(d) != 0);
  ZAVL_ClearBuffer(d, mine, size);
  CHECK(ZAVL_GetLastError() == ZAVL_OK);
  ZAVL_CloseData(d);
  CHECK(ZAVL_GetLastError() == ZAVL_OK);
  free(mine);
}

/* The sum of the exchange slot sizes of a table, from its field list in
 * exchange mode. */
static int32_t exchange_size_of(ZAVL_Schema* exchange_schema, const char* table) {
  char name[40];
  ZAVL_Data* fields;
  int32_t total = 0, pos;
  snprintf(name, sizeof name, "#%s", table);
  fields = ZAVL_OpenData(exchange_schema, name, 0);
  CHECK(fields != NULL);
  if (fields == NULL) return 0;
  for (pos = ZAVL_GetFirst(fields); pos != -1; pos = ZAVL_GetNext(fields)) {
    const unsigned char* row = (const unsigned char*)ZAVL_GetBuffer(fields);
    total += load32(row + FIELD_ROW_SIZE);
  }
  ZAVL_CloseData(fields);
  return total;
}

#if defined(_WIN32)
struct thread_walk {
  const char* dictionary;
  const char* table;
  int32_t rows;
};

static DWORD WINAPI walk_in_thread(LPVOID arg) {
  struct thread_walk* w = (struct thread_walk*)arg;
  ZAVL_Schema* s = ZAVL_OpenSchema(w->dictionary, SCHEMA_QUIET);
  ZAVL_Data* d = s ? ZAVL_OpenData(s, w->table, 0) : NULL;
  int32_t pos;
  w->rows = -1;
  if (d != NULL) {
    w->rows = 0;
    for (pos = ZAVL_GetFirst(d); pos != -1; pos = ZAVL_GetNext(d)) ++w->rows;
    ZAVL_CloseData(d);
  }
  if (s != NULL) ZAVL_CloseSchema(s);
  return 0;
}

/* Two threads at once, each with its own handles: both see every row. */
static void check_two_threads(const char* dictionary, ZAVL_Schema* schema, const char* table) {
  struct thread_walk walks[2] = {{dictionary, table, 0}, {dictionary, table, 0}};
  HANDLE threads[2];
  int32_t expected;
  int i;
  ZAVL_Data* d = ZAVL_OpenData(schema, table, 0);
  CHECK(d != NULL);
  if (d == NULL) return;
  expected = ZAVL_GetNbRecords(d);
  ZAVL_CloseData(d);
  for (i = 0; i < 2; ++i) threads[i] = CreateThread(NULL, 0, walk_in_thread, &walks[i], 0, NULL);
  CHECK(threads[0] != NULL && threads[1] != NULL);
  WaitForMultipleObjects(2, threads, TRUE, INFINITE);
  for (i = 0; i < 2; ++i) {
    CloseHandle(threads[i]);
    CHECK(walks[i].rows == expected);
  }
}

/* Which record manager the library reached. */
static void check_record_manager(const char* expected) {
  int client_loaded = GetModuleHandleA("w3btrv7.dll") != NULL;
  if (strcmp(expected, "client") == 0) {
    CHECK(client_loaded);
  } else {
    CHECK(strcmp(expected, "embedded") == 0 && !client_loaded);
  }
}
#endif

int main(int argc, char** argv) {
  ZAVL_Schema* schema;
  ZAVL_Schema* exchange;
  ZAVL_Data* tables;
  char names[MAX_TABLES][32];
  int n = 0, i;
  int32_t pos;
  char path[512];

  if (argc != 2 && argc != 3) {
    fprintf(stderr, "usage: c_host DICTIONARY [client|embedded]\n");
    return 2;
  }
  /* A dictionary that cannot be loaded, named every way a host may name it. */
  CHECK(ZAVL_OpenSchema("no/such/dictionary.dic", 0) == NULL);
  CHECK(ZAVL_GetLastError() == ZAVL_ERR_DICO_LOAD);
  CHECK(ZAVL_OpenSchema("none.dic", 0) == NULL);
  CHECK(ZAVL_GetLastError() == ZAVL_ERR_DICO_LOAD);
  CHECK(ZAVL_OpenSchema("", SCHEMA_QUIET) == NULL);
  CHECK(ZAVL_GetLastError() == ZAVL_ERR_DICO_LOAD);
  CHECK(ZAVL_OpenSchema(NULL, 0) == NULL);
  CHECK(ZAVL_GetLastError() == ZAVL_ERR_DICO_LOAD);
  schema = ZAVL_OpenSchema(argv[1], SCHEMA_QUIET);
  exchange = ZAVL_OpenSchema(argv[1], SCHEMA_EXCHANGE | SCHEMA_QUIET);
  if (schema == NULL || exchange == NULL) {
    fprintf(stderr, "cannot open %s: last error %d\n", argv[1], (int)ZAVL_GetLastError());
    return 1;
  }
  CHECK(ZAVL_GetDicoVersion(schema) >= 0 && ZAVL_GetLastError() == ZAVL_OK);
  check_bad_handles(schema);

  /* The table list: names and record lengths. */
  tables = ZAVL_OpenData(schema, "", 0);
  CHECK(tables != NULL);
  for (pos = ZAVL_GetFirst(tables); pos != -1 && n < MAX_TABLES; pos = ZAVL_GetNext(tables)) {
    const char* row = (const char*)ZAVL_GetBuffer(tables);
    memcpy(names[n], row + TABLE_ROW_NAME, 32);
    names[n][31] = 0;
    CHECK(load32(row + TABLE_ROW_LENGTH) > 0);
    ++n;
  }
  CHECK(n > 0 && ZAVL_GetNbRecords(tables) == n);
  CHECK(ZAVL_GetPrevious(tables) == -1 && ZAVL_GetLastError() == 9);
  ZAVL_CloseData(tables);

  /* The fixed descriptions and the categories. */
  {
    const char* lists[3] = {"#", "#@", "##"};
    const int32_t rows[3] = {9, 4, 2};
    for (i = 0; i < 3; ++i) {
      ZAVL_Data* d = ZAVL_OpenData(schema, lists[i], 0);
      CHECK(d != NULL && ZAVL_GetNbRecords(d) == rows[i]);
      CHECK(ZAVL_GetLast(d) == rows[i]);
      ZAVL_CloseData(d);
    }
    ZAVL_Data* cats = ZAVL_OpenData(schema, "@", 0);
    CHECK(cats != NULL);
    if (cats != NULL) {
      for (pos = ZAVL_GetFirst(cats); pos != -1; pos = ZAVL_GetNext(cats)) {
        CHECK(((const char*)ZAVL_GetBuffer(cats))[0] != 0);
      }
      ZAVL_CloseData(cats);
    }
  }

  for (i = 0; i < n; ++i) {
    walk_table(schema, names[i]);
    exchange_table(exchange, names[i], exchange_size_of(exchange, names[i]));
  }

#if defined(_WIN32)
  if (n > 0) check_two_threads(argv[1], schema, names[0]);
  if (argc == 3) check_record_manager(argv[2]);
#endif

  /* Locate on a list handle is refused. */
  {
    const char* values[2] = {"x", NULL};
    ZAVL_Data* d = ZAVL_OpenData(schema, "", 0);
    CHECK(ZAVL_Locate(d, "szName", values) == -1);
    CHECK(ZAVL_GetLastError() == ZAVL_ERR_NOT_A_TABLE);
    ZAVL_CloseData(d);
  }

  /* Special paths answer without touching the last error. */
  CHECK(ZAVL_GetSpecialPathByID(-12345, path, (int32_t)sizeof path) == 0 && path[0] == 0);
  CHECK(ZAVL_GetLegacyPath(99, path, (int32_t)sizeof path) == 0);

  ZAVL_CloseSchema(exchange);
  ZAVL_CloseSchema(schema);
  CHECK(ZAVL_GetLastError() == ZAVL_OK);
  if (failures) {
    fprintf(stderr, "%d check(s) failed\n", failures);
    return 1;
  }
  printf("c_host: %d tables walked through the exported interface\n", n);
  return 0;
}
