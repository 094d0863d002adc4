#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One line of sleuthkit `fls -r -p` output, with the columns `-l -z UTC` adds:
//   r/r * 13:<TAB>DIR/GONE.TXT<TAB>mtime<TAB>atime<TAB>ctime<TAB>crtime<TAB>size<TAB>uid<TAB>gid
// where each time reads "2023-11-14 22:13:20 (UTC)".
struct FlsEntry {
    // Name type and metadata type, such as "r/r", "d/d", "v/v" or "-/r".
    std::string type;
    // fls marks deleted (unallocated) entries with "* ".
    bool deleted = false;
    // The leading number of the metadata address ("64" of NTFS "64-128-1").
    uint64_t inode = 0;
    // From the root, '/' separated, exactly as fls prints it.
    std::string path;
    // Seconds since 1970 UTC; -1 for "0000-00-00 00:00:00" and in listings without -l.
    int64_t mtime = -1;
    int64_t atime = -1;
    int64_t ctime = -1;
    int64_t crtime = -1;
    // 0 in listings without -l.
    uint64_t size = 0;
};

enum class FlsVirtualEntries {
    Skip,
    Keep,
};

// Parses one line, with or without the -l columns; nullopt when it is not such a line.
std::optional<FlsEntry> ParseFlsLine(std::string_view line);

// "YYYY-MM-DD HH:MM:SS" with an optional fraction of a second (dropped) and an optional
// " (UTC)", as seconds since 1970; -1 for the all-zero time; nullopt for anything else.
std::optional<int64_t> ParseFlsTime(std::string_view text);

// The entries sleuthkit makes up rather than reads: $MBR, $FAT1, $FAT2, $OrphanFiles and
// everything listed under $OrphanFiles.
bool IsFlsVirtual(const FlsEntry& entry);

// Reads a listing written by the fixture scripts. Virtual entries are left out unless
// `virtualEntries` keeps them. A file that cannot be read, or a line that does not parse,
// fails the running test; the lines that parse are still returned.
std::vector<FlsEntry> ReadFlsListing(const std::filesystem::path& path,
                                     FlsVirtualEntries virtualEntries = FlsVirtualEntries::Skip);

// The first entry with exactly this path, or null.
const FlsEntry* FindFlsEntry(const std::vector<FlsEntry>& entries, std::string_view path);
