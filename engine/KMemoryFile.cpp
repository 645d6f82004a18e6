#include "KMemoryFile.h"

#include <allegro.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

KMemoryReading& In(void* data) { return *static_cast<KMemoryReading*>(data); }
std::string& Out(void* data) { return *static_cast<std::string*>(data); }

int Close(void*) { return 0; }
int NoError(void*) { return 0; }

int ReadChar(void* data)
{
    KMemoryReading& in = In(data);
    return in.at < in.bytes->size() ? static_cast<uint8_t>((*in.bytes)[in.at++]) : EOF;
}
int Unread(int c, void* data)
{
    KMemoryReading& in = In(data);
    if (in.at == 0) return EOF;
    --in.at;
    return c;
}
long ReadBlock(void* to, long n, void* data)
{
    KMemoryReading& in = In(data);
    if (n <= 0) return 0;
    const size_t count = std::min(static_cast<size_t>(n), in.bytes->size() - in.at);
    std::memcpy(to, in.bytes->data() + in.at, count);
    in.at += count;
    return static_cast<long>(count);
}
int Skip(void* data, int offset)
{
    KMemoryReading& in = In(data);
    if (offset < 0 || static_cast<size_t>(offset) > in.bytes->size() - in.at) return -1;
    in.at += static_cast<size_t>(offset);
    return 0;
}
int ReadEnd(void* data) { return In(data).at >= In(data).bytes->size() ? 1 : 0; }
int NoWriteChar(int, void*) { return EOF; }
long NoWriteBlock(const void*, long, void*) { return 0; }

int WriteChar(int c, void* data)
{
    Out(data).push_back(static_cast<char>(c));
    return c;
}
long WriteBlock(const void* from, long n, void* data)
{
    if (n <= 0) return 0;
    Out(data).append(static_cast<const char*>(from), static_cast<size_t>(n));
    return n;
}
int NoReadChar(void*) { return EOF; }
int NoUnread(int, void*) { return EOF; }
long NoReadBlock(void*, long, void*) { return 0; }
int NoSkip(void*, int) { return -1; }
int WriteEnd(void*) { return 1; }

const PACKFILE_VTABLE kReader = {Close, ReadChar, Unread, ReadBlock, NoWriteChar, NoWriteBlock, Skip, ReadEnd, NoError};
const PACKFILE_VTABLE kWriter = {Close, NoReadChar, NoUnread, NoReadBlock, WriteChar, WriteBlock, NoSkip, WriteEnd, NoError};

}  // namespace

PACKFILE* KOpenMemoryReader(KMemoryReading& reading)
{
    if (reading.bytes == nullptr || reading.at > reading.bytes->size()) return nullptr;
    return pack_fopen_vtable(&kReader, &reading);
}

PACKFILE* KOpenMemoryWriter(std::string& bytes) { return pack_fopen_vtable(&kWriter, &bytes); }
