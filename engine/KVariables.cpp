#include "KVariables.h"

#include <charconv>
#include <cstdint>
#include <limits>

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

KVariable* KVariables::Find(std::string_view name)
{
    const auto found = index_.find(name);
    return found == index_.end() ? nullptr : &list_[found->second];
}

const KVariable* KVariables::Find(std::string_view name) const
{
    const auto found = index_.find(name);
    return found == index_.end() ? nullptr : &list_[found->second];
}

KVariable& KVariables::FindOrCreate(std::string_view name)
{
    if (KVariable* found = Find(name)) return *found;
    KVariable& created = list_.emplace_back();
    created.name.assign(name);
    index_.emplace(created.name, list_.size() - 1);
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

void KVariables::Give(std::string_view name, int32_t amount)
{
    KVariable& variable = FindOrCreate(name);
    const int32_t old = IntOf(variable);
    variable.intValue = static_cast<int32_t>(static_cast<uint32_t>(old) + static_cast<uint32_t>(amount));
}

bool KVariables::Take(std::string_view name, int32_t amount)
{
    KVariable& variable = FindOrCreate(name);
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
    index_.clear();
}
