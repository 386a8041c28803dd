#include <iostream>

#include "tavelnor/zavl.h"
#include "tool_commands.h"

namespace tavelnor::tool {
namespace {
int g_exit_code = 0;
}

int ExitCode() { return g_exit_code; }
void SetExitCode(int code) { g_exit_code = code; }

std::string ErrorMeaning(int32_t code) {
  switch (code) {
    case ZAVL_OK: return "success";
    case ZAVL_ERR_CREATE: return "a handle could not be created";
    case ZAVL_ERR_HANDLE: return "bad handle or argument";
    case ZAVL_ERR_DICO_UPDATE: return "the dictionary could not be reopened for writing";
    case ZAVL_ERR_DICO_LOAD: return "the dictionary could not be loaded";
    case ZAVL_ERR_NOT_A_TABLE: return "the name designates no table of the dictionary";
    case 2: return "Btrieve: I/O error";
    case 3: return "Btrieve: file not open";
    case 4: return "Btrieve: key value not found";
    case 5: return "Btrieve: duplicate key value";
    case 6: return "Btrieve: invalid key number";
    case 8: return "Btrieve: invalid positioning";
    case 9: return "Btrieve: end of file";
    case 12: return "Btrieve: file not found";
    case 21: return "Btrieve: key buffer too short";
    case 22: return "the data file's record length differs from the dictionary's";
    case 30: return "Btrieve: not a Btrieve file";
    case 43: return "Btrieve: no current record";
    case 46: return "Btrieve: access to the file denied";
    case 59: return "Btrieve: the file already exists";
    case 84: return "Btrieve: record locked";
    case 85: return "Btrieve: file locked";
    case 861: return "the file is held by another data handle";
    default: return code > 0 ? "Btrieve status " + std::to_string(code) : "unknown error";
  }
}

void Fail(int32_t code, const std::string& detail) {
  std::cerr << "tavelnor: error " << code << ": " << ErrorMeaning(code);
  if (!detail.empty()) std::cerr << " (" << detail << ")";
  std::cerr << "\n";
  g_exit_code = 1;
}

}  // namespace tavelnor::tool
