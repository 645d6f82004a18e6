#include "KSavedGame.h"

#include "KPaths.h"
#include "KSoundCalls.h"
#include "KText.h"
#include "KTrace.h"
#include "KWorldFile.h"
#include "KZip.h"
#include "Kinterface.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <set>
#include <utility>
#include <vector>

namespace {

constexpr const char* kStateEntry = "state.tree";
constexpr const char* kAudioEntry = "Audio.tree";
constexpr const char* kActiveEntry = "active.info";
constexpr const char* kDefaultGameEntry = "game.qav";
constexpr size_t kMaxAudioBytes = size_t{1} << 20;
constexpr size_t kMaxActiveBytes = 4096;
// A saved store holds at most this many variables; a file with more is
// someone else's, and reading it would cost memory far past its size.
constexpr size_t kMaxSavedVariables = 65536;
constexpr int kDarkColour = 255;

// --- Writing -------------------------------------------------------------------------

void AppendState(std::string& out, const Kobject& node)
{
    const int32_t line = node.currentLine;
    if (line >= 0 && static_cast<size_t>(line) < node.lines.size()) {
        KAppendInt(out, line);
        out += ' ';
        KAppendInt(out, node.currentCommand);
    } else {
        out += "-1";
    }
    const int64_t values[] = {node.running,  node.locked,  node.wait,
                              node.cycle,    node.collideMode, node.enterable,
                              node.walkDir,  static_cast<uint32_t>(node.id), node.ownerid,
                              node.dead};
    for (const int64_t value : values) {
        out += ' ';
        KAppendInt(out, value);
    }
    out += '\n';
    for (const KMarker& marker : node.markers) {
        KAppendInt(out, marker.active);
        out += ' ';
    }
    out += '\n';
    for (const auto& child : node.children) AppendState(out, *child);
}

std::string StateText(Kinterface& engine)
{
    std::string out;
    for (const auto& board : engine.vMain->children) AppendState(out, *board);
    out += '\n';
    const int32_t active = engine.vActiveBoard != nullptr ? engine.vActiveBoard->id : 0;
    KAppendInt(out, static_cast<uint32_t>(active));
    return out;
}

// --- Reading -------------------------------------------------------------------------

// Everything read from a saved game, checked, not yet in use.
struct SavedGame {
    KSheetData sheet;
    std::vector<std::pair<std::string, std::string>> variables;
    Kobject root;
    bool hasState = false;
    int64_t activeId = 0;
    int32_t highestId = 0;
    bool hasAudio = false;
    std::string audio;
    bool hasInputFlag = false;
    int32_t inputFlag = 1;
};

std::vector<std::string_view> Words(std::string_view line)
{
    std::vector<std::string_view> words;
    KTextReader reader(line);
    std::string_view word;
    while (words.size() < 64 && reader.Token(word)) words.push_back(word);
    return words;
}

bool ToInt32(std::string_view word, int32_t& value)
{
    int64_t wide = 0;
    if (!KParseInt(word, wide) || wide < std::numeric_limits<int32_t>::min() ||
        wide > std::numeric_limits<int32_t>::max()) {
        return false;
    }
    value = static_cast<int32_t>(wide);
    return true;
}

bool ReadEntry(KZipReader& zip, const char* name, size_t maxBytes, std::string& text, bool& present,
               std::string& error)
{
    const KZipReader::Entry state = zip.Read(name, text, maxBytes);
    present = state == KZipReader::Entry::Ok;
    if (state == KZipReader::Entry::Ok || state == KZipReader::Entry::Missing) return true;
    error = std::string("its entry ") + name + (state == KZipReader::Entry::TooLarge ? " is too large" : " is damaged");
    return false;
}

// The game entry: named after the file, else "game.qav", else the one
// entry ending in ".qav" (a slot file copied to another slot keeps its old
// entry name).
bool ReadGameText(KZipReader& zip, const std::string& path, const KWorldLimits& limits, std::string& text,
                  std::string& entryName, std::string& error)
{
    std::vector<std::string> candidates = {KGameEntryName(path), kDefaultGameEntry};
    std::string only;
    for (const std::string& name : zip.Names()) {
        const bool qav = name.size() > 4 && KSameEntryName(std::string_view(name).substr(name.size() - 4), ".qav");
        if (qav) only = only.empty() ? name : "~many";
    }
    if (!only.empty() && only != "~many") candidates.push_back(only);
    for (const std::string& name : candidates) {
        const KZipReader::Entry state = zip.Read(name, text, limits.maxEntryBytes);
        if (state == KZipReader::Entry::Missing) continue;
        if (state != KZipReader::Entry::Ok) {
            error = state == KZipReader::Entry::TooLarge ? "its game entry is too large" : "its game entry is damaged";
            return false;
        }
        entryName = name;
        return true;
    }
    error = "it holds no game entry";
    return false;
}

// The variables before the line starting "~e"; rest is what follows it.
bool ReadVariables(std::string_view text, SavedGame& game, std::string_view& rest, std::string& error)
{
    KTextReader lines(text);
    std::string_view name;
    while (lines.Line(name)) {
        if (name.starts_with("~e")) {
            rest = text.substr(lines.Position());
            return true;
        }
        std::string_view value;
        if (!lines.Line(value)) break;
        if (game.variables.size() >= kMaxSavedVariables) {
            error = "it holds more than " + std::to_string(kMaxSavedVariables) + " variables";
            return false;
        }
        game.variables.emplace_back(KUnescapeVariableLine(name), KUnescapeVariableLine(value));
    }
    error = "its game entry has no ~endvars line";
    return false;
}

class StateReader {
public:
    StateReader(std::string_view text, SavedGame& game) : lines_(text), game_(game) {}

