#pragma once
// Game-library files over bytes in memory, so pictures are read from bytes
// already checked and written whole before they reach the disk.

#include <cstddef>
#include <string>

struct PACKFILE;

// Where a reader stands in the bytes it reads; it must outlive the file.
struct KMemoryReading {
    const std::string* bytes = nullptr;
    size_t at = 0;
};

// A file that reads reading's bytes from reading.at on; none on failure.
PACKFILE* KOpenMemoryReader(KMemoryReading& reading);
// A file that appends what is written to bytes; none on failure.
PACKFILE* KOpenMemoryWriter(std::string& bytes);
