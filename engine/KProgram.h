#pragma once
// A node's compiled script: the format the compiler writes and the executor
// runs. Code strings are counted byte strings: bytes 0 and 1 occur inside.
//
// Copies of a template all run the template's program, so nodes share the
// compiled lines and markers: a copy costs a pointer, not the program. Where
// each node stands in its program (line, command, the running command's
// read position) is the node's own, and a node that changes its markers
// gets its own markers first.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct KCompiledCommand {
    std::string code;             // opcode byte, then the arguments
    int32_t cursor = 0;           // read position of the running handler inside code
    std::string target = ".self"; // address of the node the command applies to
};

struct KProgramLine {
    std::vector<KCompiledCommand> commands;
};

struct KMarker {
    std::string name;  // label without its ':' or '\''
    int32_t line = 0;
    int32_t command = 0;
    int32_t active = 1;
};

struct KKeyMarker {
    int32_t input = 0;   // index into the input-name table
    int32_t marker = 0;  // index into the markers
};

// A list that copies share until one of them is changed: reads go to the
// shared items; Edit() first gives this holder its own items if others
// hold them too.
template <typename T>
class KShared {
public:
    KShared() = default;
    KShared(std::vector<T> items) : items_(std::make_shared<std::vector<T>>(std::move(items))) {}

    size_t size() const { return items_ ? items_->size() : 0; }
    bool empty() const { return size() == 0; }
    const T& operator[](size_t index) const { return (*items_)[index]; }
    typename std::vector<T>::const_iterator begin() const { return View().begin(); }
    typename std::vector<T>::const_iterator end() const { return View().end(); }
    const std::vector<T>& View() const { return items_ ? *items_ : Empty(); }

    // The holder's own items, copied from the shared ones when needed.
    std::vector<T>& Edit()
    {
        if (!items_) {
            items_ = std::make_shared<std::vector<T>>();
        } else if (items_.use_count() > 1) {
            items_ = std::make_shared<std::vector<T>>(*items_);
        }
        return *items_;
    }
    // Whether Edit() would copy the items first.
    bool Shared() const { return items_ && items_.use_count() > 1; }
    // Holders of these items, this one included (0 when empty and unshared).
    long Holders() const { return items_ ? items_.use_count() : 0; }
    bool SameAs(const KShared& other) const { return items_ == other.items_; }
    // Which items this holder holds (null when none): equal while they are
    // the same items.
    const void* Identity() const { return items_.get(); }
    void clear() { items_.reset(); }

private:
    static const std::vector<T>& Empty()
    {
        static const std::vector<T> empty;
        return empty;
    }
    std::shared_ptr<std::vector<T>> items_;
};

using KProgramLines = KShared<KProgramLine>;
using KMarkers = KShared<KMarker>;
using KKeyMarkers = KShared<KKeyMarker>;
