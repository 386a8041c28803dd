// What both stores share: telling the two kinds of file apart at open, and
// the one answer to a write on a store that has none.
#include <string>

#include "btrieve/btrieve_codes.h"
#include "btrieve/legacy_data_file.h"
#include "btrieve/open_diagnosis.h"
#include "btrieve/sqlite_data_file.h"
#include "foundation/platform/files.h"

namespace tavelnor::btrieve {

DataFile::~DataFile() = default;

int DataFile::Create(const std::string& path, const FileSpec& spec, bool replace) {
  return SqliteDataFile::Create(path, spec, replace);
}

int DataFile::Open(const std::string& path, std::unique_ptr<DataFile>* out) {
  SetLastOpenDiagnosis({});
  if (path.empty()) return kInvalidFileName;
  if (!platform::FileExists(path)) return kFileNotFound;
  if (SqliteDataFile::IsOwnFile(path)) return SqliteDataFile::Open(path, out);
  return LegacyDataFile::Open(path, out);
}

const std::string& DataFile::owner() const {
  static const std::string kNone;
  return kNone;
}

int DataFile::Step(bool forward, uint32_t from, uint32_t* pos, std::vector<uint8_t>* data,
                   uint64_t* stamp) {
  std::span<const uint8_t> bytes;
  int st = Step(forward, from, pos, &bytes, stamp);
  if (st == kOk) data->assign(bytes.begin(), bytes.end());
  return st;
}

// A store without writes: what an engine answers for a write on a file
// opened read-only, and nothing changes.
int DataFile::SetOwner(const std::string&, int) { return kAccessDenied; }
int DataFile::AddIndex(const FileSpec&, int) { return kAccessDenied; }
int DataFile::DropIndex(int, bool) { return kAccessDenied; }
int DataFile::Insert(std::vector<uint8_t>*, uint32_t*, WriteResult*) { return kAccessDenied; }
int DataFile::InsertMany(std::vector<std::vector<uint8_t>>*, std::vector<uint32_t>*,
                         WriteResult*) {
  return kAccessDenied;
}
int DataFile::Update(uint32_t, const std::vector<uint8_t>&, uint64_t, WriteResult*) {
  return kAccessDenied;
}
int DataFile::Delete(uint32_t, uint64_t) { return kAccessDenied; }
int DataFile::BeginTransaction() { return kAccessDenied; }
int DataFile::CommitTransaction() { return kAccessDenied; }
int DataFile::JoinConnection(DataFile&, const std::string&) { return kAccessDenied; }

}  // namespace tavelnor::btrieve
