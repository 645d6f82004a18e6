#pragma once
// Support for tests that drive the real quav-runner: a sandbox folder with
// its own copy of the program (which writes screenshots beside itself),
// child processes, and a private X server.

#include "TestSupport.h"

#include <sys/types.h>

#include <string>
#include <vector>

// A folder holding quav-runner, a link to the Library, and Worlds/ with the
// welcome world and an empty Screens/.
class RunnerSandbox {
public:
    RunnerSandbox();
    const std::string& Dir() const { return dir_.Path(); }
    std::string Runner() const { return dir_.File("quav-runner"); }
    std::string World() const { return dir_.File("Worlds/welcome.zqav"); }
    std::string Screens() const { return dir_.File("Worlds/Screens"); }
    std::string File(const std::string& name) const { return dir_.File(name); }
    // Runs the runner with arguments (shell words) from the sandbox folder;
    // standard output and error are collected in output.
    int Run(const std::string& arguments, std::string* output = nullptr) const;

private:
    TempDir dir_;
};

// A child process started without a shell, its output sent to a file.
class ChildProcess {
public:
    // passFd, when given, becomes the child's descriptor 3.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
                 const std::string& workingDir, const std::string& outputFile, int passFd = -1);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    bool Started() const { return pid_ > 0; }
    bool Running();
    // Waits up to seconds for the end; the exit status, or -1 (still
    // running or killed by a signal).
    int Wait(double seconds);

private:
    pid_t pid_ = -1;
    int status_ = -1;
    bool ended_ = false;
};

// Xvfb on a display number it picks itself, for as long as the object lives.
class XServer {
public:
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    bool Running() const { return server_ != nullptr; }
    std::string Display() const { return ":" + std::to_string(number_); }
    // Runs an X client command through the shell with DISPLAY set.
    int Run(const std::string& command, std::string* output = nullptr) const;
    // The first window whose title is exactly title, waiting up to seconds; "" if none.
    std::string FindWindow(const std::string& title, double seconds) const;

private:
    int number_ = 0;
    std::unique_ptr<ChildProcess> server_;
};

bool HaveProgram(const std::string& name);
// Sleeps for seconds.
void Pause(double seconds);