    bool Read(std::string& error)
    {
        for (const auto& board : game_.root.children) {
            if (!ReadTree(*board)) break;
        }
        std::string_view line;
        if (error_.empty() && (!lines_.Line(line) || !Words(line).empty())) {
            error_ = "state.tree does not fit the boards (more or fewer nodes)";
        }
        std::string_view word;
        int64_t active = 0;
        if (error_.empty() && (!lines_.Token(word) || !KParseInt(word, active) || active < 0 ||
                               active > std::numeric_limits<uint32_t>::max())) {
            error_ = "state.tree has no active board id";
        }
        game_.activeId = active;
        error = error_;
        return error_.empty();
    }

private:
    bool Fail(const Kobject& node, const std::string& why)
    {
        error_ = "state.tree, node " + std::to_string(nodes_) + " (" + node.name + "): " + why;
        return false;
    }

    bool ReadTree(Kobject& node)
    {
        ++nodes_;
        if (!ReadNode(node)) return false;
        for (const auto& child : node.children) {
            if (!ReadTree(*child)) return false;
        }
        return true;
    }

    bool ReadNode(Kobject& node)
    {
        KTRACE("Loading state for ( %s ) \n", node.name.c_str());
        std::string_view first;
        std::string_view second;
        if (!lines_.Line(first) || !lines_.Line(second)) return Fail(node, "the file ends early");
        const std::vector<std::string_view> words = Words(first);
        int32_t line = 0;
        if (words.empty() || !ToInt32(words[0], line)) return Fail(node, "no current line");
        const size_t expected = line == -1 ? 11 : 12;
        if (words.size() != expected) return Fail(node, "expected " + std::to_string(expected) + " numbers");
        int32_t command = 0;
        size_t at = 1;
        if (line != -1) {
            if (line < 0 || static_cast<size_t>(line) >= node.lines.size()) return Fail(node, "no such line");
            const size_t commands = node.lines[static_cast<size_t>(line)].commands.size();
            if (!ToInt32(words[at++], command) || command < 0 ||
                (static_cast<size_t>(command) >= commands && !(commands == 0 && command == 0))) {
                return Fail(node, "no such command");
            }
        }
        int32_t values[9] = {};
        int64_t id = 0;
        for (size_t i = 0; i < 7; ++i) {
            if (!ToInt32(words[at++], values[i])) return Fail(node, "a number out of range");
        }
        if (!KParseInt(words[at++], id) || id < 1 || id >= std::numeric_limits<int32_t>::max()) {
            return Fail(node, "id out of range");
        }
        if (!ToInt32(words[at++], values[7]) || !ToInt32(words[at++], values[8])) {
            return Fail(node, "a number out of range");
        }
        const int32_t walk = values[6];
        if (walk < -1 || walk > 3) return Fail(node, "no such walk direction");
        if (!ids_.insert(static_cast<int32_t>(id)).second) return Fail(node, "id used twice");
        if (!ReadFlags(node, second)) return false;
        node.currentLine = line;
        if (line != -1) node.currentCommand = command;
        node.running = values[0];
        node.locked = values[1];
        node.wait = values[2];
        node.cycle = values[3];
        node.collideMode = values[4];
        node.enterable = values[5];
        node.walkDir = walk;
        node.id = static_cast<int32_t>(id);
        node.ownerid = values[7];
        node.dead = values[8];
        game_.highestId = std::max(game_.highestId, node.id);
        return true;
    }

