// Owning wrappers of the library's handles, and the dictionary's three lists
// (tables, fields of a table, categories) read row by row through them.
//
// Names given to the library are in the stored code page (see text_codec.h);
// every text these functions return is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tavelnor/zavl.h"

namespace tavelnor::tool {

class Schema {
 public:
  Schema() = default;
  // Opens the dictionary file `path` with `flags`; check ok().
  Schema(const std::string& path, uint32_t flags);
  ~Schema();
  Schema(const Schema&) = delete;
  Schema& operator=(const Schema&) = delete;

  bool ok() const { return schema_ != nullptr; }
  ZAVL_Schema* get() const { return schema_; }
  bool exchange() const { return (flags_ & SCHEMA_EXCHANGE) != 0; }

 private:
  ZAVL_Schema* schema_ = nullptr;
  uint32_t flags_ = 0;
};

class DataHandle {
 public:
  DataHandle(ZAVL_Schema* schema, const std::string& name, uint32_t flags = 0);
  // Takes over a handle the caller opened (null allowed).
  explicit DataHandle(ZAVL_Data* data) : data_(data) {}
  ~DataHandle();
  DataHandle(const DataHandle&) = delete;
  DataHandle& operator=(const DataHandle&) = delete;

  bool ok() const { return data_ != nullptr; }
  ZAVL_Data* get() const { return data_; }

 private:
  ZAVL_Data* data_ = nullptr;
};

struct TableInfo {
  std::string name;
  uint32_t length = 0;  // the record length, or the exchange length in exchange mode
};

struct FieldInfo {
  std::string name;
  int type = 0;       // type code, or exchange type in exchange mode
  int32_t size = 0;   // size, or slot size in exchange mode
  int32_t precision = 0;
  std::string display_name;
  std::string category;
  bool user_defined = false;
};

struct CategoryInfo {
  std::string name;
  std::string label;
  int32_t property = 0;
  int32_t value = 0;
};

// Each reads a whole list; false with *error set to the library's code when
// the list cannot be opened or a row cannot be read.
bool ReadTableList(const Schema& schema, std::vector<TableInfo>* out, int32_t* error);
bool ReadFieldList(const Schema& schema, const std::string& table, std::vector<FieldInfo>* out,
                   int32_t* error);
bool ReadCategoryList(const Schema& schema, std::vector<CategoryInfo>* out, int32_t* error);

// A short name of an exchange type ("string", "integer", "date"...).
const char* ExchangeTypeName(uint8_t type);

// A table name from the command line (UTF-8) as the library takes it; false
// when the stored code page cannot hold it.
bool LibraryName(const std::string& utf8, std::string* out);

}  // namespace tavelnor::tool
