#include "KZip.h"

#include "KAscii.h"
#include "KPaths.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// --- minizip file functions over bytes held in memory ----------------------------

voidpf ZCALLBACK MemoryOpen(voidpf opaque, const void* /*filename*/, int /*mode*/) { return opaque; }

uLong ZCALLBACK MemoryRead(voidpf opaque, voidpf /*stream*/, void* buffer, uLong size)
{
    auto* memory = static_cast<KZipMemory*>(opaque);
    const size_t left = memory->bytes.size() - std::min(memory->position, memory->bytes.size());
    const size_t count = std::min<size_t>(left, size);
    std::memcpy(buffer, memory->bytes.data() + memory->position, count);
    memory->position += count;
    return static_cast<uLong>(count);
}

uLong ZCALLBACK MemoryWrite(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK MemoryTell(voidpf opaque, voidpf /*stream*/)
{
    return static_cast<KZipMemory*>(opaque)->position;
}

long ZCALLBACK MemorySeek(voidpf opaque, voidpf /*stream*/, ZPOS64_T offset, int origin)
{
    auto* memory = static_cast<KZipMemory*>(opaque);
    const size_t size = memory->bytes.size();
    ZPOS64_T base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: base = memory->position; break;
    case ZLIB_FILEFUNC_SEEK_END: base = size; break;
    default: return -1;
    }
    if (offset > size || base + offset > size) return -1;
    memory->position = static_cast<size_t>(base + offset);
    return 0;
}

int ZCALLBACK MemoryClose(voidpf, voidpf) { return 0; }
int ZCALLBACK MemoryError(voidpf, voidpf) { return 0; }

}  // namespace

bool KSameEntryName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (KLowerAscii(a[i]) != KLowerAscii(b[i])) return false;
    }
    return true;
}

// --- Reader ---------------------------------------------------------------------------

KZipReader::~KZipReader() { Close(); }

void KZipReader::Close()
{
    if (archive_ != nullptr) unzClose(static_cast<unzFile>(archive_));
    archive_ = nullptr;
}

bool KZipReader::OpenFile(const std::string& path, size_t maxFileBytes, std::string& error)
{
    std::string bytes;
    if (!KReadRegularFile(path, maxFileBytes, bytes, error)) return false;
    if (!OpenMemory(std::move(bytes), error)) {
        error = "'" + path + "' " + error;
        return false;
    }
    return true;
}

bool KZipReader::OpenMemory(std::string bytes, std::string& error)
{
    Close();
    memory_.bytes = std::move(bytes);
    memory_.position = 0;
    zlib_filefunc64_def functions{};
    functions.zopen64_file = MemoryOpen;
    functions.zread_file = MemoryRead;
    functions.zwrite_file = MemoryWrite;
    functions.ztell64_file = MemoryTell;
    functions.zseek64_file = MemorySeek;
    functions.zclose_file = MemoryClose;
    functions.zerror_file = MemoryError;
    functions.opaque = &memory_;
    archive_ = unzOpen2_64("memory", &functions);
    if (archive_ == nullptr) {
        error = "is not a zip archive";
        return false;
    }
    return true;
}

bool KZipReader::Has(std::string_view name)
{
    if (archive_ == nullptr) return false;
    const std::string wanted(name);
    return unzLocateFile(static_cast<unzFile>(archive_), wanted.c_str(), 2) == UNZ_OK;
}

std::vector<std::string> KZipReader::Names()
{
    std::vector<std::string> names;
    if (archive_ == nullptr) return names;
    auto archive = static_cast<unzFile>(archive_);
    for (int status = unzGoToFirstFile(archive); status == UNZ_OK; status = unzGoToNextFile(archive)) {
        char name[1024];
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) break;
        names.emplace_back(name);
    }
    return names;
}

KZipReader::Entry KZipReader::Read(std::string_view name, std::string& content, size_t maxBytes)
{
    content.clear();
    if (!Has(name)) return Entry::Missing;
    auto archive = static_cast<unzFile>(archive_);
    if (unzOpenCurrentFile(archive) != UNZ_OK) return Entry::Corrupt;
    // The sizes in the archive's directory are not trusted: read until the
    // stream ends, refusing anything that grows past the limit.
    char buffer[65536];
    Entry result = Entry::Ok;
    for (;;) {
        const int got = unzReadCurrentFile(archive, buffer, sizeof buffer);
        if (got < 0) {
            result = Entry::Corrupt;
            break;
        }
        if (got == 0) break;
        if (content.size() + static_cast<size_t>(got) > maxBytes) {
            result = Entry::TooLarge;
            break;
        }
        content.append(buffer, static_cast<size_t>(got));
    }
    // A failed checksum shows when the entry is closed.
    if (unzCloseCurrentFile(archive) != UNZ_OK && result == Entry::Ok) result = Entry::Corrupt;
    if (result != Entry::Ok) content.clear();
    return result;
}

// --- Writer ---------------------------------------------------------------------------

KZipWriter::~KZipWriter() { Abandon(); }

