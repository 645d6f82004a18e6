#include "KWorldFile.h"

#include "KRecords.h"
#include "KText.h"
#include "KTrace.h"
#include "KZip.h"
#include "Kinterface.h"

#include <allegro.h>

#include <algorithm>

namespace {

constexpr const char* kDefaultGameEntry = "game.qav";

std::string_view FilePart(std::string_view path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string ReplaceExtension(std::string_view path, std::string_view extension)
{
    std::string_view name = FilePart(path);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string_view::npos) name = name.substr(0, dot);
    return std::string(name) + "." + std::string(extension);
}

struct VideoData {
    bool present = false;
    int32_t mode = 1;
    int32_t windowed = 0;
};

// False with a message saying what is wrong with an entry that is there.
bool EntryReadable(const char* name, KZipReader::Entry state, size_t maxBytes, std::string& error)
{
    switch (state) {
    case KZipReader::Entry::Ok:
    case KZipReader::Entry::Missing: return true;
    case KZipReader::Entry::TooLarge:
        error = std::string("its entry ") + name + " is too large (more than " + std::to_string(maxBytes) + " bytes)";
        return false;
    case KZipReader::Entry::Corrupt: break;
    }
    error = std::string("its entry ") + name + " is damaged";
    return false;
}

}  // namespace

bool KReadSheet(KZipReader& zip, const KWorldLimits& limits, KSheetData& sheet, std::string& error)
{
    std::string header;
    std::string raw;
    const KZipReader::Entry headerState = zip.Read("font.hdr", header, 4096);
    const KZipReader::Entry rawState = zip.Read("font.raw", raw, limits.maxEntryBytes);
    if (headerState == KZipReader::Entry::Missing || rawState == KZipReader::Entry::Missing) return true;
    if (!EntryReadable("font.hdr", headerState, 4096, error) ||
        !EntryReadable("font.raw", rawState, limits.maxEntryBytes, error)) {
        return false;
    }
    KTextReader headerText(header);
    std::string_view tokens[3];
    int64_t numbers[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        if (!headerText.Token(tokens[i]) || !KParseInt(tokens[i], numbers[i])) {
            error = "Bad font header";
            return false;
        }
    }
    const int64_t w = numbers[0];
    const int64_t h = numbers[1];
    const std::string size = std::to_string(w) + " x " + std::to_string(h);
    if (w < 1 || h < 1 || w > limits.maxSheetSide || h > limits.maxSheetSide) {
        error = "Bad font sheet size " + size + " (each side 1 to " + std::to_string(limits.maxSheetSide) +
                " pixels)";
        return false;
    }
    if (Kfont::GlyphsForSheet(w, h) > kMaxGlyphs) {
        error = "Bad font sheet size " + size + ": it holds " + std::to_string(Kfont::GlyphsForSheet(w, h)) +
                " glyphs, more than the " + std::to_string(kMaxGlyphs) + " a font can have";
        return false;
    }
    sheet.width = static_cast<int>(w);
    sheet.height = static_cast<int>(h);
    const size_t count = static_cast<size_t>(w * h);
    sheet.pixels.assign(count, 0);
    if (numbers[2] == 2) {
        KTextReader pixels(raw);
        for (size_t i = 0; i < count; ++i) {
            std::string_view token;
            int64_t value = 0;
            if (!pixels.Token(token) || !KParseInt(token, value)) {
                error = "Bad or missing font pixel " + std::to_string(i);
                return false;
            }
            sheet.pixels[i] = static_cast<uint8_t>(value);
        }
    } else {
        size_t at = 0;
        for (size_t i = 0; i < count; ++i) {
            while (at < raw.size() && (raw[at] == ' ' || (raw[at] >= '\t' && raw[at] <= '\r'))) ++at;
            if (at >= raw.size()) {
                error = "Missing font pixel " + std::to_string(i);
                return false;
            }
            sheet.pixels[i] = static_cast<uint8_t>(raw[at++]);
        }
    }
    sheet.present = true;
    return true;
}

namespace {

bool ReadVideo(KZipReader& zip, VideoData& video)
{
    std::string text;
    if (zip.Read("res.dat", text, 4096) != KZipReader::Entry::Ok) return true;
    KTextReader reader(text);
    std::string_view token;
    int64_t mode = 0;
    int64_t windowed = 0;
    if (!reader.Token(token) || !KParseInt(token, mode) || !reader.Token(token) || !KParseInt(token, windowed)) {
        return true;  // an unreadable res.dat leaves the settings as they were
    }
    video.present = true;
    video.mode = static_cast<int32_t>(std::clamp<int64_t>(mode, INT32_MIN, INT32_MAX));
    video.windowed = static_cast<int32_t>(std::clamp<int64_t>(windowed, INT32_MIN, INT32_MAX));
    return true;
}

}  // namespace