    // The enabled flag of every marker, no more and no fewer.
    bool ReadFlags(Kobject& node, std::string_view line)
    {
        KTextReader words(line);
        std::string_view word;
        for (KMarker& marker : node.markers.Edit()) {
            if (!words.Token(word) || !ToInt32(word, marker.active)) return Fail(node, "marker flags do not fit");
        }
        if (words.Token(word)) return Fail(node, "marker flags do not fit");
        return true;
    }

    KTextReader lines_;
    SavedGame& game_;
    std::set<int32_t> ids_;
    int64_t nodes_ = 0;
    std::string error_;
};

bool ReadSavedGame(Kinterface& engine, KZipReader& zip, const std::string& path, const KWorldLimits& limits,
                   SavedGame& game, std::string& error)
{
    if (!KReadSheet(zip, limits, game.sheet, error)) return false;
    std::string text;
    std::string entryName;
    if (!ReadGameText(zip, path, limits, text, entryName, error)) return false;
    KTRACE("opening .. %s\n", entryName.c_str());
    std::string_view rest;
    if (!ReadVariables(text, game, rest, error)) return false;
    // The saved nodes get their own ids back from state.tree; while they
    // are read, they are numbered from 1 like any load.
    const int32_t idsBefore = engine.vNextId;
    engine.vNextId = 1;
    game.root.name = "world_tree";
    const bool read = KReadGameEntry(engine, "~endvars\n" + std::string(rest), entryName, game.root, error, limits);
    game.highestId = engine.vNextId - 1;
    engine.vNextId = idsBefore;
    if (!read) return false;
    if (engine.vCompiler && engine.Parts().compileTree != nullptr) engine.Parts().compileTree(*engine.vCompiler, game.root);

    std::string state;
    if (!ReadEntry(zip, kStateEntry, limits.maxEntryBytes, state, game.hasState, error)) return false;
    if (game.hasState) {
        game.highestId = 0;
        StateReader reader(state, game);
        if (!reader.Read(error)) return false;
    }
    if (!ReadEntry(zip, kAudioEntry, kMaxAudioBytes, game.audio, game.hasAudio, error)) return false;
    std::string active;
    if (!ReadEntry(zip, kActiveEntry, kMaxActiveBytes, active, game.hasInputFlag, error)) return false;
    if (game.hasInputFlag) {
        KTextReader reader(active);
        std::string_view word;
        if (!reader.Token(word) || !ToInt32(word, game.inputFlag)) {
            error = "active.info holds no number";
            return false;
        }
    }
    return true;
}

// --- Putting a read game in place ---------------------------------------------------------

// Restarts node's program from its first command and runs one turn of it now.
void RunAtOnce(Kinterface& engine, Kobject& node)
{
    if (!node.lines.empty() && !node.lines[0].commands.empty()) {
        node.currentLine = 0;
        node.currentCommand = 0;
    }
    node.running = 1;
    node.wait = 0;
    if (engine.vExec && engine.Parts().stepBoard != nullptr) engine.Parts().stepBoard(*engine.vExec, node);
}

void ClearDarkBoard(Kinterface& engine, Kobject& dark)
{
    KTRACE("Found dark board ..\n");
    KTRACE("Clearing dark board ..");
    engine.vDarkBoard = &dark;
    const KCell shown{0, kDarkColour, kDarkColour, 0, 1, 0};
    dark.shade.assign(dark.cells.size(), shown);
    for (int32_t y = 0; y < dark.height; ++y) {
        for (int32_t x = 0; x < dark.width; ++x) dark.SetCellNow(x, y, 0, kDarkColour, kDarkColour, 0);
    }
    KTRACE("finished\n");
}

// The special boards by exact name, and the active board by its saved id.
// The "load" object runs only once all of them are known, so its script
// sees the active board and the player.
void FindBoards(Kinterface& engine, int64_t activeId)
{
    engine.vDarkBoard = engine.vOverlayBoard = engine.vSpawnBoard = engine.vScrollBoard = nullptr;
    engine.vActiveBoard = nullptr;
    engine.vPlayer = nullptr;
    for (const auto& board : engine.vMain->children) {
        if (board->name == "Dark") {
            ClearDarkBoard(engine, *board);
        } else if (board->name == "Spawn") {
            KTRACE("Found spawn board ..\n");
            engine.vSpawnBoard = board.get();
        } else if (board->name == "Overlay") {
            KTRACE("Found overlay board ..\n");
            engine.vOverlayBoard = board.get();
        } else if (board->name == "Scroll") {
            KTRACE("Found scroll board ..\n");
            engine.vScrollBoard = board.get();
        } else if (board->id == activeId) {
            KTRACE("Found active board & searching for player ..\n");
            engine.vActiveBoard = board.get();
            engine.vPlayer = board->FindByName("player");
        }
    }
    KTRACE("Finished searches ..\n");
    // A saved game whose active board is gone still plays: the board is
    // chosen as at the start of play.
    if (engine.vActiveBoard == nullptr) engine.ChooseActiveBoard();
}

void UseSavedGame(Kinterface& engine, SavedGame& game)
{
    // Variables made after the save must not outlive the load.
    engine.vVariables.EraseAll();
    for (const auto& [name, value] : game.variables) engine.vVariables.SetString(name, value);
    KUseSheet(*engine.vFont, game.sheet);
    KReplaceBoards(engine, game.root);
    engine.vNextId = game.highestId + 1;
    if (game.hasAudio) {
        KLoadSoundState(engine, game.audio);
    } else {
        // Without a saved sound state the game goes on silent, as the
        // sound of the game it replaces no longer belongs to it.
        if (engine.vSoundBox && engine.Parts().forgetSamples != nullptr) engine.Parts().forgetSamples(*engine.vSoundBox);
        KStopSong(engine);
    }
    if (game.hasInputFlag) engine.vPlay.inputEnabled = game.inputFlag;
    FindBoards(engine, game.hasState ? game.activeId : -1);
    if (engine.vSpawnBoard != nullptr) {
        if (Kobject* load = engine.vSpawnBoard->FindByName("load")) RunAtOnce(engine, *load);
    }
}

KLoadGame LoadFromZip(Kinterface& engine, KZipReader& zip, const std::string& path, const KWorldLimits& limits)
{
    SavedGame game;
    std::string error;
    if (!ReadSavedGame(engine, zip, path, limits, game, error)) {
        engine.Report("Unable to load the saved game '" + path + "': " + error, __FILE_NAME__, __LINE__);
        return KLoadGame::Refused;
    }
    UseSavedGame(engine, game);
    KTRACE("Finished Loading .. \n");
    return KLoadGame::Loaded;
}

void AppendEscaped(std::string& out, char c)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
    case '\\': out += "\\\\"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    default: break;
    }
    if (byte < 0x20 || byte == 0x7f) {
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 15];
        return;
    }
    out += c;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string KSlotBase(std::string_view worldPath)
{
    const size_t slash = worldPath.find_last_of('/');
    const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const size_t dot = worldPath.find_last_of('.');
    if (dot == std::string_view::npos || dot < nameStart) return std::string(worldPath) + ".";
    return std::string(worldPath.substr(0, dot + 1));
}

