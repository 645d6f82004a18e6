// The executor on small worlds built in memory: turns, control flow,
// messages, key markers, conditions and variable commands.

#include "KHandlers.h"
#include "KSavedGame.h"
#include "KVarArchive.h"
#include "KWorldFile.h"
#include "KZip.h"
#include "ScriptTestSupport.h"

#include <gtest/gtest.h>

namespace {

// One board of scripted objects.
class ScriptWorld {
public:
    ScriptWorld() : world_(RunnerScriptParts()) { board_ = world_.AddBoard("Main", 40, 30); }

    Kobject* Add(const std::string& name, const std::string& script, Kobject* parent = nullptr, int z = 0)
    {
        Kobject* object = world_.AddObject(parent != nullptr ? *parent : *board_, name, 1, 1, z);
        object->source = script;
        return object;
    }

    // Compiles and chooses the board, then plays ticks.
    void Start(int ticks = 0)
    {
        world_->CompileAll();
        world_->ChooseActiveBoard();
        Ticks(ticks);
    }

    void Ticks(int count)
    {
        for (int i = 0; i < count; ++i) world_->Tick();
    }

    int Var(const std::string& name) { return world_->GetVar(name); }
    std::string Text(const std::string& name) { return world_->GetVarString(name); }
    Kexec& Exec() { return *world_->vExec; }

