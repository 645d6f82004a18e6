#pragma once
// The world's variable store: named values in creation order. Each value is
// an integer or a text; the other form is made on demand.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
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

    const std::vector<KVariable>& All() const { return list_; }
    size_t Count() const { return list_.size(); }

    static int32_t IntOf(KVariable& variable);
    static std::string StringOf(const KVariable& variable);

private:
    struct Hash {
        using is_transparent = void;
        // Names are short: a byte-at-a-time FNV-1a beats the general hash.
        size_t operator()(std::string_view text) const
        {
            uint64_t hash = 14695981039346656037ull;
            for (const char c : text) hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211ull;
            return static_cast<size_t>(hash);
        }
    };
    std::vector<KVariable> list_;
    std::unordered_map<std::string, size_t, Hash, std::equal_to<>> index_;
};