std::string KSlotPath(std::string_view basePath, int slot)
{
    return std::string(basePath) + std::to_string(slot) + ".qsg";
}

std::string KEscapeVariableLine(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        // A line starting with '~' could end the section when read back.
        if (i == 0 && text[i] == '~') {
            out += "\\x7E";
        } else {
            AppendEscaped(out, text[i]);
        }
    }
    return out;
}

std::string KUnescapeVariableLine(std::string_view line)
{
    std::string out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        const char next = i + 1 < line.size() ? line[i + 1] : '\0';
        if (c != '\\' || i + 1 >= line.size()) {
            out += c;
        } else if (next == '\\') {
            out += '\\';
            ++i;
        } else if (next == 'n') {
            out += '\n';
            ++i;
        } else if (next == 'r') {
            out += '\r';
            ++i;
        } else if (next == 'x' && i + 3 < line.size() && HexValue(line[i + 2]) >= 0 && HexValue(line[i + 3]) >= 0) {
            out += static_cast<char>(HexValue(line[i + 2]) * 16 + HexValue(line[i + 3]));
            i += 3;
        } else {
            out += c;  // not an escape of ours: kept as written
        }
    }
    return out;
}

std::string KWriteVariablesSection(Kinterface& engine)
{
    std::string out;
    for (const KVariable& variable : engine.vVariables.All()) {
        out += KEscapeVariableLine(variable.name);
        out += '\n';
        out += KEscapeVariableLine(KVariables::StringOf(variable));
        out += '\n';
    }
    return out;
}

