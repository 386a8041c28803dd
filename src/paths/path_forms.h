// The forms a special path goes through: normalisation of a candidate folder,
// the file-name form of a text, and the library's version text.
#pragma once

#include <string>
#include <string_view>

#include "foundation/platform/shell.h"

namespace tavelnor::paths {

// What a resolution does with a folder that does not exist.
enum class PathMode {
  kMustExist,  // the result is empty
  kCreate,     // the folder is created with its missing parents (empty on failure)
};

// Normalises a candidate folder: removes spaces, tabs, CR and LF from both
// ends; expands %VARIABLE% references when there is a "%" (and trims again);
// puts a relative result below the host directory; then checks that it names
// a directory, or creates it, according to `mode`. Empty text stays empty.
std::string NormalisePath(std::string_view candidate, PathMode mode);

// `text` made fit to be one file or folder name: "\r\r\n" and then "\r\n"
// become one space; CR, LF and TAB become spaces; characters 1 to 31 and
// < > : " / \ | ? * are deleted; leading spaces and trailing spaces and dots
// are removed; an empty result becomes "_"; a reserved device name (CON, PRN,
// AUX, NUL, COM1-COM9, LPT1-LPT9, any ASCII case) gets "_" appended.
std::string FileNameForm(std::string_view text);

// "major.minor" for a found version, "Alpha" without a version resource, "***"
// when the module file cannot be found.
std::string VersionText(const platform::ModuleVersion& version);
// The version text of this library module.
std::string ModuleVersionText();

}  // namespace tavelnor::paths