void KZipWriter::Abandon()
{
    if (archive_ != nullptr) zipClose(static_cast<zipFile>(archive_), nullptr);
    archive_ = nullptr;
    if (!tempPath_.empty()) std::remove(tempPath_.c_str());
    tempPath_.clear();
}

namespace {

// Temporary names are tried at random until one is free: names planted
// beside the target (links among them) are only skipped.
constexpr int kTemporaryNameTries = 64;
constexpr int kTemporaryNameDigits = 10;

// Short, whatever the target's name, so a target whose name is near the
// file system's limit can still be written beside itself.
std::string TemporaryName(std::string_view folder, std::mt19937_64& random)
{
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string name(folder);
    name += ".quav-";
    for (int i = 0; i < kTemporaryNameDigits; ++i) name += kDigits[random() % (sizeof(kDigits) - 1)];
    return name;
}

std::string_view FolderOf(std::string_view path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

// A new file made here and now, never one that stood there before: no
// link is followed and nothing existing is opened. Null when none can be made.
std::FILE* CreateExclusively(std::string_view folder, std::string& path)
{
    static std::mt19937_64 random{std::random_device{}() ^ static_cast<uint64_t>(getpid())};
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        path = TemporaryName(folder, random);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST || errno == ELOOP) continue;
            break;
        }
        std::FILE* file = fdopen(fd, "wb");
        if (file != nullptr) return file;
        close(fd);
        unlink(path.c_str());
        break;
    }
    path.clear();
    return nullptr;
}

// minizip opens the file by name; the writer hands it the one it made.
voidpf ZCALLBACK OpenCreatedFile(voidpf opaque, const void* /*filename*/, int /*mode*/) { return opaque; }

// Whether path is a symbolic link whose target lies outside path's own folder
// (or nowhere): renaming over it would be harmless, but it says someone
// planted it to make this program reach out, so it is left as it is.
bool IsLinkPointingOut(const std::string& path)
{
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return false;
    const std::string_view folder = FolderOf(path);
    const std::string realFolder = KRealPath(folder.empty() ? std::string(".") : std::string(folder));
    const std::string realTarget = KRealPath(path);
    return realFolder.empty() || realTarget.empty() || !KIsInsideFolder(realTarget, realFolder);
}

}  // namespace

bool KZipWriter::Open(const std::string& finalPath)
{
    Abandon();
    finalPath_ = finalPath;
    std::FILE* file = CreateExclusively(FolderOf(finalPath), tempPath_);
    if (file == nullptr) {
        error_ = "Unable to create '" + finalPath + "'";
        return false;
    }
    zlib_filefunc64_def functions{};
    fill_fopen64_filefunc(&functions);
    functions.zopen64_file = OpenCreatedFile;
    functions.opaque = file;
    archive_ = zipOpen2_64(tempPath_.c_str(), APPEND_STATUS_CREATE, nullptr, &functions);
    if (archive_ == nullptr) {
        std::fclose(file);
        error_ = "Unable to create '" + finalPath + "'";
        Abandon();
        return false;
    }
    return true;
}

bool KZipWriter::Add(std::string_view name, std::string_view content)
{
    if (archive_ == nullptr) return false;
    zip_fileinfo info{};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    info.tmz_date.tm_sec = static_cast<uInt>(local.tm_sec);
    info.tmz_date.tm_min = static_cast<uInt>(local.tm_min);
    info.tmz_date.tm_hour = static_cast<uInt>(local.tm_hour);
    info.tmz_date.tm_mday = static_cast<uInt>(local.tm_mday);
    info.tmz_date.tm_mon = static_cast<uInt>(local.tm_mon);
    info.tmz_date.tm_year = static_cast<uInt>(local.tm_year + 1900);
    const std::string entryName(name);
    auto archive = static_cast<zipFile>(archive_);
    const int zip64 = content.size() >= 0xffffffffu ? 1 : 0;
    bool ok = zipOpenNewFileInZip64(archive, entryName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                    Z_DEFAULT_COMPRESSION, zip64) == ZIP_OK;
    size_t written = 0;
    while (ok && written < content.size()) {
        const size_t chunk = std::min<size_t>(content.size() - written, 1u << 30);
        ok = zipWriteInFileInZip(archive, content.data() + written, static_cast<unsigned>(chunk)) == ZIP_OK;
        written += chunk;
    }
    ok = zipCloseFileInZip(archive) == ZIP_OK && ok;
    if (!ok) error_ = "Unable to write '" + entryName + "' into '" + finalPath_ + "'";
    return ok;
}

bool KZipWriter::Commit()
{
    if (archive_ == nullptr) return false;
    const int closed = zipClose(static_cast<zipFile>(archive_), nullptr);
    archive_ = nullptr;
    if (closed != ZIP_OK) {
        error_ = "Unable to finish '" + finalPath_ + "'";
        Abandon();
        return false;
    }
    if (IsLinkPointingOut(finalPath_) || std::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) {
        error_ = "Unable to replace '" + finalPath_ + "'";
        Abandon();
        return false;
    }
    tempPath_.clear();
    return true;
}
