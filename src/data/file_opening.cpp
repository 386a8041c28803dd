// Open or create a table's data file.
#include "data/file_opening.h"

#include "data/btrv_constants.h"
#include "data/btrv_file.h"
#include "dico/dico_classes.h"

namespace tavelnor::data {

int16_t OpenOrCreate(BtrvFile& file, const dico::DRubricTable* table, const Chaine& path,
                     int16_t mode, bool extended, std::string_view owner, bool create_only) {
  const auto btrieve_mode = static_cast<int16_t>(static_cast<int8_t>(mode & 0xFF));
  if (!owner.empty()) file.SetOwnerName(owner);
  int16_t status = create_only ? int16_t{btrieve::kFileNotFound} : file.Open(path, btrieve_mode);
  if (status != btrieve::kFileNotFound || btrieve_mode == -2 || table == nullptr) return status;
  file.SetFileName(path);
  status = file.BuildCreationSpec(*table, extended);
  if (status == 0) status = file.Create();
  if (status != 0) return status;
  if (!owner.empty()) {
    status = file.Open(path, 0);
    if (status != 0) return status;
    status = file.SetOwner(owner, 0);
    file.Close();
    if (status != 0) return status;
  }
  return file.Open(path, btrieve_mode);
}

uint32_t DefinitionRecordLength(const dico::DRubricTable& table, bool extended) {
  return extended ? table.GetExtendedRecordLength() : table.GetRecordLength();
}

}  // namespace tavelnor::data
