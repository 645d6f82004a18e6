#pragma once
// The small archives of chosen variables that scripts save and load beside
// their world ("vars.dat" inside, ended by "~varsend").

#include <string>
#include <string_view>
#include <vector>

class Kinterface;

// The file a script names, inside the folder of the world file; empty when
// the name is absolute, climbs out of that folder, or is empty.
std::string KScriptFilePath(std::string_view worldPath, std::string_view name);

// Writes the listed variables that exist; false when nothing was written.
// The file's real path must lie inside the world file's real folder, and
// only a new file or an earlier variables archive is ever replaced.
bool KSaveVariables(Kinterface& engine, std::string_view file, const std::vector<std::string>& names);
// Reads every pair of the archive into the variables; false when it could
// not be read. Only regular files inside the world file's real folder are read.
bool KLoadVariables(Kinterface& engine, std::string_view file);
