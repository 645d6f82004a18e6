#pragma once
// World files (.zqav) and node files: zip archives of text entries.
// Every reader refuses what it cannot read with a message through the
// engine's reporter and leaves the engine's world as it was.

#include "KLimits.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class Kfont;
class Kinterface;
class KZipReader;
class Kobject;

// The font sheet read from an archive, not yet in use.
struct KSheetData {
    bool present = false;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

// Reads "font.hdr" and "font.raw"; missing entries leave sheet not present.
bool KReadSheet(KZipReader& zip, const KWorldLimits& limits, KSheetData& sheet, std::string& error);
// Makes a sheet read by KReadSheet the font's (nothing when none was read).
void KUseSheet(Kfont& glyphs, const KSheetData& sheet);
// The text of "font.hdr" and "font.raw" for the font's sheet.
std::string KSheetHeader(const Kfont& glyphs);
std::string KSheetPixels(const Kfont& glyphs);

// The game entry's name for a world file: its own name with the extension
// replaced by "qav".
std::string KGameEntryName(std::string_view worldPath);

// The node file's entry name: the file's name with the extension replaced by "obj".
std::string KNodeEntryName(std::string_view nodePath);

bool LoadWorld(Kinterface& engine, const std::string& path, const KWorldLimits& limits = {});
// As LoadWorld, from the archive's bytes; worldPath names the file they came from.
bool LoadWorldFromMemory(Kinterface& engine, std::string bytes, const std::string& worldPath,
                         const KWorldLimits& limits = {});
bool SaveWorld(Kinterface& engine, const std::string& path);

bool ExportNode(Kinterface& engine, int handle, const std::string& path);
bool ImportNode(Kinterface& engine, int handle, const std::string& path, const KWorldLimits& limits = {});

// The text of a game entry: "~endvars", "~endimports" and the board records.
std::string KWriteGameEntry(Kinterface& engine);

// Reads the text of a game entry into a detached root (named "world_tree");
// on failure error says why. Variables before "~endvars" are skipped.
bool KReadGameEntry(Kinterface& engine, std::string_view text, std::string_view entryName, Kobject& root,
                    std::string& error, const KWorldLimits& limits = {});

// Moves the boards of a detached root under the engine's root, replacing
// the boards there.
void KReplaceBoards(Kinterface& engine, Kobject& root);
