#include "KAlsaTrace.h"

#include "KTrace.h"

#include <alsa/asoundlib.h>

#include <array>
#include <cstdarg>
#include <cstdio>

namespace {

// The audio and MIDI drivers load the same sound library, so this handler
// serves every one of them.
void AlsaErrorToTrace(const char* file, int line, const char* function, int, const char* format, ...)
{
    if (!gKTraceEnabled) return;
    std::array<char, 512> text{};
    va_list args;
    va_start(args, format);
    std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    KTracePrintf("ALSA %s:%i (%s): %s\n", file != nullptr ? file : "?", line, function != nullptr ? function : "?",
                 text.data());
}

}  // namespace

void KRouteAlsaErrorsToTrace() { snd_lib_error_set_handler(AlsaErrorToTrace); }
