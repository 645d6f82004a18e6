// Plays a fixed set of worlds headless (the shipped game with its replays,
// the welcome world, and a sample of the fuzz corpora of worlds) and
// compares what each run leaves behind (the tree with its cells, the
// variables, the last frame) and every compiled program with the outputs
// recorded in differential/expected.txt. The executor's and compositor's
// internals may change; what a world does, tick by tick, may not.
//
// The recording keeps one 64-bit FNV-1a digest per output. To record anew
// (only after a change meant to alter what worlds do), run the test with
// QUAV_DIFFERENTIAL_RECORD set to the path of the file to write.

#include "RunnerSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <utility>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kSourceDir = QUAV_TEST_SOURCE_DIR;

std::string Digest(const std::string& bytes)
{
    uint64_t hash = 14695981039346656037ull;
    for (const char byte : bytes) {
        hash ^= static_cast<uint8_t>(byte);
        hash *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

struct DiffCase {
    std::string name;   // as recorded
    std::string world;  // path inside the sandbox
    int ticks;
    std::string extra;  // more runner arguments
};

// Every n-th file of a corpus folder, in name order.
std::vector<std::string> Sample(const std::string& folder, size_t every)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    std::vector<std::string> chosen;
    for (size_t i = 0; i < names.size(); i += every) chosen.push_back(names[i]);
    return chosen;
}

std::map<std::string, std::string> ReadRecording(const std::string& path)
{
    std::map<std::string, std::string> recorded;
    std::istringstream lines(ReadFileBytes(path));
    for (std::string line; std::getline(lines, line);) {
        const size_t space = line.find(' ');
        if (line.empty() || line[0] == '#' || space == std::string::npos) continue;
        recorded[line.substr(0, space)] = line.substr(space + 1);
    }
    return recorded;
}

TEST(Differential, WorldsPlayAndCompileAsRecorded)
{
    RunnerSandbox box;
    const std::string worlds = std::string(QUAV_OUTPUT_DIR) + "/Worlds/";
    ASSERT_EQ(RunCommand("cp '" + worlds + "'vault[._]* '" + box.File("Worlds") + "'"), 0);
    ASSERT_EQ(RunCommand("mkdir -p '" + box.File("corpus") + "'"), 0);

    std::vector<DiffCase> cases = {{"welcome", "Worlds/welcome.zqav", 600, "--seed 3"}};
    // Every shipped replay of the vault, for as long as it plays; the load
    // replay loads the game the save replay saved just before it.
    const std::pair<const char*, int> replays[] = {
        {"win", 4300},   {"human", 8700}, {"lose", 1500},     {"shed", 900},  {"shots", 400},
        {"dark", 1640},  {"darkshed", 1500}, {"sign", 400}, {"quit", 200},    {"crypt", 2100},
        {"late", 7000},  {"save", 900},   {"load", 200}};
    for (const auto& [replay, ticks] : replays) {
        cases.push_back({std::string("vault.") + replay, "Worlds/vault.zqav", ticks,
                         std::string("--seed 0 --input Worlds/vault.") + replay + ".replay"});
    }
    for (const char* corpus : {"play", "world"}) {
        const std::string folder = std::string(kSourceDir) + "/fuzz/corpus/" + corpus;
        for (const std::string& file : Sample(folder, 20)) {
            const std::string copy = std::string(corpus) + "_" + file.substr(0, 12) + ".zqav";
            ASSERT_EQ(RunCommand("cp '" + folder + "/" + file + "' '" + box.File("corpus/" + copy) + "'"), 0);
            cases.push_back({std::string(corpus) + "." + file.substr(0, 12), "corpus/" + copy, 120, "--seed 5"});
        }
    }

    std::string recording =
        "# case tree vars frame program: FNV-1a digests of a headless run's outputs\n"
        "# (written by differential_test with QUAV_DIFFERENTIAL_RECORD set)\n";
    const std::string expectedPath = std::string(kSourceDir) + "/tests/runner/differential/expected.txt";
    const auto recorded = ReadRecording(expectedPath);
    const char* recordTo = std::getenv("QUAV_DIFFERENTIAL_RECORD");
    for (const DiffCase& one : cases) {
        SCOPED_TRACE(one.name);
        for (const char* old : {"end.bmp", "tree.json", "vars.json"}) std::remove(box.File(old).c_str());
        std::string output;
        const int status = box.Run("--headless --ticks " + std::to_string(one.ticks) +
                                       " --dump-tree tree.json --dump-tree-cells --dump-vars vars.json"
                                       " --screenshot end.bmp " +
                                       one.extra + " " + one.world,
                                   &output);
        std::string program;
        const int programStatus = box.Run("--dump-program " + one.world, &program);
        // A refused world names its path, which lies in this run's sandbox.
        for (size_t at = program.find(box.Dir()); at != std::string::npos; at = program.find(box.Dir())) {
            program.replace(at, box.Dir().size(), "SANDBOX");
        }
        const std::string digests = std::to_string(status) + " " + Digest(ReadFileBytes(box.File("tree.json"))) + " " +
                                    Digest(ReadFileBytes(box.File("vars.json"))) + " " +
                                    Digest(ReadFileBytes(box.File("end.bmp"))) + " " + std::to_string(programStatus) +
                                    " " + Digest(program);
        recording += one.name + " " + digests + "\n";
        if (recordTo != nullptr) continue;
        const auto found = recorded.find(one.name);
        ASSERT_NE(found, recorded.end()) << "no recording for " << one.name;
        EXPECT_EQ(digests, found->second) << output;
    }
    if (recordTo != nullptr) {
        std::FILE* file = std::fopen(recordTo, "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(recording.data(), 1, recording.size(), file);
        std::fclose(file);
    }
}

}  // namespace