void KUseSheet(Kfont& glyphs, const KSheetData& sheet)
{
    if (!sheet.present || !glyphs.CreateSheet(sheet.width, sheet.height)) return;
    for (int y = 0; y < sheet.height; ++y) {
        std::copy_n(sheet.pixels.begin() + static_cast<std::ptrdiff_t>(y) * sheet.width, sheet.width,
                    KBitmapRow(glyphs.sheet.get(), y));
    }
    glyphs.RebuildGlyphs();
}

std::string KSheetHeader(const Kfont& glyphs)
{
    std::string out;
    KAppendInt(out, KBitmapWidth(glyphs.sheet.get()));
    out += ' ';
    KAppendInt(out, KBitmapHeight(glyphs.sheet.get()));
    out += " 2\n";
    return out;
}

std::string KSheetPixels(const Kfont& glyphs)
{
    std::string out;
    const BITMAP* sheet = glyphs.sheet.get();
    const int w = KBitmapWidth(sheet);
    const int h = KBitmapHeight(sheet);
    out.reserve(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = KBitmapRow(sheet, y);
        for (int x = 0; x < w; ++x) {
            KAppendInt(out, row[x]);
            out += ' ';
        }
    }
    return out;
}

namespace {

bool LoadFromReader(Kinterface& engine, KZipReader& zip, const std::string& path, const KWorldLimits& limits)
{
    auto refuse = [&](const std::string& why) {
        engine.Report("Unable to load '" + path + "': " + why, __FILE_NAME__, __LINE__);
        return false;
    };
    KSheetData sheet;
    std::string error;
    if (!KReadSheet(zip, limits, sheet, error)) return refuse(error);

    std::string entryName = KGameEntryName(path);
    std::string game;
    KZipReader::Entry state = zip.Read(entryName, game, limits.maxEntryBytes);
    if (state == KZipReader::Entry::Missing) {
        entryName = kDefaultGameEntry;
        state = zip.Read(entryName, game, limits.maxEntryBytes);
    }
    if (state == KZipReader::Entry::Missing) return refuse("it holds no game entry");
    if (state == KZipReader::Entry::TooLarge) return refuse("its game entry is too large");
    if (state != KZipReader::Entry::Ok) return refuse("its game entry is damaged");

    // The new world's nodes are numbered afresh; a refused file gives the
    // numbers back, so neither kind of load wears the ids out.
    const int32_t idsBefore = engine.vNextId;
    engine.vNextId = 1;
    Kobject root;
    root.name = "world_tree";
    if (!KReadGameEntry(engine, game, entryName, root, error, limits)) {
        engine.vNextId = idsBefore;
        return refuse(error);
    }

    VideoData video;
    ReadVideo(zip, video);

    if (engine.IsRunner() && engine.vSoundBox && engine.Parts().forgetSamples != nullptr) {
        engine.Parts().forgetSamples(*engine.vSoundBox);
    }
    KUseSheet(*engine.vFont, sheet);
    KReplaceBoards(engine, root);
    if (video.present) {
        engine.vVideoMode = video.mode;
        engine.vWindowed = video.windowed;
    }
    engine.vWorldPath = path;
    KTRACE("Finished Loading .. ( %s )\n", path.c_str());
    if (engine.IsRunner()) engine.FindSpecialBoards();
    if (engine.IsEditor()) engine.vMain->RenderAll();
    return true;
}

}  // namespace

std::string KGameEntryName(std::string_view worldPath) { return ReplaceExtension(worldPath, "qav"); }

std::string KNodeEntryName(std::string_view nodePath) { return ReplaceExtension(nodePath, "obj"); }

bool KReadGameEntry(Kinterface& engine, std::string_view text, std::string_view entryName, Kobject& root,
                    std::string& error, const KWorldLimits& limits)
{
    KRecordReader reader(engine, text, std::string(entryName), limits);
    KTextReader& tokens = reader.Text();
    // Variables and imports come before "~endimports"; a world carries none,
    // so whatever stands there is passed over.
    std::string_view token;
    bool sawEnd = false;
    while (tokens.Token(token)) {
        if (token == "~endimports") {
            sawEnd = true;
            break;
        }
    }
    if (!sawEnd) {
        error = "the game entry has no ~endimports line";
        return false;
    }
    while (tokens.Token(token) && token == "~ob") {
        if (!reader.ReadChild(root, 1)) {
            error = reader.Error();
            return false;
        }
    }
    return true;
}

void KReplaceBoards(Kinterface& engine, Kobject& root)
{
    engine.vMain->ClearChildren();
    engine.vActiveBoard = nullptr;
    engine.vPlayer = nullptr;
    for (auto& board : root.children) {
        board->parent = engine.vMain.get();
        engine.vMain->children.push_back(std::move(board));
    }
    root.children.clear();
}

