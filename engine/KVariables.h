#pragma once
// The world's variable store: named values in creation order. Each value is
// an integer or a text; the other form is made on demand.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A text value keeps at most this many bytes; the rest is cut off.
inline constexpr size_t kMaxTextBytes = 65536;

struct KVariable {
    std::string name;
    int32_t kind = 0;  // 0: intValue is current; 1: strValue is current
    int32_t intValue = 0;
    std::string strValue;
    int32_t lastInt = 0;
    std::string lastStr;
};

// Standard decimal conversion: optional sign, leading digits, 0 when there
// are none; values beyond the 32-bit range are clamped.
int32_t KTextToInt(std::string_view text);

class KVariables {
public:
    KVariable* Find(std::string_view name);
    const KVariable* Find(std::string_view name) const;
    KVariable& FindOrCreate(std::string_view name);

    bool Exists(std::string_view name) const { return Find(name) != nullptr; }
    bool IsString(std::string_view name) const;

    int32_t GetInt(std::string_view name);
    std::string GetString(std::string_view name);
    void SetInt(std::string_view name, int32_t value);
    void SetString(std::string_view name, std::string_view text);
    void Give(std::string_view name, int32_t amount);
    bool Take(std::string_view name, int32_t amount);  // true when it failed
    void Clear(std::string_view name);
    int32_t Changed(std::string_view name);
    void EraseAll();

    // The variable at a place in creation order (place < Count()).
    KVariable& At(size_t place) { return list_[place]; }
    // The place of the variable of that name, or -1.
    int32_t PlaceOf(std::string_view name) const;
    // Names the current set of variable names: it changes whenever a
    // variable is made or all are erased, and no two stores share one.
    uint64_t Names() const { return names_; }

    const std::vector<KVariable>& All() const { return list_; }
    size_t Count() const { return list_.size(); }

    static int32_t IntOf(KVariable& variable);
    // The integer a variable reads as, leaving its form as it is.
    static int32_t ReadInt(const KVariable& variable);
    static void GiveTo(KVariable& variable, int32_t amount);
    static bool TakeFrom(KVariable& variable, int32_t amount);  // true when it failed
    static std::string StringOf(const KVariable& variable);

private:
    // Names to places in list_: open addressing over a power-of-two table of
    // list indices plus one (0: empty), each next to the hash of its name,
    // so a look-up compares whole names only when their hashes agree.
    struct Slot {
        uint32_t hash = 0;
        uint32_t place = 0;
    };
    static uint32_t HashOf(std::string_view name);
    size_t SlotOf(std::string_view name, uint32_t hash) const;
    void Grow();

    std::vector<KVariable> list_;
    std::vector<Slot> slots_;
    uint64_t names_ = NewNames();
    static uint64_t NewNames();
};
