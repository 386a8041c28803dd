// The process singleton registry: acquire and release of named entries in the
// block shared by every copy of the library in the process.
#include "foundation/process_singleton.h"

#include <cstdio>
#include <cstring>

#include "foundation/platform/memory.h"
#include "foundation/platform/named_objects.h"
#include "foundation/platform/process.h"

namespace tavelnor {

struct ProcessSingletonEntry {
  char* name;
  int32_t ref_count;
  EProcessObject* object;
};

namespace {

// The registry block. The third word is pointer-wide: 12 bytes on 32-bit
// systems, where the layout is the binary contract between modules.
struct RegistryBlock {
  uint32_t attach_count;
  uint32_t entry_count;
  ProcessSingletonEntry** entries;
};
static_assert(sizeof(void*) != 4 || sizeof(RegistryBlock) == 12);

// Holds the registry mutex for a scope.
class RegistryLock {
 public:
  explicit RegistryLock(ProcessSingletonModule& module) : module_(module) { module_.Lock(); }
  ~RegistryLock() { module_.Unlock(); }
  RegistryLock(const RegistryLock&) = delete;
  RegistryLock& operator=(const RegistryLock&) = delete;

 private:
  ProcessSingletonModule& module_;
};

// A mapped view of the block for a scope.
class BlockView {
 public:
  explicit BlockView(platform::NamedSection* section)
      : view_(static_cast<RegistryBlock*>(platform::MapNamedSection(section, sizeof(RegistryBlock)))) {}
  ~BlockView() { platform::UnmapNamedSection(view_); }
  BlockView(const BlockView&) = delete;
  BlockView& operator=(const BlockView&) = delete;
  RegistryBlock* get() const { return view_; }
  RegistryBlock* operator->() const { return view_; }

