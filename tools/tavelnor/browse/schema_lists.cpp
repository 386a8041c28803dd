// The dictionary lists read through the library's list handles.
#include "browse/schema_lists.h"

#include <cctype>
#include <cstring>
#include <functional>

#include "browse/text_codec.h"

namespace tavelnor::tool {
namespace {

constexpr uint32_t kTableRow = 36, kFieldRow = 325, kCategoryRow = 168;

int32_t ReadI32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) |
                              (static_cast<uint32_t>(p[3]) << 24));
}

// Zero-terminated stored text of at most `room` bytes, as UTF-8.
std::string RowText(const uint8_t* p, size_t room) {
  const void* end = std::memchr(p, 0, room);
  const size_t n = end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - p) : room;
  return StoredToUtf8(std::string_view(reinterpret_cast<const char*>(p), n));
}

// Walks the rows of list `name`, handing each row (copied into `row_length`
// bytes) to `take`. False with the library's code when the list does not open
// or the walk ends on anything but the end of the list.
bool WalkList(const Schema& schema, const std::string& name, uint32_t row_length,
              const std::function<void(const uint8_t*)>& take, int32_t* error) {
  DataHandle list(schema.get(), name);
  if (!list.ok()) {
    *error = ZAVL_GetLastError();
    return false;
  }
  std::vector<uint8_t> row(row_length);
  for (int32_t pos = ZAVL_GetFirst(list.get()); pos != -1; pos = ZAVL_GetNext(list.get())) {
    const void* buffer = ZAVL_GetBuffer(list.get());
    if (buffer == nullptr) {
      *error = ZAVL_GetLastError();
      return false;
    }
    std::memcpy(row.data(), buffer, row_length);
    take(row.data());
  }
  const int32_t last = ZAVL_GetLastError();
  if (last != 9) {
    *error = last;
    return false;
  }
  *error = ZAVL_OK;
  return true;
}


}  // namespace

// File names go to the library as the system spells them.
Schema::Schema(const std::string& path, uint32_t flags)
    : schema_(ZAVL_OpenSchema(path.c_str(), flags)), flags_(flags) {}

Schema::~Schema() {
  if (schema_ != nullptr) ZAVL_CloseSchema(schema_);
}

DataHandle::DataHandle(ZAVL_Schema* schema, const std::string& name, uint32_t flags)
    : data_(ZAVL_OpenData(schema, name.c_str(), flags)) {}

DataHandle::~DataHandle() {
  if (data_ != nullptr) ZAVL_CloseData(data_);
}

bool ReadTableList(const Schema& schema, std::vector<TableInfo>* out, int32_t* error) {
  out->clear();
  return WalkList(
      schema, "", kTableRow,
      [out](const uint8_t* row) {
        out->push_back({RowText(row, 32), static_cast<uint32_t>(ReadI32(row + 32))});
      },
      error);
}

bool ReadFieldList(const Schema& schema, const std::string& table, std::vector<FieldInfo>* out,
                   int32_t* error) {
  out->clear();
  return WalkList(
      schema, "#" + table, kFieldRow,
      [out](const uint8_t* row) {
        FieldInfo f;
        f.name = RowText(row, 32);
        f.type = row[32];
        f.size = ReadI32(row + 33);
        f.precision = ReadI32(row + 37);
        f.display_name = RowText(row + 41, 128);
        f.category = RowText(row + 169, 128);
        f.user_defined = ReadI32(row + 297) != 0;
        out->push_back(std::move(f));
      },
      error);
}

bool ReadCategoryList(const Schema& schema, std::vector<CategoryInfo>* out, int32_t* error) {
  out->clear();
  return WalkList(
      schema, "@", kCategoryRow,
      [out](const uint8_t* row) {
        out->push_back(
            {RowText(row, 32), RowText(row + 32, 128), ReadI32(row + 160), ReadI32(row + 164)});
      },
      error);
}

const char* ExchangeTypeName(uint8_t type) {
  switch (type) {
    case ZAVL_FT_STRING: return "string";
    case ZAVL_FT_SMALLINT: return "smallint";
    case ZAVL_FT_INTEGER: return "integer";
    case ZAVL_FT_BOOLEAN: return "boolean";
    case ZAVL_FT_FLOAT: return "float";
    case ZAVL_FT_DATE: return "date";
    case ZAVL_FT_TIME: return "time";
    case ZAVL_FT_DATETIME: return "datetime";
    case ZAVL_FT_BYTES: return "bytes";
    case ZAVL_FT_BLOB: return "blob";
    case ZAVL_FT_MEMO: return "memo";
    case ZAVL_FT_GRAPHIC: return "graphic";
    case ZAVL_FT_FIXEDCHAR: return "char";
    case ZAVL_FT_GUID: return "guid";
    default: return "none";
  }
}

bool LibraryName(const std::string& utf8, std::string* out) {
  std::string problem;
  return Utf8ToStored(utf8, out, &problem);
}

}  // namespace tavelnor::tool
