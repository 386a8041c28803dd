// Waits between processes, published in the lock folder (process_waits.h).
#include "btrieve/process_waits.h"

#include <charconv>
#include <cstdio>
#include <string_view>
#include <utility>

#include "foundation/platform/process.h"

namespace tavelnor::btrieve {

namespace {

constexpr char kHeader[] = "tavelnor-waits 1\n";
constexpr size_t kMaxFileBytes = 65536;
constexpr size_t kMaxNameBytes = 64;

uint32_t Fnv1a(std::string_view text) {
  uint32_t h = 2166136261u;
  for (char c : text) h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
  return h;
}

std::string FileOf(const std::string& folder, uint32_t pid) {
  return folder + "/w-" + std::to_string(pid);
}

// Lock file names are identities: letters, digits and dashes.
bool IsName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameBytes) return false;
  for (char c : name) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                    c == '-';
    if (!ok) return false;
  }
  return true;
}

// Splits off the text up to `sep`; false when there is none.
bool Take(std::string_view* rest, char sep, std::string_view* part) {
  const size_t at = rest->find(sep);
  if (at == std::string_view::npos) return false;
  *part = rest->substr(0, at);
  rest->remove_prefix(at + 1);
  return true;
}

template <typename T>
bool Number(std::string_view text, int base, T* out) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out, base);
  return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::string ProcessWaits::Format(const std::vector<ProcessWait>& waits) {
  std::string text = kHeader;
  for (size_t i = 0; i < waits.size() && i < kMaxWaits; ++i) {
    const ProcessWait& w = waits[i];
    text += std::to_string(w.pid) + ' ' + w.wanted.lock_name + ' ' +
            std::to_string(w.wanted.offset);
    if (w.any_held || w.held.size() > kMaxHeld) {
      text += " *";
    } else {
      for (const LockByte& b : w.held) text += ' ' + b.lock_name + '/' + std::to_string(b.offset);
    }
    text += '\n';
  }
  char end[24];
  std::snprintf(end, sizeof end, "end %08x\n", Fnv1a(text));
  return text + end;
}

bool ProcessWaits::Parse(const std::string& text, std::vector<ProcessWait>* out) {
  out->clear();
  std::string_view rest(text);
  if (rest.substr(0, sizeof kHeader - 1) != kHeader) return false;
  rest.remove_prefix(sizeof kHeader - 1);
  for (std::string_view line; Take(&rest, '\n', &line);) {
    if (line.substr(0, 4) == "end ") {
      uint32_t sum = 0;
      const size_t body = text.size() - rest.size() - line.size() - 1;
      return rest.empty() && Number(line.substr(4), 16, &sum) &&
             sum == Fnv1a(std::string_view(text).substr(0, body));
    }
    if (out->size() == kMaxWaits) return false;
    std::vector<std::string_view> words;
    for (std::string_view word; !line.empty() && words.size() <= kMaxHeld + 3;) {
      if (!Take(&line, ' ', &word)) word = std::exchange(line, std::string_view());
      words.push_back(word);
    }
    ProcessWait w;
    if (words.size() < 3 || words.size() > kMaxHeld + 3 || !Number(words[0], 10, &w.pid) ||
        !IsName(words[1]) || !Number(words[2], 10, &w.wanted.offset)) {
      return false;
    }
    w.wanted.lock_name.assign(words[1]);
    w.any_held = words.size() == 4 && words[3] == "*";
    for (size_t i = 3; i < words.size() && !w.any_held; ++i) {
      std::string_view item = words[i], name;
      LockByte b;
      if (!Take(&item, '/', &name) || !IsName(name) || !Number(item, 10, &b.offset)) return false;
      b.lock_name.assign(name);
      w.held.push_back(std::move(b));
    }
    out->push_back(std::move(w));
  }
  return false;  // no end line: torn or cut
}

void ProcessWaits::Publish(const std::vector<ProcessWait>& waits) {
  if (waits == published_) return;
  if (waits.empty()) {
    if (own_) own_->Unlock(kWaitingByte, 1);
    published_.clear();
    return;
  }
  const std::string folder = platform::LockFolder();
  if (folder.empty()) return;
  if (!own_ || folder != folder_) {
    own_ = std::make_unique<platform::RangeLockFile>();
    folder_ = folder;
    if (!own_->Open(FileOf(folder, platform::CurrentProcessId())).ok()) {
      own_.reset();
      return;
    }
  }
  // Written under the lock: a reader that finds the byte held reads either
  // the whole of one publication or a text whose check fails.
  if (own_->Write(Format(waits)) && own_->TryLock(kWaitingByte, 1, platform::RangeLockMode::kExclusive)) {
    published_ = waits;
  } else {
    own_->Unlock(kWaitingByte, 1);
    published_.clear();
  }
}

std::vector<ProcessWait> ProcessWaits::Of(uint32_t pid) {
  std::vector<ProcessWait> waits;
  const std::string folder = platform::LockFolder();
  if (folder.empty() || pid == 0) return waits;
  platform::RangeLockFile file;
  if (!file.OpenToRead(FileOf(folder, pid)).ok()) return waits;
  // Held by the process itself: a live wait, not a leftover of an earlier
  // process with the same id.
  if (file.HolderOf(kWaitingByte, 1, platform::RangeLockMode::kShared) != pid) return waits;
  std::string text;
  if (!file.Read(kMaxFileBytes, &text) || !Parse(text, &waits)) waits.clear();
  return waits;
}

}  // namespace tavelnor::btrieve