    TestEngine world_;
    Kobject* board_ = nullptr;
};

class Play : public testing::Test, public ScriptWorld {};

TEST_F(Play, CycleThreeRunsOnTicksOneFiveNine)
{
    Kobject* clock = Add("clock", "#give n 1\n#restart");
    Start();
    clock->cycle = 3;
    std::vector<int> ran;
    int before = 0;
    for (int tick = 1; tick <= 10; ++tick) {
        Ticks(1);
        if (Var("n") != before) ran.push_back(tick);
        before = Var("n");
    }
    EXPECT_EQ(ran, (std::vector<int>{1, 5, 9}));
    EXPECT_EQ(Var("n"), 3 * 128) << "each turn runs 256 commands: 128 gifts";
}

TEST_F(Play, EndlessLoopStopsAfter256CommandsAndGoesOnNextTurn)
{
    Add("loop", ":top\n#give n 1\n@top");
    Start(1);
    EXPECT_EQ(Var("n"), 128);
    board_->children[0]->wait = 0;
    Ticks(1);
    EXPECT_EQ(Var("n"), 256) << "the loop went on where it stopped";
}

TEST_F(Play, ProgramEndsAfterItsLastLineAndMessagesWakeIt)
{
    Kobject* door = Add("door", "#give opened 1\n#end\n:touch\n#give touched 1");
    Add("pusher", "#give pushes 1\n.door @touch\n#end");
    Start(1);
    EXPECT_EQ(Var("opened"), 1);
    EXPECT_EQ(door->running, 1) << "the pusher (which runs later) woke the door";
    door->wait = 0;
    Ticks(1);
    EXPECT_EQ(Var("touched"), 1);
    EXPECT_EQ(door->running, 0) << "ran past its last line";
    EXPECT_EQ(door->currentLine, 0);
    door->wait = 0;
    Ticks(1);
    EXPECT_EQ(Var("opened"), 1) << "a stopped program stays stopped";
}

TEST_F(Play, RunningReceiverJumpsButKeepsItsWait)
{
    Kobject* target = Add("target", ":idle\n#give idle 1\n@idle\n:hit\n#give hits 1\n@idle");
    Add("sender", "#end");
    Start(1);
    target->wait = 5;
    Kexec& exec = Exec();
    KCompiledCommand message;
    message.code = std::string(1, static_cast<char>(48)) + "hit ";
    exec.Dispatch(*target, message);
    EXPECT_EQ(target->wait, 5);
    EXPECT_EQ(target->lastMarker, "hit");
}

TEST_F(Play, HeldKeyFiresAgainOnlyWhenIdle)
{
    Kobject* hero = Add("hero", ":key_a\n#give a 1\n#restart");
    Start();
    Kinterface& engine = *world_;
    const size_t keyA = 1;
    Ticks(1);  // runs the program once from the start: 128 gifts
    const int start = Var("a");
    engine.vInputs[keyA] = 1;  // a fresh press fires whatever the wait
    Ticks(1);
    EXPECT_EQ(hero->wait, 0);
    EXPECT_EQ(hero->lastMarker, "key_a");
    engine.vInputs[keyA] = 2;  // held: the object ran this tick, so its wait is 8
    Ticks(1);
    EXPECT_GT(Var("a"), start);
    EXPECT_EQ(hero->wait, 8) << "a held key does not fire while the object waits";
    const int afterRun = Var("a");
    for (int i = 0; i < 8; ++i) {
        engine.vInputs[keyA] = static_cast<uint8_t>(3 + i);
        Ticks(1);
    }
    EXPECT_EQ(Var("a"), afterRun) << "no turn while waiting";
    EXPECT_EQ(hero->wait, 0) << "counted down: the held key fired again";
}

// A dead object takes no turn: one the parent's turn has still to reach
// goes in the same tick, one it has passed at its parent's next turn.
TEST(Dying, AnotherObjectGoesAtItsParentsTurn)
{
    for (const int killerDepth : {-5, 5}) {
        ScriptWorld world;
        Kobject* victim = world.Add("victim", "#give victim 1\n#end");
        world.Add("killer", ".victim #die\n#end", nullptr, killerDepth);
        const int32_t victimId = victim->id;
        world.Start(1);
        const bool after = killerDepth < 0;
        ASSERT_EQ(world.board_->children.size(), after ? 2u : 1u) << "marked, not yet erased";
        EXPECT_EQ(world.Var("victim"), after ? 1 : 0);
        if (after) {
            EXPECT_EQ(world.board_->children[0]->id, victimId);
            EXPECT_EQ(world.board_->children[0]->dead, 1);
            world.Ticks(1);
            ASSERT_EQ(world.board_->children.size(), 1u);
        }
        EXPECT_EQ(world.board_->children[0]->name, "killer");
    }
}

TEST_F(Play, DieOnItselfGoesAtOnceAndForgetsThePlayer)
{
    Add("player", "#die");
    Start();
    ASSERT_NE(world_->vPlayer, nullptr);
    Ticks(1);
    EXPECT_TRUE(board_->children.empty());
    EXPECT_EQ(world_->vPlayer, nullptr);
}

TEST_F(Play, ZapDisablesOneMarkerAtATimeRestoreEnablesAll)
{
    Kobject* object = Add("o", "#zap touch\n#zap touch\n#end\n:touch\n:touch\n:again\n#restore touch\n#end");
    Start(1);
    ASSERT_EQ(object->markers.size(), 3u);
    EXPECT_EQ(object->markers[0].active, 0);
    EXPECT_EQ(object->markers[1].active, 0);
    Exec().SendMarker(*object, "again");
    object->running = 1;
    object->wait = 0;
    Ticks(1);
    EXPECT_EQ(object->markers[0].active, 1);
    EXPECT_EQ(object->markers[1].active, 1);
}

// Labels of one name, disabled and enabled again in any order: a message
// goes to the first enabled one. Two objects with the same script share its
// program but not its labels.
TEST_F(Play, LabelsOfOneNameAfterZapAndRestoreInAnyOrder)
{
    const std::string script =
        "#end\n:go\n#set where 1\n#end\n:go\n#set where 2\n#end\n'go\n#set where 3\n#end\n"
        ":zap\n#zap go\n#end\n:restore\n#restore go\n#end";
    Kobject* a = Add("a", script);
    Kobject* b = Add("b", script);
    Start(1);
    ASSERT_TRUE(a->lines.SameAs(b->lines));
    const auto send = [&](Kobject* object, const char* label) {
        world_->SetVar("where", 0);
        if (Exec().SendMarker(*object, label) == 0) return -1;
        object->running = 1;
        object->wait = 0;
        Ticks(1);
        return Var("where");
    };
    struct Step {
        const char* label;
        int where;  // -1: no enabled label of that name
    };
    const Step steps[] = {{"go", 1},      {"zap", 0}, {"go", 2},   {"zap", 0},     {"go", -1},
                          {"restore", 0}, {"go", 1},  {"zap", 0},  {"restore", 0}, {"go", 1},
                          {"zap", 0},     {"zap", 0}, {"zap", 0},  {"go", -1},     {"zap", 0},
                          {"restore", 0}, {"zap", 0}, {"zap", 0},  {"go", 3},      {"restore", 0},
                          {"go", 1}};
    for (size_t i = 0; i < std::size(steps); ++i) EXPECT_EQ(send(a, steps[i].label), steps[i].where) << "step " << i;
    EXPECT_EQ(send(b, "go"), 1) << "b's labels are its own";
    EXPECT_EQ(send(b, "zap"), 0);
    EXPECT_EQ(send(b, "go"), 2);
    EXPECT_EQ(send(a, "go"), 1);
}

// Variables made, erased and made again in another order, around a saved
// game: the load brings back the saved store, and scripts read and write
// it by name afterwards.
TEST_F(Play, VariablesErasedAndMadeAgainAroundASavedGame)
{
    Add("o", "#end\n:a\n#set x 5\n#set y hello\n#give z 2\n#end\n:b\n#give w 1\n#give x 1\n#end");
    Start(1);
    const auto send = [&](const char* label) {
        Kobject* object = world_->vActiveBoard->FindByName("o");
        ASSERT_NE(object, nullptr);
        ASSERT_EQ(Exec().SendMarker(*object, label), 1);
        object->running = 1;
        object->wait = 0;
        Ticks(1);
    };
    const auto names = [&] {
        std::string all;
        for (const KVariable& variable : world_->vVariables.All()) {
            // The tick itself reads these three, making them when missing.
            if (variable.name == "overlay" || variable.name == "dark" || variable.name == "freeze") continue;
            all += variable.name + "=" + KVariables::StringOf(variable) + " ";
        }
        return all;
    };
    send("a");
    EXPECT_EQ(names(), "x=5 y=hello z=2 ");
    TempDir dir;
    ASSERT_TRUE(KSaveGameFile(*world_, dir.File("game.qsg")));
    world_->vVariables.EraseAll();
    send("b");
    send("b");
    EXPECT_EQ(names(), "w=2 x=2 ");
    ASSERT_EQ(KLoadGameFile(*world_, dir.File("game.qsg")), KLoadGame::Loaded);
    EXPECT_EQ(names(), "x=5 y=hello z=2 ");
    send("b");
    EXPECT_EQ(names(), "x=6 y=hello z=2 w=1 ");
    world_->vVariables.EraseAll();
    send("a");
    send("b");
    EXPECT_EQ(names(), "x=6 y=hello z=2 w=1 ");
}

// A word read as a number is the variable of that name while there is one
// (0 while there is none), however the store changed since the command last
// ran; a text variable reads as its leading digits.
TEST_F(Play, AWordReadAsANumberFollowsTheVariablesOfItsName)
{
    Add("o", "#end\n:r\n#give out v\n#give out w\n#ifex v > 6 #give big 1\n#end");
    Start(1);
    const auto read = [&] {
        world_->SetVar("out", 0);
        world_->SetVar("big", 0);
        Kobject* object = world_->vActiveBoard->FindByName("o");
        EXPECT_EQ(Exec().SendMarker(*object, "r"), 1);
        object->running = 1;
        object->wait = 0;
        Ticks(1);
        return std::to_string(Var("out")) + " " + std::to_string(Var("big"));
    };
    EXPECT_EQ(read(), "0 0");
    world_->SetVar("v", 7);
    EXPECT_EQ(read(), "7 1");
    world_->SetVarString("v", "12abc");
    EXPECT_EQ(read(), "12 1");
    world_->SetVar("w", 1);
    EXPECT_EQ(read(), "13 1");
    world_->vVariables.EraseAll();
    EXPECT_EQ(read(), "0 0");
    world_->SetVar("a", 1);
    world_->SetVar("b", 2);
    world_->SetVar("v", 3);
    EXPECT_EQ(read(), "3 0") << "v made again at another place";
}

// One object's script played for a tick, and the variables it leaves.
TEST(OneTurn, ConditionsAndVariableCommandsSetTheirVariables)
{
    struct Case {
        const char* script;
        std::vector<std::pair<const char*, int>> vars;
        int glyph = 0;  // of the object's one cell
    };
    const Case kCases[] = {
        {"#if any 65 -1 -1 -1 #give has 1\n#if any 66 -1 -1 -1 #give hasNot 1\n#end", {{"has", 1}, {"hasNot", 0}}, 65},
        // A new object is in the state "default"; a marker sets it.
        {"#if state touch #give early 1\n@touch\n:touch\n#if state touch #give late 1\n#end", {{"early", 0}, {"late", 1}}},
        {"#set key1\n#if key1 #give a 1\n#if not key1 #give b 1\n#if nothing #give c 1\n"
         "#ifex 7 > 3 #give d 1\n#ifex 7 <= 3 #give e 1\n#ifex (a+1)*2 == 4 #give f 1\n#end",
         {{"a", 1}, {"b", 0}, {"c", 0}, {"d", 1}, {"e", 0}, {"f", 1}}},
        // A word converts to 0 before the gift; taking more than there is
        // runs the rest of the line; #mul wraps around at 32 bits.
        {"#set fresh\n#set word banana\n#give word 1\n#set n 10\n#give n 5\n#take n 20 #give failed 1\n"
         "#take n 3 #give notRun 1\n#rand one 1\n#rand zero 0\n#div q 7 2\n#div z 7 0\n#div m -7 2\n"
         "#mul p 65536 65536\n#clear n\n#end",
         {{"fresh", 1}, {"word", 1}, {"failed", 1}, {"notRun", 0}, {"one", 0}, {"zero", 0}, {"q", 3}, {"z", 0},
          {"m", -3}, {"p", 0}, {"n", 0}}},
        // Taking with enough skips the rest of the line.
        {"#set ammo 7\n#take ammo 5 #give skipped 1\n#set ammo 3\n#take ammo 5 #give ran 1\n#end",
         {{"ammo", 3}, {"skipped", 0}, {"ran", 1}}},
    };
    for (const Case& test : kCases) {
        SCOPED_TRACE(test.script);
        ScriptWorld world;
        world.Add("o", test.script)->SetCell(0, 0, test.glyph, 4, 5, 0);
        world.Start(1);
        for (const auto& [name, value] : test.vars) EXPECT_EQ(world.Var(name), value) << name;
    }
}

TEST_F(Play, IfConditionsAboutThePlayer)
{
    Kobject* player = Add("player", "#end");
    player->posx = 10;
    player->posy = 10;
    Kobject* north = Add("north", "#if aligned #give aligned 1\n#if aligndir s #give south 1\n"
                                  "#if aligndir n #give wrong 1\n#if range 5 #give near 1\n"
                                  "#if range 3 #give tooFar 1\n#if scope .player #give seen 1\n#end");
    north->posx = 10;
    north->posy = 6;
    Start(1);
    // The player stands south of the object, four cells away.
    for (const auto& [name, value] : {std::pair{"aligned", 1}, {"south", 1}, {"wrong", 0}, {"near", 1}, {"tooFar", 0}, {"seen", 1}}) {
        EXPECT_EQ(Var(name), value) << name;
    }
}

TEST_F(Play, LockRefusesOthersMessagesWhileEndAndRestartReachOtherObjects)
{
    Kobject* safe = Add("safe", "#lock\n@self\n#end\n:self\n#give own 1\n#end\n:open\n#give opened 1");
    Add("thief", ".safe @open\n#end", nullptr, -1);
    Kobject* other = Add("other", "#give o 1\n#end");
    Add("boss", ".other #end\n.other #restart\n#end", nullptr, -3);  // after the other's turn
    Start(1);
    EXPECT_EQ(other->running, 1) << "restarted after it was ended";
    EXPECT_EQ(other->wait, 0);
    EXPECT_EQ(Var("own"), 1);
    Ticks(20);
    EXPECT_EQ(Var("opened"), 0);
    EXPECT_EQ(safe->locked, 1);
}

TEST_F(Play, ImmediateTurnsNestOnlySoDeepAndCallsBackEndWithoutOverflow)
{
    const int chain = 3 * kMaxImmediateTurns;
    for (int i = 0; i < chain; ++i) {
        Add("o" + std::to_string(i), "#end\n:go\n#give ran 1\n.o" + std::to_string(i + 1) + " @*go\n#end", nullptr,
            -i);
    }
    Add("starter", ".o0 @*go\n#set during ran\n#end", nullptr, 100);
    // Each "*" to an object already in its turn only jumps it, so a pair
    // calling each other loops inside one turn until its command limit.
    Add("ping", ":go\n#give pings 1\n.pong @*go\n#end", nullptr, -100);
    Add("pong", ":go\n#give pongs 1\n.ping @*go\n#end", nullptr, -100);
    Start(1);
    EXPECT_EQ(Var("during"), kMaxImmediateTurns) << "the chain ran this deep inside the starter's turn";
    EXPECT_EQ(Var("ran"), chain) << "the rest jumped and ran in their own turns";
    Ticks(2);
    EXPECT_GT(Var("pings"), 0);
    EXPECT_LE(Var("pings") + Var("pongs"), 3 * 2 * kMaxCommandsPerTurn);
}

TEST_F(Play, MessagesToAllReachEverySibling)
{
    Add("a", "#end\n:hi\n#give hi 1\n#end");
    Add("b", "#end\n:hi\n#give hi 1\n#end");
    Add("caller", ".all @hi\n#end", nullptr, -5);
    Start(1);
    Ticks(1);
    EXPECT_EQ(Var("hi"), 2);
}

TEST_F(Play, SwitchRestartsTheNewBoardsScripts)
{
    Kobject* second = world_.AddBoard("Second", 40, 30, 1);
    Kobject* resident = world_.AddObject(*second, "resident", 1, 1);
    resident->source = "#give resident 1\n#end";
    Add("mover", "#switch second\n#end");
    Start();
    resident->running = 0;
    Ticks(1);
    EXPECT_EQ(world_->vActiveBoard, second);
    EXPECT_EQ(resident->running, 1);
    Ticks(1);
    EXPECT_EQ(Var("resident"), 1);
}

TEST_F(Play, EndgameStopsInputAndSaysGameOverOnce)
{
    Add("a", "#endgame\n#end");
    Add("b", "#endgame\n#end");
    Start();
    world_->vInputs[5] = 3;
    Ticks(1);
    EXPECT_EQ(world_->vPlay.inputEnabled, 0);
    EXPECT_EQ(world_->vInputs[5], 0);
    int gameOver = 0;
    for (const auto& message : world_->vPlay.messages) gameOver += message.text == "!!! Game Over !!!" ? 1 : 0;
    EXPECT_EQ(gameOver, 1);
}

TEST_F(Play, SingleTextLineBecomesTheObjectsMessage)
{
    Kobject* talker = Add("talker", "Hello $$65 there\n#end\n:again\nSecond words\n#end");
    Start(1);
    ASSERT_EQ(world_->vPlay.messages.size(), 1u);
    EXPECT_EQ(world_->vPlay.messages[0].text, "Hello Athere");
    EXPECT_EQ(world_->vPlay.messages[0].owner, talker->id);
    Exec().SendMarker(*talker, "again");
    talker->running = 1;
    talker->wait = 0;
    Ticks(1);
    ASSERT_EQ(world_->vPlay.messages.size(), 1u) << "the same object refreshes its line";
    EXPECT_EQ(world_->vPlay.messages[0].text, "Second words");
}

TEST_F(Play, NotifyAddsAWatchKeyedByTheObject)
{
    Kobject* object = Add("o", "#set score 1\n#notify score\n#notify missing\n#restart");
    Start();
    object->cycle = 0;
    Ticks(3);
    ASSERT_EQ(world_->vPlay.watches.size(), 1u) << "a variable is watched once, however often it is asked";
    EXPECT_EQ(world_->vPlay.watches[0].name, "score");
    EXPECT_EQ(world_->vPlay.watches[0].key, -object->id);
}

TEST_F(Play, ObjectsMadeOrErasedDuringATickAreSafeAndHandlesDoNotLeak)
{
    // A parent dying with its children, children dying, erased objects
    // getting messages: under the sanitizers any touch of a gone object fails.
    Kobject* crowd = Add("crowd", "#end");
    for (int i = 0; i < 50; ++i) {
        Kobject* member = world_.AddObject(*crowd, "m" + std::to_string(i), 1, 1, i % 7);
        member->source = i % 3 == 0 ? ".parent #die\n.parent @*x\n#end" : ".all #die\n#give alive 1\n#end";
    }
    Add("watcher", ".crowd @*x\n#end", nullptr, -3);
    // And messages through addresses over a long run leave no handle behind.
    Add("a", ":l\n.b @ping\n.all @ping\n#if scope .b #give s 1\n@l", nullptr, -4);
    Add("b", ":ping\n#give p 1\n#end", nullptr, -5);
    Start();
    const int handles = world_->HandlesInUse();
    Ticks(300);
    ASSERT_EQ(board_->children.size(), 3u);
    EXPECT_EQ(board_->children[0]->name, "watcher");
    EXPECT_EQ(world_->HandlesInUse(), handles);
    EXPECT_EQ(world_->ListsInUse(), 0);
    EXPECT_GT(Var("p"), 0);
}

TEST(VarArchive, ScriptFilesStayInsideTheWorldsFolder)
{
    const std::pair<std::string, std::string> kPaths[] = {
        {"save.dat", "/games/save.dat"}, {"sub/../save.dat", "/games/save.dat"},
        {"saves/one.dat", "/games/saves/one.dat"}, {"../escape.dat", ""}, {"sub/../../escape.dat", ""},
        {"/etc/passwd", ""}, {"", ""}, {".", ""}, {"sub/..", ""}, {std::string(2000, 'a'), ""}};
    for (const auto& [name, path] : kPaths) EXPECT_EQ(KScriptFilePath("/games/w.zqav", name), path) << name;
    EXPECT_EQ(KScriptFilePath("w.zqav", "a.dat"), "a.dat");
}

TEST_F(Play, LoadReadsEveryCompletePairEvenWithoutTheEndLine)
{
    TempDir dir;
    world_->vWorldPath = dir.File("w.zqav");
    {
        KZipWriter zip;
        ASSERT_TRUE(zip.Open(dir.File("old.qvs")));
        ASSERT_TRUE(zip.Add("VARS.DAT", "a\n1\nb\ntwo\nc"));
        ASSERT_TRUE(zip.Commit());
    }
    Add("o", "#load old.qvs\n#load nothing-here.qvs\n#end");
    Start(1);
    EXPECT_EQ(Var("a"), 1);
    EXPECT_EQ(Text("b"), "two");
    EXPECT_FALSE(world_->vVariables.Exists("c"));
}

// The window holds a handle on its speaker and three nodes while it is open;
// a replay cannot see handles, so a host here presses the keys: Down twice
// to the link, then Enter, acted on when it is let go.
TEST_F(Play, ScrollWindowLeavesNoNodeOrHandleBehind)
{
    Kobject* talker = Add("talker", "One\n$l go Go\n#end\n:go\n#give went 1\n#end");
    Start();
    world_->SetScreenSize(80, 60);
    struct Host {
        Kinterface* engine = nullptr;
        int passes = 0;
        int64_t openNodes = 0;
        int openHandles = 0;
    } host{&*world_};
    const int64_t nodes = world_->vLiveNodes;
    const int handles = world_->HandlesInUse();
    world_->vHost.context = &host;
    world_->vHost.runPass = [](void* context) {
        Host& h = *static_cast<Host*>(context);
        h.openNodes = h.engine->vLiveNodes;
        h.openHandles = h.engine->HandlesInUse();
        static constexpr const char* kPresses[] = {"key_down", "", "key_down", "", "key_enter", ""};
        if (h.passes >= 6) return KModalPass::Closing;
        h.engine->vInputs.fill(0);
        if (*kPresses[h.passes] != 0) h.engine->vInputs[static_cast<size_t>(KInputSlot(kPresses[h.passes]))] = 1;
        ++h.passes;
        return KModalPass::Ran;
    };
    Ticks(1);
    world_->vHost = KModalHost{};
    EXPECT_EQ(host.passes, 6) << "closed by the release of Enter";
    EXPECT_EQ(host.openNodes, nodes + 3);
    EXPECT_EQ(host.openHandles, handles + 1);
    EXPECT_EQ(world_->vLiveNodes, nodes);
    EXPECT_EQ(world_->HandlesInUse(), handles);
    EXPECT_EQ(talker->wait, 0);
    Ticks(1);
    EXPECT_EQ(Var("went"), 1) << "the link jumped its speaker";
}

}  // namespace

