// Checks an export against the stored records themselves: every value of
// every record, in CSV, JSON Lines and the SQLite database, read back and
// compared with the record's bytes as the library hands them over, decoded
// here on their own (not with the tool's formatting). Also a snapshot of a
// folder, to show that commands leave the data untouched.
#pragma once

#include <map>
#include <string>

namespace tavelnor::tool::testing {

// Compares the export in `folder` (CSV, JSON Lines and `database`, written
// with the default options) with the records of every table of
// `dictionary`; failures are reported through GoogleTest. Returns the number
// of values compared.
long long CheckExportAgainstRecords(const std::string& dictionary, const std::string& folder,
                                    const std::string& database);

// The names, sizes, modification times and contents of a folder's files.
std::map<std::string, std::string> FolderSnapshot(const std::string& folder);

}  // namespace tavelnor::tool::testing
