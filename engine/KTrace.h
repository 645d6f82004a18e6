#pragma once
// Progress trace. Lines go to the game library's trace log (standard error
// when the current directory cannot be written) only while tracing is
// switched on; when it is off a trace costs one predictable branch and the
// arguments are never formatted.

#include <functional>
#include <string>

extern bool gKTraceEnabled;

// Switches tracing on or off for the whole process.
void KTraceEnable(bool on);

// Switches tracing on when the environment variable QUAV_TRACE is set to a
// value other than "" or "0". Programs call this once at start.
void KTraceEnableFromEnvironment();

// Replaces the destination of trace lines (tests capture them); an empty
// function restores the game library's trace log.
void KTraceSetSink(std::function<void(const std::string&)> sink);

void KTracePrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

#define KTRACE(...)                                                                                \
    do {                                                                                           \
        if (gKTraceEnabled) KTracePrintf(__VA_ARGS__);                                             \
    } while (false)