// --- Worlds that try to break the executor -------------------------------------

TEST_F(Play, ImmediateTurnNeverErasesTheObjectTakingIt)
{
    // d, in a turn taken at once, kills its parent and then has its
    // grandparent take a turn: that turn must not erase d's parent under d.
    Kobject* pc = Add("pc", "#end");
    Kobject* c = Add("c", "#end", pc);
    Add("d", "#end\n:go\n.parent #die\n.parent.parent @*x\n#give after 1\n#end", c);
    Add("x", ".pc.c.d @*go\n#end", nullptr, -5);
    Start(1);
    EXPECT_EQ(Var("after"), 1) << "d finished its turn";
    Ticks(1);
    EXPECT_TRUE(pc->children.empty()) << "the dead parent went once nothing below it was running";
}

TEST_F(Play, CommandToSeveralTargetsSurvivesItsProgramReplaced)
{
    // A handler that throws the running object's program away, as rebinding
    // does: the other targets still get the command, from a copy.
    Exec().SetHandler(kOpBind, [](Kexec& exec, Kobject&, KCompiledCommand& command) {
        exec.Engine().GiveVar("bound", 1);
        if (Kobject* running = exec.RunningObject()) running->lines = std::vector<KProgramLine>(1);
        command.cursor = 1;
        return static_cast<int>(kAdvance);
    });
    Add("a", "#end");
    Add("b", "#end");
    Add("binder", ".all #bind x\n#end");
    Start(1);
    EXPECT_EQ(Var("bound"), 3);
}

