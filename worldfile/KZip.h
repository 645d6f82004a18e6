#pragma once
// Zip archives through minizip: a reader that works on bytes held in memory
// (whatever their origin, so it can be handed anything) and a writer that
// builds a new archive beside its target and puts it in place only when it
// is complete.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Bytes an archive is read from, and the read position in them.
struct KZipMemory {
    std::string bytes;
    size_t position = 0;
};

class KZipReader {
public:
    KZipReader() = default;
    ~KZipReader();
    KZipReader(const KZipReader&) = delete;
    KZipReader& operator=(const KZipReader&) = delete;

    // Reads the file (at most maxFileBytes of it) and opens it as an archive.
    bool OpenFile(const std::string& path, size_t maxFileBytes, std::string& error);
    bool OpenMemory(std::string bytes, std::string& error);
    void Close();

    enum class Entry { Ok, Missing, Corrupt, TooLarge };
    // Reads the whole entry whose name equals name without regard to case.
    Entry Read(std::string_view name, std::string& content, size_t maxBytes);
    bool Has(std::string_view name);
    std::vector<std::string> Names();

private:
    KZipMemory memory_;  // minizip keeps a pointer to it while the archive is open
    void* archive_ = nullptr;  // unzFile
};

class KZipWriter {
public:
    KZipWriter() = default;
    ~KZipWriter();  // an archive never committed is removed
    KZipWriter(const KZipWriter&) = delete;
    KZipWriter& operator=(const KZipWriter&) = delete;

    // Creates the archive under a new short name in the target's folder,
    // made exclusively and without following links.
    bool Open(const std::string& finalPath);
    // Adds an entry, deflated at the default level and stamped with the local time.
    bool Add(std::string_view name, std::string_view content);
    // Closes the archive and renames it over the target, unless the target
    // is a symbolic link that points out of its folder.
    bool Commit();
    const std::string& Error() const { return error_; }

private:
    void Abandon();
    void* archive_ = nullptr;  // zipFile
    std::string finalPath_;
    std::string tempPath_;
    std::string error_;
};

// Case-insensitive comparison of entry names (ASCII letters only).
bool KSameEntryName(std::string_view a, std::string_view b);
