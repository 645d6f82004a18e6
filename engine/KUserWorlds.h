#pragma once
// The per-user home for games. A world whose folder the user cannot write
// (an installed, shared Worlds/) is played from a copy under
// $XDG_DATA_HOME/quav/Worlds (~/.local/share/quav/Worlds by default), so
// that saved games, #save files and screenshots have somewhere to go and
// scripts still never reach outside their (copied) world's folder.

#include <string>

// $XDG_DATA_HOME/quav/Worlds when XDG_DATA_HOME is an absolute path, else
// $HOME/.local/share/quav/Worlds (HOME from the password database when it
// is unset); "" when no home can be found. Nothing is created.
std::string KUserWorldsFolder();

// Whether the user may create files in folder.
bool KCanWriteFolder(const std::string& folder);

// The folder part of path ("." when it has none).
std::string KFolderOf(const std::string& path);

// The world to play for worldPath: worldPath itself when its folder can be
// written, else its copy in the per-user folder. The copy is made at first
// use, with the world's companion files (below); an existing copy is used as
// it is. When no copy can be made, error says why and worldPath is returned.
std::string KPlayableWorld(const std::string& worldPath, std::string& error);

// Copies the world file and its companions into folder, leaving every file
// that is there already as it is. Companions are the regular files beside
// the world whose names start with the world's name without its extension
// followed by '.', '_' or '-' (vault_theme.mid, vault.win.replay), other
// than saved games; symbolic links are not followed. False (error says
// why) when something could not be copied.
bool KCopyWorldInto(const std::string& worldPath, const std::string& folder, std::string& error);

// Where games live for the worlds shipped in shippedFolder: that folder
// when it can be written (a build), else the per-user folder, made when
// missing, with every shipped world copied in at first use. "" when there
// is no such place.
std::string KWorldsHome(const std::string& shippedFolder);

// The folder screenshots go to: shippedFolder's "Screens" when the shipped
// folder can be written (it is not made), else "Screens" in the per-user
// folder, made when missing.
std::string KScreensFolderFor(const std::string& shippedFolder);
