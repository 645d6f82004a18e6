#include "RunnerSupport.h"

#include "KWorldFile.h"
#include "KZip.h"
#include "Kfont.h"

#include <allegro.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

void Pause(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

bool HaveProgram(const std::string& name) { return RunCommand("command -v " + name + " > /dev/null 2>&1") == 0; }

RunnerSandbox::RunnerSandbox()
{
    const std::string bin = QUAV_OUTPUT_DIR;
    const std::string command = "cp " + Quoted(bin + "/quav-runner") + " " + Quoted(Dir()) + " && ln -s " +
                                Quoted(bin + "/Library") + " " + Quoted(File("Library")) + " && mkdir -p " +
                                Quoted(Screens()) + " && cp " + Quoted(bin + "/Worlds/welcome.zqav") + " " +
                                Quoted(File("Worlds/welcome.zqav"));
    if (RunCommand(command) != 0) ADD_FAILURE() << "cannot lay out the sandbox: " << command;
}

Played RunnerSandbox::Play(const std::string& world, int ticks, const std::string& extra) const
{
    Played played;
    played.status = Run("--headless --seed 7 --ticks " + std::to_string(ticks) +
                            " --dump-tree tree.json --dump-tree-cells --dump-vars vars.json " + extra + " " + world,
                        &played.output);
    EXPECT_EQ(played.status, 0) << world << ": " << played.output;
    played.tree = ReadFileBytes(File("tree.json"));
    played.vars = ReadFileBytes(File("vars.json"));
    return played;
}

int RunnerSandbox::Run(const std::string& arguments, std::string* output) const
{
    if (output != nullptr) output->clear();
    return RunCommand("cd " + Quoted(Dir()) + " && ./quav-runner " + arguments + " 2>&1", output);
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
                           const std::string& workingDir, const std::string& outputFile, int passFd)
{
    std::vector<std::string> environment(extraEnvironment);
    for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env;
    for (const std::string& entry : environment) env.push_back(const_cast<char*>(entry.c_str()));
    env.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!workingDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    if (passFd >= 0) posix_spawn_file_actions_adddup2(&actions, passFd, 3);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data()) == 0) pid_ = pid;
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess()
{
    if (!Running()) return;
    // Asked politely first, so an X server removes its lock file.
    kill(pid_, SIGTERM);
    if (Wait(3) == -1 && !ended_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool ChildProcess::Running()
{
    if (pid_ <= 0 || ended_) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        ended_ = true;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        endSignal_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        dumpedCore_ = WIFSIGNALED(status) && WCOREDUMP(status);
        return false;
    }
    return true;
}

bool ChildProcess::Signal(int signal) { return Running() && kill(pid_, signal) == 0; }

int ChildProcess::Wait(double seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (Running() && std::chrono::steady_clock::now() < deadline) Pause(0.02);
    return ended_ ? status_ : -1;
}

XServer::XServer(const std::string& screenSize)
{
    if (!HaveProgram("Xvfb")) return;
    // Xvfb chooses a free display itself and writes its number to
    // descriptor 3 once it takes clients, so parallel tests never collide.
    // Without -noreset it starts itself over whenever its last client
    // leaves, and a program connecting in that moment is turned away: a
    // runner started just after another one closed could not open a window.
    int pipeFds[2] = {-1, -1};
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
    auto server = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", "3", "-screen", "0", screenSize, "-nolisten", "tcp", "-noreset"},
        std::vector<std::string>{}, "", "/dev/null", pipeFds[1]);
    close(pipeFds[1]);
    std::string number;
    pollfd wanted{pipeFds[0], POLLIN, 0};
    for (int wait = 0; wait < 200 && server->Running() && number.find('\n') == std::string::npos; ++wait) {
        if (poll(&wanted, 1, 50) <= 0) continue;
        char buffer[32];
        const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
        if (got <= 0) break;
        number.append(buffer, static_cast<size_t>(got));
    }
    close(pipeFds[0]);
    if (number.find('\n') == std::string::npos || !server->Running()) return;
    number_ = std::stoi(number);
    server_ = std::move(server);
}

XServer::~XServer()
{
    server_.reset();
}

int XServer::Run(const std::string& command, std::string* output) const
{
    return RunCommand("DISPLAY=" + Display() + " " + command, output);
}

std::string XServer::FindWindow(const std::string& title, double seconds) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
        std::string ids;
        Run("xdotool search --name '^" + title + "$' 2>/dev/null", &ids);
        const size_t end = ids.find('\n');
        if (end != std::string::npos && end > 0) return ids.substr(0, end);
        Pause(0.1);
    } while (std::chrono::steady_clock::now() < deadline);
    return {};
}