 private:
  RegistryBlock* view_;
};

std::string FormatName(const char* format, uint32_t process_id) {
  char buf[96];
  std::snprintf(buf, sizeof(buf), format, kSingletonBuildNumber, static_cast<unsigned>(process_id));
  return buf;
}

char* CopyName(std::string_view name) {
  auto* copy = static_cast<char*>(platform::ProcessHeapAlloc(name.size() + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, name.data(), name.size());
  copy[name.size()] = '\0';
  return copy;
}

// Steps 3 and 4 of Acquire, on a mapped block under the mutex. Returns null
// only when memory runs out.
ProcessSingletonEntry* AttachEntry(RegistryBlock* block, std::string_view name) {
  uint32_t free_slot = block->entry_count;
  for (uint32_t i = 0; i < block->entry_count; ++i) {
    ProcessSingletonEntry* e = block->entries[i];
    if (e == nullptr) {
      if (free_slot == block->entry_count) free_slot = i;
    } else if (std::strlen(e->name) == name.size() &&
               std::memcmp(e->name, name.data(), name.size()) == 0) {
      ++e->ref_count;
      return e;
    }
  }
  auto* entry = static_cast<ProcessSingletonEntry*>(
      platform::ProcessHeapAlloc(sizeof(ProcessSingletonEntry)));
  char* name_copy = CopyName(name);
  if (entry == nullptr || name_copy == nullptr) {
    platform::ProcessHeapFree(entry);
    platform::ProcessHeapFree(name_copy);
    return nullptr;
  }
  *entry = ProcessSingletonEntry{name_copy, 1, nullptr};
  if (free_slot == block->entry_count) {  // no empty slot: grow by one
    const uint32_t n = block->entry_count + 1;
    auto** grown = static_cast<ProcessSingletonEntry**>(
        platform::ProcessHeapAlloc(n * sizeof(ProcessSingletonEntry*)));
    if (grown == nullptr) {
      platform::ProcessHeapFree(name_copy);
      platform::ProcessHeapFree(entry);
      return nullptr;
    }
    if (block->entry_count != 0) {
      std::memcpy(grown, block->entries, block->entry_count * sizeof(ProcessSingletonEntry*));
    }
    platform::ProcessHeapFree(block->entries);
    block->entries = grown;
    block->entry_count = n;
  }
  block->entries[free_slot] = entry;
  return entry;
}

}  // namespace

// ---- ProcessSingletonModule ----

ProcessSingletonModule& ProcessSingletonModule::Current() {
  static auto* current = new ProcessSingletonModule(platform::CurrentProcessId());
  return *current;
}

ProcessSingletonModule::ProcessSingletonModule(uint32_t process_id)
    : mutex_name_(MutexName(process_id)), mapping_name_(MappingName(process_id)) {
  mutex_ = platform::OpenNamedMutex(mutex_name_);
  if (mutex_ == nullptr) {
    status_ = Status::Unsupported("cannot create the singleton registry mutex " + mutex_name_);
  }
}

ProcessSingletonModule::~ProcessSingletonModule() { platform::CloseNamedMutex(mutex_); }

std::string ProcessSingletonModule::MutexName(uint32_t process_id) {
  return FormatName("OXA_EProcessSingleton_Mutex_%d_%x", process_id);
}

std::string ProcessSingletonModule::MappingName(uint32_t process_id) {
  return FormatName("OXA_EProcessSingleton_Mapping_%d_%x", process_id);
}

void ProcessSingletonModule::Lock() { platform::LockNamedMutex(mutex_); }

void ProcessSingletonModule::Unlock() { platform::UnlockNamedMutex(mutex_); }

Result<ProcessSingletonModule::Snapshot> ProcessSingletonModule::TakeSnapshot() {
  if (!status_.ok()) return status_;
  RegistryLock lock(*this);
  platform::NamedSection* section =
      platform::OpenNamedSection(mapping_name_, sizeof(RegistryBlock));
  if (section == nullptr) return Status::IoError("cannot open " + mapping_name_);
  Snapshot snap;
  {
    BlockView block(section);
    if (block.get() != nullptr) {
      snap.attach_count = block->attach_count;
      for (uint32_t i = 0; i < block->entry_count; ++i) {
        Slot slot;
        if (const ProcessSingletonEntry* e = block->entries[i]) {
          slot = Slot{true, e->name, e->ref_count, e->object != nullptr};
        }
        snap.slots.push_back(std::move(slot));
      }
    }
  }
  platform::CloseNamedSection(section);
  return snap;
}

// ---- EProcessSingleton ----

EProcessSingleton::EProcessSingleton(std::string_view name, ProcessSingletonModule& module)
    : module_(&module) {
  if (!module.status().ok()) {
    status_ = module.status();
    return;
  }
  if (name.empty() || name.find('\0') != std::string_view::npos) {
    status_ = Status::InvalidArgument("invalid singleton name");
    return;
  }
  RegistryLock lock(module);
  section_ = platform::OpenNamedSection(module.mapping_name(), sizeof(RegistryBlock));
  if (section_ == nullptr) {
    status_ = Status::IoError("cannot open the singleton registry " + module.mapping_name());
    return;
  }
  {
    BlockView block(section_);
    if (block.get() != nullptr) {
      entry_ = AttachEntry(block.get(), name);
      if (entry_ != nullptr) ++block->attach_count;
    }
  }
  if (entry_ == nullptr) {
    status_ = Status::IoError("cannot attach to the singleton registry");
    platform::CloseNamedSection(section_);
    section_ = nullptr;
  }
}

EProcessSingleton::~EProcessSingleton() {
  if (entry_ == nullptr) return;
  RegistryLock lock(*module_);
  if (entry_->ref_count == 1 && entry_->object != nullptr) {
    EProcessObject* object = entry_->object;
    entry_->object = nullptr;
    delete object;
  }
  {
    BlockView block(section_);
    if (block.get() != nullptr) {
      --block->attach_count;
      if (--entry_->ref_count == 0) {
        if (block->attach_count != 0) {
          for (uint32_t i = 0; i < block->entry_count; ++i) {
            if (block->entries[i] == entry_) {
              block->entries[i] = nullptr;
              break;
            }
          }
        } else {
          platform::ProcessHeapFree(block->entries);
          block->entries = nullptr;
          block->entry_count = 0;
        }
        platform::ProcessHeapFree(entry_->name);
        platform::ProcessHeapFree(entry_);
      }
    }
  }
  entry_ = nullptr;
  platform::CloseNamedSection(section_);
}

EProcessObject* EProcessSingleton::Object() {
  if (entry_ == nullptr) return nullptr;
  RegistryLock lock(*module_);
  return entry_->object;
}

EProcessObject* EProcessSingleton::GetOrCreate(const std::function<EProcessObject*()>& create) {
  if (entry_ == nullptr) return nullptr;
  RegistryLock lock(*module_);
  if (entry_->object == nullptr) entry_->object = create();
  return entry_->object;
}

}  // namespace tavelnor