bool LoadWorld(Kinterface& engine, const std::string& path, const KWorldLimits& limits)
{
    KTRACE("Loading .. ( %s )\n", path.c_str());
    KZipReader zip;
    std::string error;
    if (!zip.OpenFile(path, limits.maxFileBytes, error)) {
        engine.Report("Unable to load world: " + error, __FILE_NAME__, __LINE__);
        return false;
    }
    return LoadFromReader(engine, zip, path, limits);
}

bool LoadWorldFromMemory(Kinterface& engine, std::string bytes, const std::string& worldPath,
                         const KWorldLimits& limits)
{
    KTRACE("Loading .. ( %s )\n", worldPath.c_str());
    KZipReader zip;
    std::string error;
    if (!zip.OpenMemory(std::move(bytes), error)) {
        engine.Report("Unable to load world: '" + worldPath + "' " + error, __FILE_NAME__, __LINE__);
        return false;
    }
    return LoadFromReader(engine, zip, worldPath, limits);
}

std::string KWriteGameEntry(Kinterface& engine)
{
    std::string out = "~endvars\n~endimports\n";
    for (const auto& board : engine.vMain->children) KWriteRecord(out, *board);
    return out;
}

bool SaveWorld(Kinterface& engine, const std::string& path)
{
    KZipWriter zip;
    std::string res;
    KAppendInt(res, engine.vVideoMode);
    res += ' ';
    KAppendInt(res, engine.vWindowed);
    const bool ok = zip.Open(path) && zip.Add("font.hdr", KSheetHeader(*engine.vFont)) &&
                    zip.Add("font.raw", KSheetPixels(*engine.vFont)) &&
                    zip.Add(kDefaultGameEntry, KWriteGameEntry(engine)) && zip.Add("res.dat", res) && zip.Commit();
    if (!ok) engine.Report("Unable to save world: " + zip.Error(), __FILE_NAME__, __LINE__);
    return ok;
}

bool ExportNode(Kinterface& engine, int handle, const std::string& path)
{
    Kobject* node = engine.NodeOf(handle);
    if (node == nullptr) return false;
    std::string record;
    KWriteRecord(record, *node);
    KZipWriter zip;
    const bool ok = zip.Open(path) && zip.Add(KNodeEntryName(path), record) && zip.Commit();
    if (!ok) engine.Report("Unable to export: " + zip.Error(), __FILE_NAME__, __LINE__);
    return ok;
}

bool ImportNode(Kinterface& engine, int handle, const std::string& path, const KWorldLimits& limits)
{
    Kobject* node = engine.NodeOf(handle);
    if (node == nullptr) return false;
    KTRACE("Importing .. ( %s )\n", path.c_str());
    auto refuse = [&](const std::string& why) {
        engine.Report("Unable to import '" + path + "': " + why, __FILE_NAME__, __LINE__);
        return false;
    };
    KZipReader zip;
    std::string error;
    if (!zip.OpenFile(path, limits.maxFileBytes, error)) return refuse(error);
    std::string text;
    std::string entryName = KNodeEntryName(path);
    if (zip.Read(entryName, text, limits.maxEntryBytes) != KZipReader::Entry::Ok) {
        // A node file renamed since it was written still holds one entry.
        const std::vector<std::string> names = zip.Names();
        if (names.size() != 1 || zip.Read(names[0], text, limits.maxEntryBytes) != KZipReader::Entry::Ok) {
            return refuse("it holds no node record");
        }
        entryName = names[0];
    }
    // Read into a scratch node first, so a bad file leaves the node untouched.
    Kobject scratch;
    KRecordReader reader(engine, text, entryName, limits);
    std::string_view token;
    reader.Text().Token(token);
    std::string_view name;
    int32_t z = 0;
    if (!reader.Text().Token(name)) return refuse("the record is empty");
    scratch.name.assign(name);
    const int32_t idsBefore = engine.vNextId;
    if (!reader.ReadInt32(z, "posz") || !reader.ReadInto(scratch, 1)) {
        engine.vNextId = idsBefore;
        return refuse(reader.Error());
    }

    node->Destroy();
    node->ClearChildren();
    node->name = std::move(scratch.name);
    node->posz = z;
    node->posx = scratch.posx;
    node->posy = scratch.posy;
    node->viewx = scratch.viewx;
    node->viewy = scratch.viewy;
    node->Create(node->name, scratch.width, scratch.height);
    node->vieww = scratch.vieww;
    node->viewh = scratch.viewh;
    node->Refile();
    // Swapped, not moved: each node keeps the count of the cells it holds.
    node->cells.swap(scratch.cells);
    node->source = std::move(scratch.source);
    for (auto& child : scratch.children) {
        child->parent = node;
        node->children.push_back(std::move(child));
    }
    scratch.children.clear();
    if (engine.IsEditor()) node->RenderAll();
    KTRACE("Finished Importing .. ( %s )\n", path.c_str());
    return true;
}
