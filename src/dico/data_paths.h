// Where a table's data file lies: joining a folder and a file name as the
// dictionary's data describes them, and the folder of shared common tables.
//
// Names in dictionaries were written for Windows: "\" and "/" both separate
// folders, a name starting with a separator is placed at the root of the
// folder's drive or share, "X:" starts an absolute name. On POSIX every
// separator becomes "/" and the root of any folder is "/".
#pragma once

#include <string>
#include <string_view>

namespace tavelnor::dico {

// The folder joined with the name: an empty name gives the folder; an
// absolute name gives the name alone; a name starting with a separator goes
// on the folder's root; otherwise one separator goes between. The result is
// normalised: separators unified and doubled ones merged, "." removed, ".."
// taking away the folder before it (never above the root).
std::string JoinDataPath(std::string_view folder, std::string_view name);

// The folder part of a path (without its last component), "" when none.
std::string ParentFolder(std::string_view path);

// The folder of the tables kept in the special folder "Common": special
// path 4 as the special paths resolve it (it must exist), unless a host or a
// test installed another source.
using CommonFolderSource = std::string (*)();
void SetCommonFolderSource(CommonFolderSource source);
std::string CommonDataFolder();

}  // namespace tavelnor::dico