TEST_F(Play, ChildMovedToAnotherParentTakesOneTurnATick)
{
    // A handler that moves the running object into the other box, as
    // entering a container does, and ends its turn.
    Exec().SetHandler(kOpFocus, [](Kexec& exec, Kobject& object, KCompiledCommand&) {
        Kobject* board = object.parent->parent;
        Kobject* other = board->FindByName(object.parent->name == "one" ? "two" : "one");
        other->Link(object.parent->UnLink(&object));
        exec.turnEnded = true;
        return static_cast<int>(kAdvance);
    });
    Kobject* one = Add("one", "#end", nullptr, 5);
    Add("two", "#end", nullptr, 1);
    Kobject* mover = Add("mover", "#give turns 1\n#focus\n#restart", one);
    Start();
    mover->cycle = 0;
    Ticks(1);
    EXPECT_EQ(Var("turns"), 1);
    Ticks(1);
    EXPECT_EQ(Var("turns"), 2);
}

TEST_F(Play, ListNeverYieldsANodeThatTookADestroyedTargetsHandle)
{
    Exec().SetHandler(kOpPut, [](Kexec& exec, Kobject& target, KCompiledCommand&) {
        Kinterface& engine = exec.Engine();
        engine.SetVarString("visited", engine.GetVarString("visited") + target.name);
        if (target.name != "a") return static_cast<int>(kAdvance);
        // The second target goes, and its handle number goes to a new node.
        Kobject* board = target.parent;
        board->Erase(board->FindByName("b"));
        Kobject* intruder = board->Spawn(engine.TakeNextId(), -50);
        intruder->Create("intruder", 1, 1);
        engine.AllocHandle(intruder);
        return static_cast<int>(kAdvance);
    });
    Add("a", "#end", nullptr, 9);
    Add("b", "#end", nullptr, 8);
    Add("putter", ".all #put x\n#end", nullptr, -9);
    Start();
    world_->SetVarString("visited", ":");
    Ticks(1);
    EXPECT_EQ(Text("visited"), ":aputter");
}

