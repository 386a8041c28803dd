// The wait notice, the error dialog's content and the dialog reporter.
#include "data/btrv_dialogs.h"

#include <cstdio>
#include <vector>

#include "data/btrieve_client.h"
#include "data/btrv_constants.h"
#include "data/btrv_help_texts.h"
#include "data/btrv_report_policy.h"
#include "data/btrv_texts.h"
#include "foundation/ini_text.h"
#include "foundation/platform/files.h"
#include "foundation/platform/path_text.h"
#include "foundation/platform/shell.h"
#include "foundation/string_resources.h"
#include "paths/app_values.h"

namespace tavelnor::data {

namespace {

constexpr size_t kMaxDiagnosticFile = size_t{4} << 20;
constexpr char kDocumentationAddress[] =
    "https://docs.actian.com/psql/psqlv13/index.html#page/codes/1to199.htm";

constexpr char kStandardHeader[] =
    "Une erreur de base de donn\xE9" "es a \xE9t\xE9 rencontr\xE9" "e.";

class PlatformReporter final : public BtrvDialogReporter {
 public:
  void OpenLockNotice(std::string_view caption, std::string_view text) override {
    platform::CloseWaitNotice(notice_);
    notice_ = platform::OpenWaitNotice(caption, text);
  }
  void CloseLockNotice() override {
    platform::CloseWaitNotice(notice_);
    notice_ = nullptr;
  }
  bool ShowErrorDialog(const platform::ErrorDialogContent& content) override {
    return platform::ShowErrorDialog(content);
  }

 private:
  platform::WaitNotice* notice_ = nullptr;
};

BtrvDialogReporter*& InstalledReporter() {
  static BtrvDialogReporter* reporter = nullptr;
  return reporter;
}

bool German() { return ResourceLanguage() == kLangGerman; }

std::string StringOr(uint32_t id, std::string_view fallback) {
  std::string_view s = LoadResourceString(id);
  return std::string(s.empty() ? fallback : s);
}

void ReplaceAll(std::string& text, std::string_view marker, std::string_view value) {
  for (size_t at = text.find(marker); at != std::string::npos;
       at = text.find(marker, at + value.size())) {
    text.replace(at, marker.size(), value);
  }
}

// Plain Windows-1252 text as rich text.
std::string RtfEscaped(std::string_view text) {
  std::string out;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\\' || c == '{' || c == '}') {
      out += '\\';
      out += ch;
    } else if (c >= 0x80 || c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\'%02x", c);
      out += buf;
    } else {
      out += ch;
    }
  }
  return out;
}

// True when `format` holds exactly the conversions %s %s %d %d %s, in order
// ("%%" aside), so that it can be given the report's five values.
bool IsReportFormat(std::string_view format) {
  std::string conversions;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (i + 1 >= format.size()) return false;
    const char c = format[++i];
    if (c == '%') continue;
    conversions += c;
  }
  return conversions == "ssdds";
}

}  // namespace

BtrvDialogReporter* SetBtrvDialogReporter(BtrvDialogReporter* reporter) {
  BtrvDialogReporter* old = InstalledReporter();
  InstalledReporter() = reporter;
  return old;
}

BtrvDialogReporter& CurrentBtrvDialogReporter() {
  static PlatformReporter platform_reporter;
  BtrvDialogReporter* installed = InstalledReporter();
  return installed != nullptr ? *installed : platform_reporter;
}

// --- ELockDlg -----------------------------------------------------------------

std::string_view ELockDlg::Text() {
  return German() ? "Sicherung ist blockiert, bitte warten..."
                  : "Enregistrement bloqu\xE9, Veuillez patienter ...";
}

ELockDlg::ELockDlg(bool show) {
  if (!show) return;
  reporter_ = &CurrentBtrvDialogReporter();
  reporter_->OpenLockNotice(LoadResourceString(kIdsApplicationTitle), Text());
}

ELockDlg::~ELockDlg() {
  if (reporter_ != nullptr) reporter_->CloseLockNotice();
}

// --- EBtrvErrDlg --------------------------------------------------------------

std::string EBtrvErrDlg::RecordManagerVersion(int status) {
  if (status == btrieve::kRecordManagerInactive || status == btrieve::kSessionInvalid ||
      status == btrieve::kCommunicationError) {
    return StringOr(btrids::kNotAvailable, "<Non disponible>");
  }
  uint8_t pos_block[128] = {};
  uint8_t data[6] = {};
  uint8_t key[255] = {};
  uint16_t length = sizeof data;
  if (BtrvCall(btrieve::kOpVersion, pos_block, data, &length, key, 0) != 0 || length < 5) {
    return StringOr(btrids::kNotAvailable, "<Non disponible>");
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d.%d-%c", data[0] | (data[1] << 8), data[2] | (data[3] << 8),
                static_cast<char>(data[4]));
  return buf;
}

