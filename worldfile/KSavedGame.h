#pragma once
// Saved games (.qsg): a world file's archive of the game in play, with the
// variables, every node's run state, the sound box's state and the input
// flag. A save writes a new archive beside the slot file and puts it in
// place only when complete; a load reads and checks the whole file into a
// detached world first and touches the game only when all of it is good.

#include "KLimits.h"

#include <string>
#include <string_view>

class Kinterface;

inline constexpr int kFirstSlot = 1;
inline constexpr int kLastSlot = 12;

// The world file's path without its extension, the dot kept:
// "Worlds/castle.zqav" gives "Worlds/castle.".
std::string KSlotBase(std::string_view worldPath);
// The slot file of a base path: "Worlds/castle." and 3 give "Worlds/castle.3.qsg".
std::string KSlotPath(std::string_view basePath, int slot);

// Writes the game in play to the slot file, then runs the "save" object of
// the spawn board. False (the old file kept, the reason reported) when it
// could not be written.
bool SaveGame(Kinterface& engine, std::string_view basePath, int slot);
bool KSaveGameFile(Kinterface& engine, const std::string& path);

enum class KLoadGame : uint8_t { Loaded = 0, Missing = 1, Refused = 2 };

// Reads the slot file into the game, then runs the "load" object of the
// spawn board. Missing: no such file, nothing happens. Refused: the reason
// is reported and the game in play is exactly as it was.
KLoadGame LoadGame(Kinterface& engine, std::string_view basePath, int slot, const KWorldLimits& limits = {});
KLoadGame KLoadGameFile(Kinterface& engine, const std::string& path, const KWorldLimits& limits = {});
// As KLoadGameFile, from the archive's bytes; path names the file they came from.
KLoadGame KLoadGameBytes(Kinterface& engine, std::string bytes, const std::string& path,
                         const KWorldLimits& limits = {});

// The variables section of a game entry ("~endvars" ends it). Names and
// values are written so that every one reads back as it was: a backslash,
// a control character (a line feed among them) and a leading '~' are
// escaped as \\, \n, \r or \xHH.
std::string KWriteVariablesSection(Kinterface& engine);
std::string KEscapeVariableLine(std::string_view text);
std::string KUnescapeVariableLine(std::string_view line);
