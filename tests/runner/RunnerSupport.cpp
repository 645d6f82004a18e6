#include "RunnerSupport.h"

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
                                Quoted(World());
    if (RunCommand(command) != 0) ADD_FAILURE() << "cannot lay out the sandbox: " << command;
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
        return false;
    }
    return true;
}

int ChildProcess::Wait(double seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (Running() && std::chrono::steady_clock::now() < deadline) Pause(0.02);
    return ended_ ? status_ : -1;
}

XServer::XServer()
{
    if (!HaveProgram("Xvfb")) return;
    // Xvfb chooses a free display itself and writes its number to
    // descriptor 3 once it takes clients, so parallel tests never collide.
    int pipeFds[2] = {-1, -1};
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
    auto server = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
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
