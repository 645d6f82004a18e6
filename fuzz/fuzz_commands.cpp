// Scripts written from the compiler's own command table: the input bytes
// choose, line by line, a command word and arguments of the kinds its form
// takes (numbers at their extremes, directions, template names, properties,
// variables, labels), so nearly every line compiles and runs. Four objects
// play them for 30 ticks on a board with walls, a "Spawn" board of templates
// that copy, bind and light, and a "Dark" board with a view as wide as a
// node may be. No crash, hang or leak; no tick spends past its budget; the
// world stays within its node bound.

#include "FuzzSupport.h"
#include "KNames.h"
#include "Kcompiler.h"
#include "Kexec.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

constexpr int kTicks = 30;
constexpr int kObjects = 4;
constexpr size_t kMaxLines = 48;
constexpr int64_t kFuzzMaxNodes = 3000;
// A tenth of the runner's budget, as in the play fuzzer: the same bound,
// reached in a tenth of the time.
constexpr int64_t kFuzzTickUnits = kTickWorkUnits / 10;
constexpr int64_t kFuzzImmediateUnits = kImmediateWorkUnits / 10;

// The bytes still to read; 0 once they run out.
class Choices {
public:
    Choices(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
    template <size_t N>
    std::string_view Pick(const std::array<std::string_view, N>& table)
    {
        return table[Next() % N];
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

constexpr std::array<std::string_view, 14> kNumbers = {
    "0", "1", "-1", "2", "8", "64", "255", "256", "4096", "65536", "2147483647", "-2147483648", "999999999999", "v"};
constexpr std::array<std::string_view, 12> kDirections = {"n", "s", "e", "w", "i", "rnd", "seek", "flow",
                                                          "cw", "ccw", "opp", "rndp"};
constexpr std::array<std::string_view, 8> kNames = {"lamp", "chain", "big", "bullet", "player", "o1", "Main", "Dark"};
constexpr std::array<std::string_view, 6> kVariables = {"v", "w", "dark", "health", "ammo", "key_a"};
constexpr std::array<std::string_view, 14> kProperties = {"posx", "posy", "posz", "viewx", "viewy", "vieww", "viewh",
                                                          "evieww", "eviewh", "name", "char", "fg", "bg", "attrib"};
constexpr std::array<std::string_view, 6> kLabels = {"a", "b", "touch", "thud", "shot", "key_a"};
constexpr std::array<std::string_view, 8> kConditions = {"blocked n", "not blocked e", "any lamp", "above",
                                                         "alligned", "contact", "v", "not any chain"};
constexpr std::array<std::string_view, 5> kAddresses = {".self", ".parent", ".all", ".lamp", ".parent.all"};

void AddNumbers(Choices& in, std::string& line, int count)
{
    for (int i = 0; i < count; ++i) {
        line += ' ';
        line += in.Pick(kNumbers);
    }
}

void AddDirections(Choices& in, std::string& line)
{
    const int count = 1 + in.Next() % 3;
    for (int i = 0; i < count; ++i) {
        line += ' ';
        line += in.Pick(kDirections);
    }
}

// The arguments of one command, of the kinds its form reads.
void AddArguments(Choices& in, const KCommandWord& command, std::string& line)
{
    auto add = [&line](std::string_view word) {
        line += ' ';
        line += word;
    };
    switch (command.form) {
    case KArgForm::None: break;
    case KArgForm::Text1: add(command.opcode == kOpBoard || command.opcode == kOpSwitch ? in.Pick(kNames) : in.Pick(kNumbers)); break;
    case KArgForm::Text2: AddNumbers(in, line, 2); break;
    case KArgForm::Text3: add(in.Pick(kNames)); AddNumbers(in, line, 2); break;
    case KArgForm::Text4: AddNumbers(in, line, 4); break;
    case KArgForm::Text6: AddNumbers(in, line, 6); break;
    case KArgForm::Text8: AddNumbers(in, line, 8); break;
    case KArgForm::Variable: add(in.Pick(kVariables)); break;
    case KArgForm::Input: add(in.Pick(kNames)); break;
    case KArgForm::VariableValue: case KArgForm::Set: add(in.Pick(kVariables)); AddNumbers(in, line, 1); break;
    case KArgForm::VariableThree: add(in.Pick(kVariables)); AddNumbers(in, line, 2); break;
    case KArgForm::Directions: AddDirections(in, line); break;
    case KArgForm::TryDirections: AddDirections(in, line); add("/n"); break;
    case KArgForm::PutThrow:
        AddDirections(in, line);
        if (in.Next() % 2 == 0) add("red");
        add(in.Pick(kNames));
        break;
    case KArgForm::Write: AddNumbers(in, line, 2); add("words"); break;
    case KArgForm::Mod: add(in.Pick(kProperties)); AddNumbers(in, line, 1); break;
    case KArgForm::Get:
        add(in.Pick(kProperties));
        AddNumbers(in, line, 2);
        add(in.Pick(kVariables));
        break;
    case KArgForm::Zap: add(in.Pick(kLabels)); break;
    case KArgForm::If: add(in.Pick(kConditions)); add("#give v 1"); break;
    case KArgForm::IfEx: AddNumbers(in, line, 1); add(in.Next() % 2 ? "<" : "=="); AddNumbers(in, line, 1); break;
    case KArgForm::Repeat: AddNumbers(in, line, 1); break;
    default: AddNumbers(in, line, 2); break;  // sound, patch, cycle: numbers will do
    }
}

// One line: mostly a command from the table, sometimes a label, a message
// or a repeat of the command before.
std::string WriteLine(Choices& in)
{
    const uint8_t kind = in.Next();
    std::string line;
    if (kind % 16 == 0) return ":" + std::string(in.Pick(kLabels));
    if (kind % 16 == 1) return std::string(in.Pick(kAddresses)) + " @" + std::string(in.Pick(kLabels));
    if (kind % 16 == 2) return "@" + std::string(in.Pick(kLabels));
    const auto& commands = KCommandWords();
    const KCommandWord& command = commands[in.Next() % commands.size()];
    if (kind % 16 == 3) line = std::string(in.Pick(kAddresses)) + " ";
    line += command.word;
    AddArguments(in, command, line);
    return line;
}

KParts ScriptParts()
{
    KParts parts;
    KAddCompiler(parts);
    KAddExecutor(parts);
    return parts;
}

void BuildWorld(Kinterface& engine, Choices& in)
{
    engine.vMain->ClearChildren();
    engine.ResetHandles();
    engine.vVariables.EraseAll();
    engine.vPlay.Reset();
    // Files a script saves or loads would go beside this world: a folder
    // that does not exist, so the fuzzer writes nothing.
    engine.vWorldPath = "/nonexistent-quav-fuzz/world.zqav";
    engine.vLimits.maxNodes = kFuzzMaxNodes;
    Kobject* board = FuzzAddNode(engine, *engine.vMain, "Main", 24, 12);
    for (int x = 0; x < 24; ++x) board->SetCell(x, 6, -1, -1, -1, x % 4);  // free, wall, breakable, water
    Kobject* spawn = FuzzAddNode(engine, *engine.vMain, "Spawn", 12, 4, 0, 0, 2);
    FuzzAddNode(engine, *spawn, "bullet", 1, 1, 0, 0, 0, "#collide fly\n#end\n:thud\n#die");
    Kobject* lamp = FuzzAddNode(engine, *spawn, "lamp", 2, 2, 2, 0, 0, "#light 2147483647 512 0 1024\n/i\n#restart");
    lamp->vieww = lamp->viewh = 4096;
    FuzzAddNode(engine, *spawn, "chain", 1, 1, 5, 0, 0, "#put n chain\n#throw s chain\n#attach chain 1 1");
    FuzzAddNode(engine, *spawn, "big", 1, 1, 7, 0, 0, "#bind big\n/i &200\n:a\n#zap a\n#restore a");
    Kobject* dark = FuzzAddNode(engine, *engine.vMain, "Dark", 4, 4, 0, 0, 3);
    dark->vieww = dark->viewh = 4096;
    for (int i = 0; i < kObjects; ++i) {
        std::string script;
        for (size_t l = 0; l < kMaxLines && !in.Empty(); ++l) {
            const uint8_t end = in.Next();
            if (end == 0xff) break;  // the next object's script starts
            script += WriteLine(in);
            script += '\n';
        }
        FuzzAddNode(engine, *board, i == 0 ? "player" : "o" + std::to_string(i), 1, 1, 3 * i, 2, i, script);
    }
    engine.FindSpecialBoards();
    engine.CompileAll();
    engine.ChooseActiveBoard();
    engine.SetVar("dark", 1);
    engine.SetVar("ammo", 3);
}

void Darken(Kinterface& engine)
{
    if (engine.vDarkBoard == nullptr || engine.GetVar("dark") != 1) return;
    for (KCell& cell : engine.vDarkBoard->cells) cell.fg = cell.bg = 255;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Kinterface& engine = FuzzEngine(ScriptParts());
    engine.vWork.SetCapacity(kFuzzTickUnits, kFuzzImmediateUnits);
    Choices in(data, size);
    BuildWorld(engine, in);
    for (int tick = 0; tick < kTicks; ++tick) {
        engine.vPlay.RunDownTimers();
        engine.vPlay.CheckWatches(engine.vVariables);
        engine.vInputs[static_cast<size_t>(tick % kInputCount)] = static_cast<uint8_t>(tick);
        Darken(engine);
        engine.Tick();
        FuzzRequire(engine.vWork.Left() >= 0, "a tick spent more than its budget");
        FuzzRequire(FuzzCountNodes(*engine.vMain) <= kFuzzMaxNodes + 1, "the world grew past its node bound");
    }
    return 0;
}