TEST_F(Play, RelaysToAllFinishTheTickAndLeaveTheRestTheirTurns)
{
    // Every object hands "*go" on to all of its siblings: without a bound on
    // turns taken at once one tick would never end.
    for (int i = 0; i < 10; ++i) Add("r" + std::to_string(i), "#end\n:go\n.all @*go\n#end", nullptr, 10);
    Add("starter", ".r0 @*go\n#end", nullptr, 20);
    Add("later", "#give later 1\n#end", nullptr, -20);
    Start(1);
    EXPECT_EQ(Var("later"), 1) << "the object after the relays took its turn";
    EXPECT_GT(world_->vWork.Left(), 0);
}

TEST_F(Play, TickEndsWhenItsWorkIsSpentAndGoesOnNextTick)
{
    world_->vWork.SetCapacity(1000, 250);
    for (int i = 0; i < 10; ++i) Add("l" + std::to_string(i), "#give n 1\n#restart", nullptr, 10 - i);
    Start();
    for (Kobject* object : {board_->children.front().get(), board_->children.back().get()}) object->cycle = 0;
    Ticks(1);
    EXPECT_LE(Var("n"), 500) << "at most the tick's units of commands ran";
    EXPECT_GT(Var("n"), 0);
    const int first = Var("n");
    Ticks(1);
    EXPECT_GT(Var("n"), first);
}

TEST(HandlerTable, EveryOpcodeIsBuiltOrListedAsUnbuilt)
{
    std::vector<int> missing;
    KBuildHandlerTable(&missing);
    EXPECT_TRUE(missing.empty()) << "an opcode has neither a handler nor a place on the unbuilt list";
    KHandlerTable areas{};
    KRegisterControlHandlers(areas);
    KRegisterVariableHandlers(areas);
    for (const int opcode : KUnbuiltOpcodes()) {
        EXPECT_EQ(areas[static_cast<size_t>(opcode)], nullptr) << "opcode " << opcode << " is built but listed as unbuilt";
    }
    if (kRunnerComplete) {
        EXPECT_TRUE(KUnbuiltOpcodes().empty()) << "the runner claims to be complete";
    }
}