std::string XServer::WindowSize(const std::string& window) const
{
    std::string geometry;
    if (Run("xdotool getwindowgeometry --shell " + window + " 2>/dev/null", &geometry) != 0) return {};
    const auto field = [&geometry](const std::string& name) {
        const size_t at = geometry.find(name + "=");
        if (at == std::string::npos) return std::string();
        const size_t from = at + name.size() + 1;
        return geometry.substr(from, geometry.find('\n', from) - from);
    };
    return field("WIDTH") + "x" + field("HEIGHT");
}

std::string Press(int tick, const std::string& name)
{
    return std::to_string(tick) + " " + name + " down\n" + std::to_string(tick + 1) + " " + name + " up\n";
}

std::string Presses(int tick, const std::vector<std::string>& names)
{
    std::string lines;
    for (const std::string& name : names) {
        lines += Press(tick, name);
        tick += 2;
    }
    return lines;
}

namespace {

void AddPiece(TestEngine& engine, Kobject& parent, const TestPiece& piece, int glyph)
{
    Kobject* node = engine.AddObject(parent, piece.name, piece.w, piece.h, 0, piece.x, piece.y);
    for (int y = 0; y < piece.h; ++y) {
        for (int x = 0; x < piece.w; ++x) node->SetCell(x, y, glyph, piece.fg, 1, 0);
    }
    node->source = piece.script;
    for (const TestPiece& child : piece.children) AddPiece(engine, *node, child, glyph);
}

}  // namespace

bool WriteTestWorld(const std::string& path, const std::vector<TestBoard>& boards, const TestWorld& world)
{
    TestEngine engine(KFlavour::Editor);
    engine->vVideoMode = world.videoMode;
    for (const TestBoard& layout : boards) {
        Kobject* board = engine.AddBoard(layout.name, layout.w, layout.h, layout.z);
        board->source = layout.script;
        for (int y = 0; y < layout.h; ++y) {
            for (int x = 0; x < layout.w; ++x) board->SetCell(x, y, 0, 1, 1, 0);
        }
        for (const TestWall& wall : layout.walls) board->SetCell(wall.x, wall.y, 219, 4, 4, wall.attrib);
        for (const TestPiece& piece : layout.pieces) AddPiece(engine, *board, piece, world.objectGlyph);
    }
    if (world.extra) world.extra(engine);
    const bool saved = SaveWorld(*engine, path);
    EXPECT_TRUE(saved) << path;
    return saved;
}

bool WriteTestWorld(const std::string& path, const std::vector<TestPiece>& pieces)
{
    return WriteTestWorld(path, {TestBoard{"Main", 80, 60, 0, {}, pieces}});
}

std::string ZipEntry(const std::string& archive, const std::string& entry)
{
    constexpr size_t kAnyArchive = size_t{64} << 20;
    KZipReader zip;
    std::string error;
    std::string text;
    if (!zip.OpenFile(archive, kAnyArchive, error) || zip.Read(entry, text, kAnyArchive) != KZipReader::Entry::Ok) {
        return "missing";
    }
    return text;
}

std::string VarText(const std::string& json, const std::string& name)
{
    const std::string label = "\"" + name + "\": ";
    const size_t at = json.find(label);
    if (at == std::string::npos) return "missing";
    const size_t start = at + label.size();
    return json.substr(start, json.find_first_of(",\n}", start) - start);
}

int VarInt(const std::string& json, const std::string& name)
{
    std::string text = VarText(json, name);
    // Variables set from text (typed, loaded from a saved game) are dumped
    // as strings even when they hold a number.
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    return text == "missing" ? kMissing : std::atoi(text.c_str());
}

size_t NodeAt(const std::string& tree, const std::string& name, int index)
{
    size_t at = 0;
    for (int i = 0; i <= index; ++i) {
        at = tree.find("\"name\": \"" + name + "\"", i == 0 ? 0 : at + 1);
        if (at == std::string::npos) return at;
    }
    return at;
}

int IntField(const std::string& tree, const std::string& name, const std::string& field, int index)
{
    const size_t node = NodeAt(tree, name, index);
    if (node == std::string::npos) return kMissing;
    const std::string label = "\"" + field + "\": ";
    const size_t at = tree.find(label, node);
    if (at == std::string::npos || at > tree.find('}', node)) return kMissing;
    return std::atoi(tree.c_str() + at + label.size());
}

