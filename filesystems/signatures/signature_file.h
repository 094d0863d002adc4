#pragma once

#include "filesystems/signatures/file_signature.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

struct SignatureLists;

// The header file "HeaderFile.cfg": whole packed file signatures one after another, nothing else.
// The program delivers it, with the company-defined records, in the read-only data folder. The
// first change the user makes writes the user's copy in the user's folder, made from the
// delivered file; from then on the user's copy is the one read and written.
//
// Every operation takes the two folders; the overloads without them use DataFolder() and
// UserFolder(). An empty user folder means there is no user's copy and nowhere to write one.

inline constexpr std::string_view kHeaderFileName = "HeaderFile.cfg";

// Files larger than this many records are read only up to it: a damaged or foreign file must
// not exhaust memory.
inline constexpr size_t kMaxHeaderFileRecords = 65536;

// The file groups of the signature lists, in the order of the group combo boxes; a record's
// fileGroup indexes this table of string ids ("All", "Application files", ... "Miscellaneous").
inline constexpr size_t kFileGroupCount = 13;
inline constexpr std::array<uint32_t, kFileGroupCount> kFileGroupNameIds = {
    62190, 62191, 62192, 62193, 62194, 62195, 62196, 62197, 62198, 62199, 62200, 62201, 62202};

// The text of group `index` in the current language; empty for an index outside the table.
std::u16string_view FileGroupName(size_t index);
// The index of the group whose text in the current language is `name` (exact,
// case-sensitive); nothing when no group has it.
std::optional<uint8_t> FileGroupIndex(std::u16string_view name);

// The header file inside `folder`.
std::filesystem::path HeaderFileIn(const std::filesystem::path& folder);

// Replaces `list` with the records of the user's copy when it exists, else of the delivered file.
// Every record is loaded selected, whatever the file stored; a trailing partial record is
// ignored. False, with `list` empty, when neither file exists or the one to read cannot be read.
bool LoadHeaderFile(std::vector<FileSignature>& list, const std::filesystem::path& dataFolder,
                    const std::filesystem::path& userFolder);
bool LoadHeaderFile(std::vector<FileSignature>& list);

// The records held by the bytes of a header file, every one selected, at most
// kMaxHeaderFileRecords of them; a trailing partial record is ignored.
std::vector<FileSignature> ReadHeaderRecords(std::span<const uint8_t> bytes);

// Appends `record` to the user's copy, making that copy from the delivered file first when it
// does not exist yet (or from nothing when neither exists), and, when `userList` is not empty,
// appends a copy to it. The file is replaced atomically: on failure it is as it was, `userList`
// is untouched and the result is false. A trailing partial record of the old file is dropped.
bool AppendHeaderRecord(const FileSignature& record, std::vector<FileSignature>& userList,
                        const std::filesystem::path& dataFolder,
                        const std::filesystem::path& userFolder);
bool AppendHeaderRecord(const FileSignature& record, std::vector<FileSignature>& userList);

// Rewrites the user's copy from `userList` in its order, after an edit, a removal or a size
// change. Writes a temporary file beside it, flushes it to disk and renames it over the old
// one, so a failure leaves the old file whole; false on any failure. The delivered file is never
// read here: the list already holds every record.
bool RewriteHeaderFile(std::span<const FileSignature> userList,
                       const std::filesystem::path& userFolder);
bool RewriteHeaderFile(std::span<const FileSignature> userList);

// The OK of the file-types dialog: the active list becomes the selected records of the user
// list, in order, and the user list is dropped.
void SelectSignatures(SignatureLists& lists);

// Builds the record the add/edit dialog appends: not selected, not company-defined, no finder,
// the size given in kilobytes (unit KB) or megabytes (unit MB). Nothing when the name is empty,
// the header is empty or longer than 8 bytes, the header does not fit in a sector at that
// offset, the size is 0 or does not fit in 32 bits, or the group is not in the table.
std::optional<FileSignature> MakeUserSignature(std::u16string_view softwareName,
                                               std::u16string_view extension, uint32_t matchOffset,
                                               std::span<const uint8_t> header, uint32_t sizeValue,
                                               bool sizeInKilobytes, uint8_t fileGroup);
