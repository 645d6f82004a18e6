// How objects look and where their views lie: painting their own cells and
// their parent's, their speed, their geometry and name, lights on the dark
// board and palette fades.
//
// Scripts can make view sizes and positions anything a 32-bit number holds,
// so every loop here runs only over cells that exist, and every sum is
// taken in 64 bits and clamped before it is stored.

#include "KAppearance.h"

#include "KHandlers.h"
#include "KInput.h"
#include "Kinterface.h"
#include "Kobject.h"

#include <allegro.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// Cells visited for one unit of a tick's work.
constexpr int64_t kCellsPerUnit = 64;
// Steps of a light's ray for one unit, and the units of a dark cell the
// light changes (the runner draws it twice).
constexpr int64_t kLightStepsPerUnit = 8;
constexpr int64_t kLitCellUnits = 48;

int32_t Clamped32(int64_t value)
{
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// What "arithmetic halving" means for negative numbers: rounding down.
int64_t Halved(int64_t value) { return value >= 0 ? value / 2 : -((-value + 1) / 2); }

void ReadValues(Kexec& exec, KCompiledCommand& command, int32_t* values, int count)
{
    for (int i = 0; i < count; ++i) values[i] = exec.IntArg(command);
}

// Every cell of the object's own grid under its view size (from 0, 0).
int HandleChar(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    command.cursor = 1;
    int32_t v[4];
    ReadValues(exec, command, v, 4);
    const int32_t w = std::clamp(object.vieww, 0, object.width);
    const int32_t h = std::clamp(object.viewh, 0, object.height);
    exec.Engine().vWork.Spend(int64_t{w} * h / kCellsPerUnit);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) object.SetCell(x, y, v[0], v[1], v[2], v[3]);
    }
    return kAdvance;
}

int HandleCharEx(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    command.cursor = 1;
    int32_t v[6];
    ReadValues(exec, command, v, 6);
    object.SetCell(v[0], v[1], v[2], v[3], v[4], v[5]);
    return kAdvance;
}

bool Matches(int32_t wanted, int16_t field) { return wanted == -1 || wanted == field; }

// The parent's cells under its view size that match the first four values
// take the last four. The second value is matched against the background
// and the third against the foreground, as worlds written for this command
// expect.
int HandleChange(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    command.cursor = 1;
    int32_t v[8];
    ReadValues(exec, command, v, 8);
    Kobject* parent = object.parent;
    if (parent == nullptr) return kAdvance;
    const int32_t w = std::clamp(parent->vieww, 0, parent->width);
    const int32_t h = std::clamp(parent->viewh, 0, parent->height);
    exec.Engine().vWork.Spend(int64_t{w} * h / kCellsPerUnit);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const KCell* cell = parent->GetCell(x, y);
            if (cell == nullptr || !Matches(v[0], cell->chr) || !Matches(v[1], cell->bg) || !Matches(v[2], cell->fg) ||
                !Matches(v[3], cell->attrib)) {
                continue;
            }
            parent->SetCell(x, y, v[4], v[5], v[6], v[7]);
        }
    }
    return kAdvance;
}

// Words are names: a variable's text where one of that name exists, else
// the word itself, written one after another.
int HandleWrite(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    command.cursor = 1;
    Kinterface& engine = exec.Engine();
    int64_t x = exec.IntArg(command);
    const int32_t y = exec.IntArg(command);
    const int fg = engine.GetVar("write_f");
    const int bg = engine.GetVar("write_b");
    while (exec.HasArg(command)) {
        const std::string word = exec.NameArg(command);
        const std::string text = engine.vVariables.Exists(word) ? engine.GetVarString(word) : word;
        engine.vWork.SpendOnText(text.size());
        // Only the part that lands on the grid is written.
        const int64_t skip = std::clamp<int64_t>(-x, 0, static_cast<int64_t>(text.size()));
        const int64_t room = std::clamp<int64_t>(int64_t{object.width} - x - skip, 0, static_cast<int64_t>(text.size()) - skip);
        if (room > 0) {
            object.WriteText(Clamped32(x + skip), y, std::string_view(text).substr(static_cast<size_t>(skip), static_cast<size_t>(room)),
                             fg, bg, 0);
        }
        x += static_cast<int64_t>(text.size());
    }
    return kAdvance;
}

int HandleCycle(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    command.cursor = 1;
    object.cycle = Clamped32(int64_t{exec.IntArg(command)} * 8);
    return kAdvance;
}

int HandleCycleF(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    command.cursor = 1;
    object.cycle = exec.IntArg(command);
    return kAdvance;
}

// A view size is never negative, and never past the sides a node may have.
bool ViewSizeOf(const Kinterface& engine, int64_t wanted, int32_t& size)
{
    if (wanted > engine.vLimits.maxSide) return false;
    size = static_cast<int32_t>(std::max<int64_t>(wanted, 0));
    return true;
}