int CountNodes(const std::string& tree, const std::string& name)
{
    int count = 0;
    while (NodeAt(tree, name, count) != std::string::npos) ++count;
    return count;
}

std::vector<std::array<int, 4>> CellsOf(const std::string& tree, const std::string& name, int index)
{
    std::vector<std::array<int, 4>> cells;
    const size_t node = NodeAt(tree, name, index);
    if (node == std::string::npos) return cells;
    size_t at = tree.find("\"cells\": [", node);
    const size_t end = tree.find('}', node);
    if (at == std::string::npos || at > end) return cells;
    for (at = tree.find("[", at + 10); at < end; at = tree.find("[", at + 1)) {
        if (tree[at + 1] == '\n' || tree[at + 1] == '[') continue;
        std::array<int, 4> cell{};
        if (std::sscanf(tree.c_str() + at, "[%d, %d, %d, %d]", &cell[0], &cell[1], &cell[2], &cell[3]) == 4) {
            cells.push_back(cell);
        }
    }
    return cells;
}

ShotScreen::ShotScreen(const std::string& bmp)
{
    PALETTE palette;
    shot_ = KBitmap(load_bmp(bmp.c_str(), palette));
    glyph_ = KMakeBitmap(8, 8);
    if (shot_ == nullptr) return;
    for (size_t i = 0; i < reds_.size(); ++i) reds_[i] = palette[i].r;
}

bool ShotScreen::ShowsLibraryText(int x, int y, const std::string& text, int colour) const
{
    if (shot_ == nullptr) return false;
    const int w = text_length(font, text.c_str()) + 8;
    KBitmap expected = KMakeBitmap(w, 8);
    clear_to_color(expected.get(), 0);
    textout_ex(expected.get(), font, text.c_str(), 0, 0, colour, -1);
    for (int row = 0; row < 8; ++row) {
        for (int column = 0; column < w; ++column) {
            const int shown = getpixel(shot_.get(), x + column, y + row);
            if ((shown == colour) != (expected->line[row][column] == colour)) return false;
        }
    }
    return true;
}

bool ShotScreen::Shows(int x, int y, int chr, int fg, int bg)
{
    if (shot_ == nullptr) return false;
    engine_->vFont->RenderGlyphTo(glyph_.get(), chr, fg, bg, 0, 0);
    for (int py = 0; py < 8; ++py) {
        for (int px = 0; px < 8; ++px) {
            if (getpixel(shot_.get(), 8 * x + px, 8 * y + py) != getpixel(glyph_.get(), px, py)) return false;
        }
    }
    return true;
}

std::string ShotScreen::Row(int x, int y, int count, int fg, int bg)
{
    return Read(count, [&](int i, int chr) { return Shows(x + i, y, chr, fg, bg); });
}

std::string ShotScreen::Strokes(int x, int y, int count, int colour)
{
    return Read(count, [&](int i, int chr) { return StrokesAt(x + i, y, chr, colour); });
}

std::string ShotScreen::Read(int count, const std::function<bool(int, int)>& cellShows)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        char seen = '?';
        for (int chr = 32; chr < 127 && seen == '?'; ++chr) {
            if (cellShows(i, chr)) seen = static_cast<char>(chr);
        }
        text += seen;
    }
    return text;
}

bool ShotScreen::StrokesAt(int x, int y, int chr, int colour)
{
    if (shot_ == nullptr) return false;
    // The background colour only has to differ from the strokes'.
    engine_->vFont->RenderGlyphTo(glyph_.get(), chr, colour, colour == 1 ? 2 : 1, 0, 0);
    for (int py = 0; py < 8; ++py) {
        for (int px = 0; px < 8; ++px) {
            const bool stroke = getpixel(glyph_.get(), px, py) == colour;
            if ((getpixel(shot_.get(), 8 * x + px, 8 * y + py) == colour) != stroke) return false;
        }
    }
    return true;
}

int ShotScreen::Pixels(int x, int y, int w, int h, int colour) const
{
    if (shot_ == nullptr) return -1;
    const int right = w < 0 ? shot_->w : 8 * (x + w);
    const int bottom = h < 0 ? shot_->h : 8 * (y + h);
    int count = 0;
    for (int py = 8 * y; py < bottom; ++py) {
        for (int px = 8 * x; px < right; ++px) count += shot_->line[py][px] == colour ? 1 : 0;
    }
    return count;
}

int ShotScreen::Rows() const
{
    return shot_ == nullptr ? 0 : shot_->h / 8;
}
