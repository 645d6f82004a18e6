#pragma once
// A node's script text. Copies of a template made at run time share it
// with the template (a script may be megabytes that a world file packs
// into kilobytes); writing gives the node a text of its own.

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

class KSharedText {
public:
    KSharedText() = default;
    KSharedText(std::string text) { Set(std::move(text)); }
    KSharedText(const char* text) { Set(std::string(text)); }
    KSharedText& operator=(std::string text)
    {
        Set(std::move(text));
        return *this;
    }
    KSharedText& operator=(const char* text)
    {
        Set(std::string(text));
        return *this;
    }

    const std::string& Text() const { return text_ ? *text_ : Empty(); }
    operator const std::string&() const { return Text(); }
    size_t size() const { return Text().size(); }
    bool empty() const { return Text().empty(); }
    char back() const { return Text().back(); }
    void assign(std::string_view text) { Set(std::string(text)); }
    void assign(const char* text, size_t count) { Set(std::string(text, count)); }
    void clear() { text_.reset(); }
    bool operator==(std::string_view other) const { return std::string_view(Text()) == other; }
    // Whether both hold the very same text, not merely equal ones.
    bool SameAs(const KSharedText& other) const { return text_ == other.text_; }

private:
    void Set(std::string text)
    {
        if (text.empty()) {
            text_.reset();
        } else {
            text_ = std::make_shared<const std::string>(std::move(text));
        }
    }
    static const std::string& Empty()
    {
        static const std::string empty;
        return empty;
    }
    std::shared_ptr<const std::string> text_;
};

inline std::ostream& operator<<(std::ostream& out, const KSharedText& text) { return out << text.Text(); }
