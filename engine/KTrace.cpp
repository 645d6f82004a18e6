#include "KTrace.h"

#include <allegro.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

bool gKTraceEnabled = false;

namespace {
std::function<void(const std::string&)>& TraceSink()
{
    static std::function<void(const std::string&)> sink;
    return sink;
}
}  // namespace

void KTraceEnable(bool on) { gKTraceEnabled = on; }

void KTraceEnableFromEnvironment()
{
    const char* value = std::getenv("QUAV_TRACE");
    if (value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0) KTraceEnable(true);
}

void KTraceSetSink(std::function<void(const std::string&)> sink) { TraceSink() = std::move(sink); }

void KTracePrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        std::vector<char> buffer(static_cast<size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, args);
        text.assign(buffer.data(), static_cast<size_t>(length));
    }
    va_end(args);
    // The library's log is a file in the current directory, which the
    // programs enter before they trace; in an installed, read-only tree the
    // lines go to standard error instead of nowhere.
    static const bool logWritable = access(".", W_OK) == 0;
    if (TraceSink()) {
        TraceSink()(text);
    } else if (logWritable) {
        al_trace("%s", text.c_str());
    } else {
        std::fwrite(text.data(), 1, text.size(), stderr);
    }
}
