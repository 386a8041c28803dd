// Shared pieces of the access layer tests: a scripted record manager put in
// front of the real one, a recorder of error reports and dialogs, and a
// registry of its own in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "data/btrieve_client.h"
#include "data/btrieve_reporting.h"
#include "data/btrv_dialogs.h"
#include "foundation/platform/process.h"
#include "foundation/string_resources.h"

namespace tavelnor::data::testing {

// One call as the scripted record manager saw it.
struct SeenCall {
  uint16_t op = 0;
  int8_t key_num = 0;
  uint8_t key_len = 0;
  uint32_t data_len = 0;        // on input
  std::string key_text;         // the key buffer up to its first zero
  std::vector<uint8_t> data;    // the data buffer's first data_len bytes on input
  bool with_id = false;         // through BTRCALLID
};

// What the script does with a call: the status to answer, and optionally
// something to write into the buffers first.
struct Answer {
  int16_t status = 0;
  std::function<void(uint8_t* data, uint32_t* data_len, uint8_t* key)> fill;
};

// While alive, every Btrieve call of the process reaches this object, which
// answers from its script (in order; 0 once the script is empty) and records
// the call. A Version call is answered 7.0 without consuming the script.
class ScriptedRecordManager {
 public:
  ScriptedRecordManager() {
    current_ = this;
    previous_ = ReplaceRecordManager({&Call, &CallId});
  }
  ~ScriptedRecordManager() {
    ReplaceRecordManager(previous_);
    current_ = nullptr;
  }
  ScriptedRecordManager(const ScriptedRecordManager&) = delete;
  ScriptedRecordManager& operator=(const ScriptedRecordManager&) = delete;

  void Then(int16_t status) { script_.push_back({status, nullptr}); }
  void Then(Answer a) { script_.push_back(std::move(a)); }
  void ThenMany(std::initializer_list<int16_t> statuses) {
    for (int16_t s : statuses) Then(s);
  }

  const std::vector<SeenCall>& calls() const { return calls_; }
  std::vector<uint16_t> ops() const {
    std::vector<uint16_t> out;
    for (const SeenCall& c : calls_) out.push_back(c.op);
    return out;
  }

 private:
  static int16_t TAVELNOR_BTR_CALL Call(uint16_t op, void* pos, void* data, uint32_t* len,
                                        void* key, uint8_t key_len, int8_t key_num) {
    return current_->Respond(op, pos, data, len, key, key_len, key_num, false);
  }
  static int16_t TAVELNOR_BTR_CALL CallId(uint16_t op, void* pos, void* data, uint32_t* len,
                                          void* key, uint8_t key_len, int8_t key_num,
                                          const uint8_t* /*client*/) {
    return current_->Respond(op, pos, data, len, key, key_len, key_num, true);
  }

  int16_t Respond(uint16_t op, void* /*pos*/, void* data, uint32_t* len, void* key,
                 uint8_t key_len, int8_t key_num, bool with_id) {
    auto* d = static_cast<uint8_t*>(data);
    auto* k = static_cast<uint8_t*>(key);
    if (op == 26) {
      if (d != nullptr && len != nullptr && *len >= 5) {
        d[0] = 7, d[1] = 0, d[2] = 0, d[3] = 0, d[4] = 'T';
        *len = 5;
      }
      return 0;
    }
    SeenCall c;
    c.op = op;
    c.key_num = key_num;
    c.key_len = key_len;
    c.data_len = len != nullptr ? *len : 0;
    c.with_id = with_id;
    if (k != nullptr) {
      const char* text = reinterpret_cast<const char*>(k);
      c.key_text.assign(text, strnlen(text, key_len));
    }
    if (d != nullptr && len != nullptr) c.data.assign(d, d + *len);
    calls_.push_back(std::move(c));
    if (script_.empty()) return 0;
    testing::Answer a = std::move(script_.front());
    script_.pop_front();
    if (a.fill) a.fill(d, len, k);
    return a.status;
  }

