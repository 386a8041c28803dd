// Operation names, status lists and status descriptions.
#include "data/btrv_texts.h"

#include <algorithm>
#include <iterator>

#include "data/btrv_constants.h"
#include "foundation/string_resources.h"

namespace tavelnor::data {

namespace {

struct OperationEntry {
  int code;
  const char* name;
};

// The names the error dialog shows, by exact code.
constexpr OperationEntry kOperations[] = {
    {0, "Open"},
    {1, "Close"},
    {2, "Insert"},
    {3, "Update"},
    {4, "Delete"},
    {5, "GetEqual"},
    {6, "GetNext"},
    {7, "GetPrevious"},
    {8, "Get Greater Than"},
    {9, "Get Greater Than or Equal"},
    {10, "Get Less Than"},
    {11, "Get Less Than or Equal"},
    {12, "GetFirst"},
    {13, "Get Last"},
    {14, "Create"},
    {15, "Stat"},
    {16, "Extend"},
    {17, "SetDir"},
    {18, "GetDir"},
    {19, "BeginTran"},
    {20, "EndTran"},
    {21, "AbortTran"},
    {22, "Get Position"},
    {23, "Get Direct"},
    {24, "Step Next"},
    {25, "Stop"},
    {26, "Version"},
    {27, "Unlock"},
    {28, "Reset"},
    {29, "Set Owner"},
    {30, "Clear Owner"},
    {31, "Create Index"},
    {32, "Drop Index"},
    {33, "Step First"},
    {34, "Step Last"},
    {35, "Step Previous"},
    {36, "GetNextExtended"},
    {37, "Get Previous Extended"},
    {38, "Step Next Extended"},
    {39, "Step Previous Extended"},
    {40, "Insert Extended"},
    {41, "MiscData"},
    {42, "Continuous Operation"},
    {44, "Get By Percentage"},
    {45, "Find Percentage"},
    {50, "Key"},
    {53, "Update chunk"},
    {65, "StatExtended"},
    {100, "Single record wait lock"},
    {200, "Single record no wait lock"},
    {300, "Multiple record wait lock"},
    {400, "Multiple record no wait lock"},
    {500, "No-wait page lock"},
};
static_assert(std::size(kOperations) == 53);

template <size_t N>
bool Contains(const int32_t (&list)[N], int status) {
  for (int32_t s : list) {
    if (s == status) return true;
  }
  return false;
}

}  // namespace

bool IsSilentStatus(int status) {
  // The list ends with a zero that is not a member.
  return status != 0 && Contains(kSilentStatusList, status);
}

bool IsQuietStatus(int status) { return Contains(kQuietStatusSet, status); }

const char* OperationName(int operation) {
  for (const OperationEntry& e : kOperations) {
    if (e.code == operation) return e.name;
  }
  return nullptr;
}

std::string OperationDisplayName(int operation) {
  if (const char* name = OperationName(operation)) return name;
  return "Unknown(" + std::to_string(operation) + ")";
}

std::string StatusDescription(int status) {
  if (status >= 0 && status <= 0xFFFF) {
    std::string_view text = LoadResourceString(btrids::kStatusBase + static_cast<uint32_t>(status));
    if (!text.empty()) return std::string(text);
  }
  std::string_view unknown = LoadResourceString(btrids::kUnknownError);
  if (!unknown.empty()) return std::string(unknown);
  return "Erreur inconnue";
}

}  // namespace tavelnor::data
