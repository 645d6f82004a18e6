#include "KVariables.h"

#include <atomic>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

int32_t KTextToInt(std::string_view text)
{
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        negative = text[at] == '-';
        ++at;
    }
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = value * 10 + (text[at] - '0');
        if (value > kLimit) value = kLimit;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

uint32_t KVariables::HashOf(std::string_view name)
{
    // Names are short: FNV-1a a byte at a time beats the general hashes.
    uint32_t hash = 2166136261u;
    for (const char c : name) hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
    return hash;
}

// The slot holding name, or the empty slot where it would go.
size_t KVariables::SlotOf(std::string_view name, uint32_t hash) const
{
    const size_t mask = slots_.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.place == 0) return at;
        if (slot.hash != hash) continue;
        const std::string& stored = list_[slot.place - 1].name;
        if (stored.size() == name.size() && std::char_traits<char>::compare(stored.data(), name.data(), name.size()) == 0) {
            return at;
        }
    }
}

void KVariables::Grow()
{
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
    const size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.place == 0) continue;
        size_t at = slot.hash & mask;
        while (slots_[at].place != 0) at = (at + 1) & mask;
        slots_[at] = slot;
    }
}

KVariable* KVariables::Find(std::string_view name)
{
    return const_cast<KVariable*>(std::as_const(*this).Find(name));
}

const KVariable* KVariables::Find(std::string_view name) const
{
    if (slots_.empty()) return nullptr;
    const Slot& slot = slots_[SlotOf(name, HashOf(name))];
    return slot.place == 0 ? nullptr : &list_[slot.place - 1];
}

int32_t KVariables::PlaceOf(std::string_view name) const
{
    if (slots_.empty()) return -1;
    const Slot& slot = slots_[SlotOf(name, HashOf(name))];
    return static_cast<int32_t>(slot.place) - 1;
}

uint64_t KVariables::NewNames()
{
    static std::atomic<uint64_t> last{0};
    return ++last;
}

KVariable& KVariables::FindOrCreate(std::string_view name)
{
    // At most half the table is used, so every probe meets an empty slot.
    if ((list_.size() + 1) * 2 > slots_.size()) Grow();
    const uint32_t hash = HashOf(name);
    Slot& slot = slots_[SlotOf(name, hash)];
    if (slot.place != 0) return list_[slot.place - 1];
    KVariable& created = list_.emplace_back();
    created.name.assign(name);
    slot = Slot{hash, static_cast<uint32_t>(list_.size())};
    names_ = NewNames();
    return created;
}

bool KVariables::IsString(std::string_view name) const
{
    const KVariable* variable = Find(name);
    return variable != nullptr && variable->kind == 1;
}

int32_t KVariables::IntOf(KVariable& variable)
{
    if (variable.kind == 1) {
        variable.intValue = KTextToInt(variable.strValue);
        variable.kind = 0;
    }
    return variable.intValue;
}

std::string KVariables::StringOf(const KVariable& variable)
{
    return variable.kind == 1 ? variable.strValue : std::to_string(variable.intValue);
}

int32_t KVariables::GetInt(std::string_view name) { return IntOf(FindOrCreate(name)); }

std::string KVariables::GetString(std::string_view name) { return StringOf(FindOrCreate(name)); }

void KVariables::SetInt(std::string_view name, int32_t value)
{
    KVariable& variable = FindOrCreate(name);
    variable.intValue = value;
    variable.kind = 0;
}

void KVariables::SetString(std::string_view name, std::string_view text)
{
    KVariable& variable = FindOrCreate(name);
    variable.strValue.assign(text.substr(0, kMaxTextBytes));
    variable.kind = 1;
}

void KVariables::Give(std::string_view name, int32_t amount) { GiveTo(FindOrCreate(name), amount); }

bool KVariables::Take(std::string_view name, int32_t amount) { return TakeFrom(FindOrCreate(name), amount); }

int32_t KVariables::ReadInt(const KVariable& variable)
{
    return variable.kind == 1 ? KTextToInt(variable.strValue) : variable.intValue;
}

void KVariables::GiveTo(KVariable& variable, int32_t amount)
{
    const int32_t old = IntOf(variable);
    variable.intValue = static_cast<int32_t>(static_cast<uint32_t>(old) + static_cast<uint32_t>(amount));
}

bool KVariables::TakeFrom(KVariable& variable, int32_t amount)
{
    const int64_t left = int64_t{IntOf(variable)} - amount;
    if (left < 0) return true;
    variable.intValue = static_cast<int32_t>(left);
    return false;
}

void KVariables::Clear(std::string_view name)
{
    KVariable& variable = FindOrCreate(name);
    variable.intValue = 0;
    variable.strValue.clear();
    variable.kind = 0;
}

int32_t KVariables::Changed(std::string_view name)
{
    KVariable& variable = FindOrCreate(name);
    const int32_t nowInt = variable.kind == 1 ? KTextToInt(variable.strValue) : variable.intValue;
    std::string nowStr = StringOf(variable);
    const bool changed = nowInt != variable.lastInt || nowStr != variable.lastStr;
    variable.lastInt = nowInt;
    variable.lastStr = std::move(nowStr);
    return changed ? 1 : 0;
}

void KVariables::EraseAll()
{
    list_.clear();
    slots_.clear();
    names_ = NewNames();
}