  static inline ScriptedRecordManager* current_ = nullptr;
  RecordManagerEntries previous_;
  std::deque<testing::Answer> script_;
  std::vector<SeenCall> calls_;
};

// Records the reports of EBtrieve::BtrvErrorFunc while alive.
class ReportRecorder {
 public:
  struct Report {
    int status;
    int operation;
    std::string file;
    std::string message;
  };
  ReportRecorder() : previous_(EBtrieve::GetBtrvErrorFunc()) {
    reports_.clear();
    EBtrieve::SetBtrvErrorFunc(&Record);
  }
  ~ReportRecorder() { EBtrieve::SetBtrvErrorFunc(previous_); }
  const std::vector<Report>& reports() const { return reports_; }

 private:
  static void Record(const BtrvErrorReport& r) {
    reports_.push_back({r.status, r.operation, r.file, r.message});
  }
  static inline std::vector<Report> reports_;
  BtrvErrorFunc previous_;
};

// Records what reaches the dialog reporter while alive.
class DialogRecorder final : public BtrvDialogReporter {
 public:
  explicit DialogRecorder(bool dialogs_shown = true) : shown_(dialogs_shown) {
    previous_ = SetBtrvDialogReporter(this);
  }
  ~DialogRecorder() override { SetBtrvDialogReporter(previous_); }
  void OpenLockNotice(std::string_view caption, std::string_view text) override {
    ++notices_opened;
    notice_caption = caption;
    notice_text = text;
  }
  void CloseLockNotice() override { ++notices_closed; }
  bool ShowErrorDialog(const platform::ErrorDialogContent& c) override {
    dialogs.push_back(c);
    return shown_;
  }

  int notices_opened = 0;
  int notices_closed = 0;
  std::string notice_caption, notice_text;
  std::vector<platform::ErrorDialogContent> dialogs;

 private:
  bool shown_;
  BtrvDialogReporter* previous_ = nullptr;
};

// A folder of its own, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    path_ = std::filesystem::temp_directory_path() /
            ("tavelnor-access-" + std::to_string(platform::CurrentProcessId()) + "-" +
             std::to_string(std::random_device{}()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::string Path(const std::string& name) const { return (path_ / name).string(); }
  std::string Root() const { return path_.string(); }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ / name, std::ios::binary) << text;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::filesystem::path path_;
};

// Both registry hives in a scratch folder while alive (empty at first).
class RegistrySandbox {
 public:
  RegistrySandbox() {
    Keep("TAVELNOR_REGISTRY_USER", user_);
    Keep("TAVELNOR_REGISTRY_MACHINE", machine_);
    platform::SetEnv("TAVELNOR_REGISTRY_USER", folder_.Path("user.ini").c_str());
    platform::SetEnv("TAVELNOR_REGISTRY_MACHINE", folder_.Path("machine.ini").c_str());
  }
  ~RegistrySandbox() {
    platform::SetEnv("TAVELNOR_REGISTRY_USER", user_ ? user_->c_str() : nullptr);
    platform::SetEnv("TAVELNOR_REGISTRY_MACHINE", machine_ ? machine_->c_str() : nullptr);
  }
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  void User(const std::string& text) const { folder_.Write("user.ini", text); }
  void Machine(const std::string& text) const { folder_.Write("machine.ini", text); }
  std::string MachineText() const { return folder_.Read("machine.ini"); }
  // The user's option word.
  void Options(uint32_t word) const {
    char buf[64];
    std::snprintf(buf, sizeof buf, "[Software\\OXA\\Common\\Settings]\nOXAOption=dword:%08x\n",
                  word);
    User(buf);
  }

 private:
  static void Keep(const char* name, std::optional<std::string>& slot) {
    slot = platform::GetEnv(name);
  }
  ScratchFolder folder_;
  std::optional<std::string> user_, machine_;
};

// The French resource language while alive.
class FrenchResources {
 public:
  FrenchResources() : lang_(ResourceLanguage()) { SetResourceLanguage(kLangFrench); }
  ~FrenchResources() { SetResourceLanguage(lang_); }

 private:
  uint16_t lang_;
};

}  // namespace tavelnor::data::testing
