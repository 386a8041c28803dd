// The last open's diagnosis per thread, and the opener of earlier engines'
// files.
#include "btrieve/open_diagnosis.h"

#include <mutex>

namespace tavelnor::btrieve {

namespace {

thread_local std::string t_diagnosis;

std::mutex& OpenerMutex() {
  static std::mutex mutex;
  return mutex;
}

LegacyOpener& Opener() {
  static LegacyOpener opener;
  return opener;
}

}  // namespace

const std::string& LastOpenDiagnosis() { return t_diagnosis; }

void SetLastOpenDiagnosis(std::string reason) { t_diagnosis = std::move(reason); }

int OpenLegacy(const std::string& path, std::unique_ptr<LegacySource>* out, std::string* reason) {
  LegacyOpener opener;
  {
    std::lock_guard<std::mutex> guard(OpenerMutex());
    opener = Opener();
  }
  if (opener) return opener(path, out, reason);
  return OpenLegacySource(path, out, reason);
}

bool HasLegacyOpenerForTesting() {
  std::lock_guard<std::mutex> guard(OpenerMutex());
  return static_cast<bool>(Opener());
}

void SetLegacyOpenerForTesting(LegacyOpener opener) {
  std::lock_guard<std::mutex> guard(OpenerMutex());
  Opener() = std::move(opener);
}

}  // namespace tavelnor::btrieve