std::string EBtrvErrDlg::DiagnosticText(int status) {
  const std::string exe = platform::HostExecutablePath();
  if (!exe.empty()) {
    const std::string file = platform::JoinPath(
        platform::JoinPath(platform::DirectoryPart(exe), "BtrvErrs"),
        "BTRV-" + std::to_string(status) + ".rtf");
    if (platform::FileExists(file)) {
      Result<std::vector<uint8_t>> bytes = platform::ReadWholeFile(file, kMaxDiagnosticFile);
      if (bytes.ok()) return std::string(bytes->begin(), bytes->end());
    }
  }
  if (std::optional<std::string> name =
          FindIniValue(BtrvDiagIndex(), "BtrvDiag", std::to_string(status))) {
    std::string_view text = FindHelpText(*name);
    if (!text.empty()) return std::string(text);
  }
  return std::string(FindHelpText("IDR_EDLG_DIAGDEF"));
}

EBtrvErrDlg::EBtrvErrDlg(const BtrvErrorReport& r) {
  platform::ErrorDialogContent& c = content_;
  const bool de = German();
  c.title = paths::AppName();
  if (c.title.empty()) c.title = StringOr(btrids::kErrorTitle, "Erreur");
  const std::string standard_header =
      StringOr(btrids::kErrorHeader, kStandardHeader);
  c.header = (r.message != nullptr && r.message[0] != '\0') ? std::string(r.message)
                                                             : standard_header;
  c.code_label = "Code :";
  c.code = std::to_string(r.status);
  c.operation_label = de ? "Operation :" : "Op\xE9ration :";
  c.operation = r.operation == -1 ? StringOr(btrids::kUnknownOperation, "<Inconnue>")
                                  : OperationDisplayName(r.operation);
  c.file_label = de ? "Datei :" : "Fichier :";
  c.file = (r.file != nullptr && r.file[0] != '\0') ? std::string(r.file)
                                                    : StringOr(btrids::kUnknownFile, "<Inconnu>");
  c.description = StatusDescription(r.status);
  c.tab_labels[0] = StringOr(btrids::kTabDetail, "D\xE9tail");
  c.tab_labels[1] = StringOr(btrids::kTabSupport, "Support");

  std::string tech(FindHelpText("IDR_EDLG_TECH"));
  ReplaceAll(tech, "%status%", std::to_string(r.status));
  ReplaceAll(tech, "%desc%", RtfEscaped(c.description));
  ReplaceAll(tech, "%btrvversion%", RtfEscaped(RecordManagerVersion(r.status)));
  ReplaceAll(tech, "%disk%", RtfEscaped(StringOr(btrids::kNotAvailable, "<Non disponible>")));
  c.panes[0] = tech;
  c.panes[1] = DiagnosticText(r.status);
  c.close_label = de ? "Schlie\xDF" "en" : "Fermer";
  c.link_label = "Voir la documentation de Pervasive";
  c.link_address = kDocumentationAddress;
  const ReportOptions options = ReadReportOptions();
  c.show_link = options.show() || options.strict();
}

bool EBtrvErrDlg::DoModal() {
  shown_ = CurrentBtrvDialogReporter().ShowErrorDialog(content_);
  return shown_;
}

std::string FormatErrorMessage(const BtrvErrorReport& r) {
  std::string_view format = LoadResourceString(btrids::kReportFormat);
  if (format.empty() || !IsReportFormat(format)) {
    format = "%s\n\t%s\n\tErreur %d\n\tOperation %d\n\tFichier %s";
  }
  const std::string header =
      (r.message != nullptr && r.message[0] != '\0')
          ? std::string(r.message)
          : StringOr(btrids::kErrorHeader, kStandardHeader);
  const std::string description = StatusDescription(r.status);
  const std::string fmt(format);
  const char* file = r.file != nullptr ? r.file : "";
  const int n = std::snprintf(nullptr, 0, fmt.c_str(), header.c_str(), description.c_str(),
                              r.status, r.operation, file);
  if (n < 0) return header;
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), fmt.c_str(), header.c_str(), description.c_str(),
                r.status, r.operation, file);
  out.resize(static_cast<size_t>(n));
  return out;
}

}  // namespace tavelnor::data
