#pragma once
// Shared pieces of the test programs: an engine root that records what it
// reports, trace capture, scratch folders and small tree builders.

#include "KTrace.h"
#include "Kinterface.h"

#include <string>
#include <vector>

struct CapturedNotice {
    KNoticeKind kind;
    std::string caption;
    std::string body;
};

// An engine root whose reports and message boxes are recorded, not shown.
class TestEngine {
public:
    explicit TestEngine(KFlavour flavour = KFlavour::Runner, const KParts& parts = {});
    explicit TestEngine(const KParts& parts);

    Kinterface& operator*() { return engine_; }
    Kinterface* operator->() { return &engine_; }
    Kinterface& Engine() { return engine_; }

    Kobject* AddBoard(const std::string& name, int w, int h, int z = 0);
    Kobject* AddObject(Kobject& parent, const std::string& name, int w, int h, int z = 0, int x = 0, int y = 0);

    std::vector<CapturedNotice> notices;
    // The bodies of every report, in order.
    std::vector<std::string> Reports() const;

private:
    static KParts WithFlavour(KFlavour flavour, KParts parts);
    Kinterface engine_;
};

// Collects trace lines while alive (tracing is switched on meanwhile).
class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;
    std::string text;

private:
    bool wasEnabled_;
};

// A scratch folder removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
std::vector<std::string> FilesIn(const std::string& dir);

// Runs a command through the shell; returns its exit status and, when
// output is given, what it wrote to standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);

// Folder of the test programs' helper scripts.
std::string TestToolsDir();