bool KSaveGameFile(Kinterface& engine, const std::string& path)
{
    KZipWriter zip;
    const bool ok = zip.Open(path) && zip.Add("font.hdr", KSheetHeader(*engine.vFont)) &&
                    zip.Add("font.raw", KSheetPixels(*engine.vFont)) &&
                    zip.Add(KGameEntryName(path), KWriteVariablesSection(engine) + KWriteGameEntry(engine)) &&
                    zip.Add(kStateEntry, StateText(engine)) && zip.Add(kAudioEntry, KSaveSoundState(engine)) &&
                    zip.Add(kActiveEntry, std::to_string(engine.vPlay.inputEnabled)) && zip.Commit();
    if (!ok) {
        engine.Report("Unable to save the game to '" + path + "': " + zip.Error(), __FILE_NAME__, __LINE__);
        return false;
    }
    if (engine.vSpawnBoard != nullptr) {
        if (Kobject* save = engine.vSpawnBoard->FindByName("save")) RunAtOnce(engine, *save);
    }
    return true;
}

bool SaveGame(Kinterface& engine, std::string_view basePath, int slot)
{
    return KSaveGameFile(engine, KSlotPath(basePath, slot));
}

KLoadGame KLoadGameFile(Kinterface& engine, const std::string& path, const KWorldLimits& limits)
{
    if (KKindOfFile(path) == KFileKind::Missing) return KLoadGame::Missing;
    KTRACE("Loading .. ( %s )\n", path.c_str());
    KZipReader zip;
    std::string error;
    if (!zip.OpenFile(path, limits.maxFileBytes, error)) {
        engine.Report("Unable to load the saved game '" + path + "': " + error, __FILE_NAME__, __LINE__);
        return KLoadGame::Refused;
    }
    return LoadFromZip(engine, zip, path, limits);
}

KLoadGame KLoadGameBytes(Kinterface& engine, std::string bytes, const std::string& path, const KWorldLimits& limits)
{
    KZipReader zip;
    std::string error;
    if (!zip.OpenMemory(std::move(bytes), error)) {
        engine.Report("Unable to load the saved game '" + path + "': " + error, __FILE_NAME__, __LINE__);
        return KLoadGame::Refused;
    }
    return LoadFromZip(engine, zip, path, limits);
}

KLoadGame LoadGame(Kinterface& engine, std::string_view basePath, int slot, const KWorldLimits& limits)
{
    return KLoadGameFile(engine, KSlotPath(basePath, slot), limits);
}
