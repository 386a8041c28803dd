/* A host program in C over a dictionary that "tavelnor dico from-ddf" wrote
 * from the sample DDF set (tests/ddf/ddf_samples.h): the table list, the
 * field list of the table of every type, and its records read raw along
 * keys 0 and 1.
 *
 *   c_host_ddf DICTIONARY RECORDS
 *
 * Exits 0 when every check held; prints each failed check and exits 1. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tavelnor/zavl.h"

#include "c_host_check.h"

#define TABLE_ROW_LENGTH 32
#define FIELD_ROW_TYPE 32
#define FIELD_ROW_SIZE 33

/* The record of the table of every type, as the DDF set lays it out. */
#define RECORD_LENGTH 189
#define AT_ID 0
#define AT_DAY 58
#define AT_NAME 157 /* STRING 12, blank-padded */
#define AT_LNAME 169 /* LSTRING 10: kept as bytes */
#define AT_ZNAME 179 /* ZSTRING 10 */

static int32_t load32(const unsigned char* p) {
  return (int32_t)((uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24);
}

/* The type code and size the field list gives for `name`; 0 when absent. */
static int field_of(ZAVL_Schema* schema, const char* name, int* type, int32_t* size) {
  ZAVL_Data* fields = ZAVL_OpenData(schema, "#EveryType", 0);
  int found = 0;
  int32_t pos;
  CHECK(fields != NULL);
  if (fields == NULL) return 0;
  for (pos = ZAVL_GetFirst(fields); pos != -1 && !found; pos = ZAVL_GetNext(fields)) {
    const unsigned char* row = (const unsigned char*)ZAVL_GetBuffer(fields);
    if (strncmp((const char*)row, name, 32) == 0) {
      *type = row[FIELD_ROW_TYPE];
      *size = load32(row + FIELD_ROW_SIZE);
      found = 1;
    }
  }
  ZAVL_CloseData(fields);
  return found;
}

static void check_fields(ZAVL_Schema* schema) {
  /* Our types where the bytes read the same; bytes (listed as type 14)
   * for the DDF types none of ours reads. */
  static const struct {
    const char* name;
    int type;
    int32_t size;
  } want[] = {{"Id", 1, 4},    {"I1", 13, 1},   {"I8", 26, 8},    {"U2", 16, 2},   {"F4", 23, 4},
              {"F8", 2, 8},    {"Day", 4, 4},   {"Hour", 5, 4},   {"Stamp", 28, 8}, {"Cur", 29, 8},
              {"Yes", 19, 1},  {"Guid", 30, 16}, {"Name", 7, 12}, {"ZName", 0, 10}, {"Dec", 14, 6},
              {"B8", 14, 8},   {"NumSTS", 14, 8}, {"LName", 14, 10}, {"Bit3", 14, 1}};
  size_t i;
  for (i = 0; i < sizeof want / sizeof want[0]; ++i) {
    int type = -1;
    int32_t size = -1;
    if (!field_of(schema, want[i].name, &type, &size)) {
      fprintf(stderr, "field %s not listed\n", want[i].name);
      ++failures;
      continue;
    }
    if (type != want[i].type || size != want[i].size) {
      fprintf(stderr, "field %s: type %d size %d, expected %d and %d\n", want[i].name, type, (int)size,
              want[i].type, (int)want[i].size);
      ++failures;
    }
  }
}

/* Whether `n` bytes are `prefix`, then 'a's, then `pad` bytes. */
static int sample_text(const unsigned char* p, size_t n, const char* prefix, size_t text, unsigned char pad) {
  size_t k, lead = strlen(prefix);
  if (text < lead || text > n || memcmp(p, prefix, lead) != 0) return 0;
  for (k = lead; k < text; ++k) {
    if (p[k] != 'a') return 0;
  }
  for (k = text; k < n; ++k) {
    if (p[k] != pad) return 0;
  }
  return 1;
}

/* One record of the every-type table, read raw: record `id` (1-based). */
static void check_record(const unsigned char* r, int32_t id) {
  char prefix[16];
  size_t text;
  CHECK(load32(r + AT_ID) == id);
  /* Every text column holds 0x8F, the record number from 0, then up to
   * four 'a's: the zero-terminated one, zero-padded... */
  snprintf(prefix, sizeof prefix, "\x8f%d", (int)(id - 1));
  for (text = 0; text < 10 && r[AT_ZNAME + text] != 0;) ++text;
  CHECK(sample_text(r + AT_ZNAME, 10, prefix, text, 0));
  /* ...the fixed one, blank-padded... */
  for (text = 12; text > 0 && r[AT_NAME + text - 1] == ' ';) --text;
  CHECK(sample_text(r + AT_NAME, 12, prefix, text, ' '));
  /* ...and the length-prefixed one, kept as bytes: the count, then the text. */
  CHECK(r[AT_LNAME] <= 9 && sample_text(r + AT_LNAME + 1, r[AT_LNAME], prefix, r[AT_LNAME], 0));
  /* An empty date, or a valid one. */
  CHECK(load32(r + AT_DAY) == 0 || (r[AT_DAY] >= 1 && r[AT_DAY] <= 31 && r[AT_DAY + 1] >= 1 && r[AT_DAY + 1] <= 12));
}

static void check_every_type(ZAVL_Schema* schema, int32_t records) {
  ZAVL_Data* d = ZAVL_OpenData(schema, "EveryType", 0);
  int32_t pos, n = 0;
  unsigned char previous[12];
  int32_t id = 150;
  CHECK(d != NULL);
  if (d == NULL) return;
  CHECK(ZAVL_GetNbRecords(d) == records);
  /* Key 0, the AUTOINCREMENT column: 1, 2, 3... */
  CHECK(ZAVL_SetKeyrange(d, 0, NULL, 0, NULL, 0));
  for (pos = ZAVL_GetFirst(d); pos != -1; pos = ZAVL_GetNext(d)) {
    ++n;
    check_record((const unsigned char*)ZAVL_GetBuffer(d), n);
  }
  CHECK(ZAVL_GetLastError() == 9 && n == records);
  /* A record found by its key value. */
  CHECK(ZAVL_GetEqual(d, 0, &id, 4) != -1);
  CHECK(load32((const unsigned char*)ZAVL_GetBuffer(d) + AT_ID) == 150);
  /* Key 1 (Name, I2, Day): the names in order of their bytes. */
  CHECK(ZAVL_SetKeyrange(d, 1, NULL, 0, NULL, 0));
  n = 0;
  for (pos = ZAVL_GetFirst(d); pos != -1; pos = ZAVL_GetNext(d)) {
    const unsigned char* r = (const unsigned char*)ZAVL_GetBuffer(d);
    if (n > 0) CHECK(memcmp(previous, r + AT_NAME, 12) <= 0);
    memcpy(previous, r + AT_NAME, 12);
    ++n;
  }
  CHECK(n == records);
  ZAVL_CloseData(d);
}

int main(int argc, char** argv) {
  ZAVL_Schema* schema;
  ZAVL_Data* tables;
  int32_t pos, records;
  int n = 0, every = 0, notes = 0;

  if (argc != 3) {
    fprintf(stderr, "usage: c_host_ddf DICTIONARY RECORDS\n");
    return 2;
  }
  records = (int32_t)atol(argv[2]);
  schema = ZAVL_OpenSchema(argv[1], SCHEMA_QUIET);
  if (schema == NULL) {
    fprintf(stderr, "cannot open %s: last error %d\n", argv[1], (int)ZAVL_GetLastError());
    return 1;
  }
  /* The table list: the two tables of the set and their record lengths. */
  tables = ZAVL_OpenData(schema, "", 0);
  CHECK(tables != NULL);
  for (pos = ZAVL_GetFirst(tables); tables != NULL && pos != -1; pos = ZAVL_GetNext(tables)) {
    const unsigned char* row = (const unsigned char*)ZAVL_GetBuffer(tables);
    if (strcmp((const char*)row, "EveryType") == 0) every = load32(row + TABLE_ROW_LENGTH) == RECORD_LENGTH;
    if (strcmp((const char*)row, "Notes") == 0) notes = load32(row + TABLE_ROW_LENGTH) == 4;
    ++n;
  }
  CHECK(n == 2 && every && notes);
  ZAVL_CloseData(tables);

  check_fields(schema);
  check_every_type(schema, records);
  {
    ZAVL_Data* d = ZAVL_OpenData(schema, "Notes", 0);
    CHECK(d != NULL && ZAVL_GetNbRecords(d) == 3);
    ZAVL_CloseData(d);
  }
  ZAVL_CloseSchema(schema);
  if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
  return failures ? 1 : 0;
}
