#pragma once
// A node's compiled script: the format the compiler writes and the executor
// runs. Code strings are counted byte strings: bytes 0 and 1 occur inside.
//
// Copies of a template all run the template's program, so nodes share the
// compiled lines and markers: a copy costs a pointer, not the program. Where
// each node stands in its program (line, command, the running command's
// read position) is the node's own, and a node that changes its markers
// gets its own markers first.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// What an argument of a command read as, learnt the first time it was read
// (code never changes once compiled): a number stays that number, and a
// word names the same variable for as long as the store keeps the same set
// of names.
struct KArgMemo {
    static constexpr uint64_t kUnused = ~uint64_t{0};
    uint64_t key = kUnused;  // the command of the line, the reader and the cursor it was read from
    int32_t next = 0;    // the cursor after it and its spaces
    int32_t value = 0;   // a number; for a word, its value as text when no variable has its name
    int32_t wordAt = 0;  // a word: where it stands in the code, and its length
    int32_t wordSize = 0;
    int32_t place = -1;  // a word: its variable's place in the store, or -1
    uint64_t names = 0;  // a word: the store's set of names place was found in (0: a number)

    // Readers are small numbers (0 or 1).
    static uint64_t Key(int32_t command, int32_t reader, int32_t start)
    {
        return (static_cast<uint64_t>(static_cast<uint32_t>(command)) << 33) |
               (static_cast<uint64_t>(reader & 1) << 32) | static_cast<uint32_t>(start);
    }
};

// A line's memos, made when one of its commands first reads a number or a
// word. A copy of a line starts without any: they are learnt again, never
// shared. A line of many commands keeps memos for the first few reads.
class KArgMemos {
public:
    static constexpr size_t kCount = 4;
    KArgMemos() = default;
    KArgMemos(const KArgMemos&) {}
    KArgMemos& operator=(const KArgMemos&)
    {
        memos_.reset();
        return *this;
    }
    KArgMemos(KArgMemos&&) noexcept = default;
    KArgMemos& operator=(KArgMemos&&) noexcept = default;

    KArgMemo* Find(uint64_t key) const
    {
        if (!memos_) return nullptr;
        for (KArgMemo& memo : *memos_) {
            if (memo.key == key) return &memo;
        }
        return nullptr;
    }
    // A memo not yet in use, or none when all are.
    KArgMemo* Free()
    {
        if (!memos_) memos_ = std::make_unique<std::array<KArgMemo, kCount>>();
        for (KArgMemo& memo : *memos_) {
            if (memo.key == KArgMemo::kUnused) return &memo;
        }
        return nullptr;
    }

private:
    std::unique_ptr<std::array<KArgMemo, kCount>> memos_;
};

struct KCompiledCommand {
    std::string code;             // opcode byte, then the arguments
    int32_t cursor = 0;           // read position of the running handler inside code
    std::string target = ".self"; // address of the node the command applies to
};

struct KProgramLine {
    std::vector<KCompiledCommand> commands;
    KArgMemos memos;  // its commands' arguments as first read
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
