#pragma once
// Node records ("~ob" ... "~oe"): one board or object with its cells, script
// and children, as text. The writer and the reader are mirror images.

#include "KLimits.h"
#include "KText.h"

#include <string>
#include <string_view>

class Kinterface;
class Kobject;

// Appends the record of node and its subtree. A view size put aside for the
// editor's whole-node display is put back first.
void KWriteRecord(std::string& out, Kobject& node);

class KRecordReader {
public:
    KRecordReader(Kinterface& engine, std::string_view text, std::string entryName, const KWorldLimits& limits);

    KTextReader& Text() { return text_; }

    // Reads a record whose "~ob" is already consumed into a new child of parent.
    bool ReadChild(Kobject& parent, int depth);
    // Reads a record's content (from its name on) into an existing node.
    bool ReadInto(Kobject& node, int depth);

    bool Failed() const { return !error_.empty(); }
    const std::string& Error() const { return error_; }
    bool Fail(const std::string& message);

    bool ReadInt(int64_t& value, const char* what);
    bool ReadInt32(int32_t& value, const char* what);

private:
    bool ReadGeometry(Kobject& node, int32_t& width, int32_t& height);
    bool ReadCells(Kobject& node);
    void ExpectScriptStart();
    bool ReadScript(Kobject& node);
    bool ReadChildren(Kobject& node, int depth);

    Kinterface& engine_;
    KTextReader text_;
    std::string entryName_;
    KWorldLimits limits_;
    int64_t nodesRead_ = 0;
    int64_t cellsRead_ = 0;
    std::string error_;
};