// A node's new depth puts it back among its siblings in order: objects by
// descending depth, boards as the root keeps them.
void Redepth(Kobject& object, int32_t z)
{
    Kobject* parent = object.parent;
    object.posz = z;
    if (parent == nullptr) return;
    std::unique_ptr<Kobject> node = parent->UnLink(&object);
    if (!node) return;
    if (parent->IsRoot()) {
        parent->Link_Back(std::move(node));
    } else {
        parent->Link(std::move(node));
    }
}

int HandleMod(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    if (command.code.size() < 2) return kAdvance;
    const int property = static_cast<unsigned char>(command.code[1]);
    command.cursor = 2;
    if (property == kPropName) {
        object.name = exec.NameArg(command);
        return kAdvance;
    }
    const int64_t value = exec.IntArg(command);
    KModProperty(exec.Engine(), object, property, value);
    return kAdvance;
}

int HandleGet(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    if (command.code.size() < 2) return kAdvance;
    const int property = static_cast<unsigned char>(command.code[1]);
    command.cursor = 2;
    Kinterface& engine = exec.Engine();
    if (property >= kPropChar && property <= kPropAttrib) {
        const int32_t x = exec.IntArg(command);
        const int32_t y = exec.IntArg(command);
        const std::string variable = exec.NameArg(command);
        const KCell* cell = object.GetCell(x, y);
        if (cell == nullptr) return kAdvance;
        const int16_t fields[4] = {cell->chr, cell->fg, cell->bg, cell->attrib};
        engine.SetVar(variable, fields[property - kPropChar]);
        return kAdvance;
    }
    const std::string variable = exec.NameArg(command);
    if (property == kPropName) {
        engine.SetVarString(variable, object.name);
        return kAdvance;
    }
    const int32_t values[] = {object.posx, object.posy, object.posz, object.viewx, object.viewy, object.vieww, object.viewh};
    if (property >= 0 && property < static_cast<int>(std::size(values))) engine.SetVar(variable, values[property]);
    return kAdvance;
}

int HandleLight(Kexec& exec, Kobject& object, KCompiledCommand& command)
{
    command.cursor = 1;
    int32_t v[4];
    ReadValues(exec, command, v, 4);
    KCastLight(exec.Engine(), object, v[0], v[1], v[2], v[3]);
    return kAdvance;
}

int HandleFadeIn(Kexec& exec, Kobject&, KCompiledCommand&)
{
    Kinterface& engine = exec.Engine();
    if (engine.vFont) KFadePalette(engine, KPalette{}, engine.vFont->palette);
    return kAdvance;
}

int HandleFadeOut(Kexec& exec, Kobject&, KCompiledCommand&)
{
    Kinterface& engine = exec.Engine();
    const KPalette shown = engine.vShownPalette;
    KFadePalette(engine, shown, KPalette{});
    return kAdvance;
}

bool SamePalette(const KPalette& a, const KPalette& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), [](const KRGB& x, const KRGB& y) {
        return x.r == y.r && x.g == y.g && x.b == y.b;
    });
}

uint8_t Between(uint8_t from, uint8_t to, int position)
{
    return static_cast<uint8_t>(((int{to} - int{from}) * position) / kFadeSteps + from);
}

// The library's tables of sine and cosine: 512 entries to a circle of 256
// units. The angle is wrapped first so any real angle finds its entry.
void Direction(float angle, double& dx, double& dy)
{
    const double wrapped = std::fmod(static_cast<double>(angle), 256.0);
    const fixed at = ftofix(wrapped);
    dx = fixtof(fixsin(at));
    dy = fixtof(fixcos(at));
}

}  // namespace

void KModProperty(Kinterface& engine, Kobject& object, int property, int64_t value)
{
    int32_t size = 0;
    switch (property) {
    case kPropPosX: object.posx = Clamped32(value); break;
    case kPropPosY: object.posy = Clamped32(value); break;
    case kPropPosZ: Redepth(object, Clamped32(value)); return;
    case kPropViewX:
        object.viewx = Clamped32(std::min(std::max<int64_t>(value, 0), int64_t{object.width} - object.vieww));
        return;
    case kPropViewY:
        object.viewy = Clamped32(std::min(std::max<int64_t>(value, 0), int64_t{object.height} - object.viewh));
        return;
    case kPropViewW:
        if (!ViewSizeOf(engine, value, size)) return;
        object.vieww = size;
        break;
    case kPropViewH:
        if (!ViewSizeOf(engine, value, size)) return;
        object.viewh = size;
        break;
    case kPropEViewW:
        // Grows or shrinks about its centre.
        if (!ViewSizeOf(engine, value, size)) return;
        object.posx = Clamped32(object.posx - Halved(int64_t{size} - object.vieww));
        object.vieww = size;
        break;
    case kPropEViewH:
        if (!ViewSizeOf(engine, value, size)) return;
        object.posy = Clamped32(object.posy - Halved(int64_t{size} - object.viewh));
        object.viewh = size;
        break;
    default: return;
    }
    object.Refile();
}

