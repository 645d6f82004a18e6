#pragma once
// File-name helpers shared by the programs.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The folder of the running executable, without a trailing separator.
std::string KExecutableDir();

// path made absolute against the current directory (unchanged when it is
// absolute already or empty).
std::string KAbsolutePath(std::string_view path);

// The folder that holds Library/ and Worlds/: the executable's own folder
// (a build) when Library/ is there, else "../share/quav" from it (an
// installed tree, wherever its prefix was moved). The executable's folder
// when neither holds a Library/.
std::string KDataDir();

// Makes the data folder the current directory, so that "Library/..." and
// "Worlds/..." resolve; false when it cannot.
bool KEnterDataDir();

// A path argument without the double quotes that may surround it.
std::string KUnquoted(std::string_view argument);

// The path with every symbolic link, "." and ".." resolved; empty when it
// names nothing that exists.
std::string KRealPath(const std::string& path);

// Whether the real path realPath lies inside the real folder realFolder
// (at any depth; the folder itself is not inside).
bool KIsInsideFolder(std::string_view realPath, std::string_view realFolder);

// What stands at a path, following symbolic links.
enum class KFileKind : uint8_t { Missing = 0, Regular = 1, Folder = 2, Other = 3 };
KFileKind KKindOfFile(const std::string& path);

// Reads a whole regular file of at most maxBytes. Anything else (a folder,
// a pipe, a device) is refused without waiting on it, with a message that
// says what the path names.
bool KReadRegularFile(const std::string& path, size_t maxBytes, std::string& bytes, std::string& error);

// Writes bytes to the file at path, replacing it ("-" is standard output).
// False when the bytes did not all reach it.
bool KWriteFile(const std::string& path, std::string_view bytes);

// The real path of the regular file that name, taken relative to the folder
// of the world file worldPath, names inside that folder; empty when name is
// empty or absolute, when the path (at most 999 characters) leaves the
// folder, symbolic links followed, or when it names no regular file.
std::string KFileBesideWorld(std::string_view worldPath, std::string_view name);