void KFadePalette(Kinterface& engine, const KPalette& from, const KPalette& to)
{
    // A fade to what is shown already would only make the player wait, and
    // once the game is ending nothing is shown any more.
    if (SamePalette(engine.vShownPalette, to)) return;
    if (engine.vHost.runPass != nullptr && engine.CloseRequested()) return;
    KPlayState& play = engine.vPlay;
    if (play.fadeTick != engine.vTickCount) {
        play.fadeTick = engine.vTickCount;
        play.fadeFrames = 0;
    }
    for (int position = 0; position < kFadeSteps; position += kFadeSpeed) {
        if (play.menuAsked || play.fadeFrames >= kMaxFadeFramesPerTick) break;
        ++play.fadeFrames;
        KPalette step = to;
        for (size_t c = 0; c < step.size(); ++c) {
            step[c].r = Between(from[c].r, to[c].r, position);
            step[c].g = Between(from[c].g, to[c].g, position);
            step[c].b = Between(from[c].b, to[c].b, position);
        }
        engine.ShowPalette(step);
        const KModalPass pass = engine.RunModalPass();
        // Nobody shows the game: the fade ends at once where it would end.
        if (pass == KModalPass::NoHost) break;
        // The game is ending: the palette stays as last shown.
        if (pass != KModalPass::Ran) return;
        if (key[KEY_ESC] != 0 || KFrameKeyDown(KEY_ESC)) play.menuAsked = true;
    }
    engine.ShowPalette(to);
}

int KCastLight(Kinterface& engine, const Kobject& object, int64_t radius, int64_t rays, int32_t angle, int32_t width)
{
    Kobject* dark = engine.vDarkBoard;
    const Kobject* parent = object.parent;
    if (dark == nullptr || parent == nullptr || rays < 1 || radius < 1) return 0;
    // Only so many directions exist, and no ray goes further than across
    // the dark board's cells, whatever its view says.
    rays = std::min<int64_t>(rays, kLightAngles);
    const int64_t darkW = std::clamp<int64_t>(dark->vieww, 0, dark->width);
    const int64_t darkH = std::clamp<int64_t>(dark->viewh, 0, dark->height);
    const auto diagonal = static_cast<int64_t>(std::ceil(std::hypot(static_cast<double>(darkW), static_cast<double>(darkH))));
    radius = std::min(radius, diagonal + 1);
    int32_t originX = 0;
    int32_t originY = 0;
    parent->WindowOrigin(originX, originY);
    const int64_t viewX = parent->IsRoot() ? 0 : parent->viewx;
    const int64_t viewY = parent->IsRoot() ? 0 : parent->viewy;
    int lit = 0;
    // A point of the parent's grid, on the dark board: lit when it lies on it.
    auto light = [&](double x, double y) {
        const int64_t ax = static_cast<int64_t>(x - static_cast<double>(viewX)) + originX;
        const int64_t ay = static_cast<int64_t>(y - static_cast<double>(viewY)) + originY;
        if (ax < 0 || ay < 0 || ax >= darkW || ay >= darkH) return false;
        if (KCell* cell = dark->GetCell(static_cast<int32_t>(ax), static_cast<int32_t>(ay))) {
            // A cell lit anew is drawn lit after this tick and dark again
            // after the next: two glyphs, paid for here.
            if (cell->fg != 0) engine.vWork.Spend(kLitCellUnits);
            cell->fg = 0;
            cell->bg = 0;
            ++lit;
        }
        return true;
    };

    const float step = static_cast<float>(width) / static_cast<float>(rays);
    float rayAngle = static_cast<float>(int64_t{angle} - Halved(width));
    const double startX = static_cast<double>(int64_t{object.posx} + object.vieww / 2);
    const double startY = static_cast<double>(int64_t{object.posy} + object.viewh / 2);
    for (int64_t ray = 0; ray < rays; ++ray, rayAngle += step) {
        // Each ray is paid for before it goes: once the tick's work is
        // spent, the light stops where it is.
        if (!engine.vWork.Spend(radius / kLightStepsPerUnit + 1)) break;
        double dx = 0;
        double dy = 0;
        Direction(rayAngle, dx, dy);
        double x = startX;
        double y = startY;
        for (int64_t i = 0; i < radius; ++i) {
            if (!light(x, y)) break;
            x += dx;
            y += dy;
            // Walls stop the light and are lit themselves; water lets it through.
            const KCell* cell = parent->GetCell(static_cast<int32_t>(std::clamp(x, -1.0, 2147483647.0)),
                                                static_cast<int32_t>(std::clamp(y, -1.0, 2147483647.0)));
            if (cell != nullptr && cell->attrib != 0 && cell->attrib != 3) {
                light(x, y);
                break;
            }
        }
    }
    return lit;
}

void KRegisterAppearanceHandlers(KHandlerTable& table)
{
    table[kOpChar] = HandleChar;
    table[kOpCharEx] = HandleCharEx;
    table[kOpChange] = HandleChange;
    table[kOpWrite] = HandleWrite;
    table[kOpCycle] = HandleCycle;
    table[kOpCycleF] = HandleCycleF;
    table[kOpMod] = HandleMod;
    table[kOpGet] = HandleGet;
    table[kOpLight] = HandleLight;
    table[kOpFadeIn] = HandleFadeIn;
    table[kOpFadeOut] = HandleFadeOut;
}
