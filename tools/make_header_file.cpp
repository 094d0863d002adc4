// Builds the delivered header file from the readable table of known file types:
//
//     make_header_file <signatures.tsv> <HeaderFile.cfg>
//
// Every record is company-defined and selected. The build stops on the first bad line, so a
// table that cannot be delivered as it is never becomes a header file.

#include "filesystems/signatures/file_signature.h"
#include "filesystems/signatures/file_signature_serializer.h"
#include "filesystems/signatures/signature_file.h"
#include "platform/text/utf_conversion.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

constexpr size_t kColumnCount = 8;
constexpr size_t kMaxTableBytes = 4 * 1024 * 1024;

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (true) {
        const size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

std::optional<uint64_t> ParseDecimal(std::string_view text) {
    uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

// Hex byte pairs separated by single spaces: "FF D8 FF".
std::optional<std::vector<uint8_t>> ParseHeader(std::string_view text) {
    std::vector<uint8_t> bytes;
    size_t position = 0;
    while (position < text.size()) {
        if (!bytes.empty()) {
            if (text[position] != ' ') {
                return std::nullopt;
            }
            ++position;
        }
        if (text.size() - position < 2) {
            return std::nullopt;
        }
        uint8_t value = 0;
        const char* first = text.data() + position;
        const auto [stop, error] = std::from_chars(first, first + 2, value, 16);
        if (error != std::errc() || stop != first + 2) {
            return std::nullopt;
        }
        bytes.push_back(value);
        position += 2;
    }
    if (bytes.empty()) {
        return std::nullopt;
    }
    return bytes;
}

// One table line as a record, or a reason it cannot be one.
std::optional<FileSignature> ParseRecord(std::string_view line, std::string& problem) {
    const std::vector<std::string_view> fields = SplitTabs(line);
    if (fields.size() != kColumnCount) {
        problem = "expected " + std::to_string(kColumnCount) + " tab-separated columns, found " +
                  std::to_string(fields.size());
        return std::nullopt;
    }
    FileSignature record;
    record.softwareName = Utf8ToUtf16(fields[0]);
    record.extension = Utf8ToUtf16(fields[1]);
    if (record.softwareName.empty() || record.softwareName.size() > FileSignature::kMaxTextUnits) {
        problem = "the name must have 1 to 259 characters";
        return std::nullopt;
    }
    if (record.extension.empty() || record.extension.size() > FileSignature::kMaxTextUnits ||
        record.extension.find(u'.') != std::u16string::npos) {
        problem = "the extension must have 1 to 259 characters and no dot";
        return std::nullopt;
    }
    const std::optional<uint64_t> offset = ParseDecimal(fields[2]);
    const std::optional<std::vector<uint8_t>> header = ParseHeader(fields[3]);
    if (!offset || *offset >= FileSignature::kSectorSize) {
        problem = "the offset must be a number from 0 to 511";
        return std::nullopt;
    }
    if (!header || header->size() > FileSignature::kMaxMatchLength ||
        *offset + header->size() > FileSignature::kSectorSize) {
        problem = "the header must be 1 to 8 hex bytes that end inside the sector";
        return std::nullopt;
    }
    record.matchOffset = static_cast<uint32_t>(*offset);
    record.matchLength = static_cast<uint8_t>(header->size());
    std::copy(header->begin(), header->end(), record.header.begin());

    const std::optional<uint64_t> size = ParseDecimal(fields[4]);
    uint64_t unitBytes = 0;
    if (fields[5] == "KB") {
        unitBytes = 1024;
        record.sizeUnit = FileSignature::kUnitKilobytes;
    } else if (fields[5] == "MB") {
        unitBytes = 1024 * 1024;
        record.sizeUnit = FileSignature::kUnitMegabytes;
    } else {
        problem = "the unit must be KB or MB";
        return std::nullopt;
    }
    if (!size || *size == 0 || *size > UINT32_MAX / unitBytes) {
        problem = "the size must be a positive number that fits in 32 bits as bytes";
        return std::nullopt;
    }
    record.maxFileSize = static_cast<uint32_t>(*size * unitBytes);

    const std::optional<uint8_t> group = FileGroupIndex(Utf8ToUtf16(fields[6]));
    if (!group || *group == 0) {
        problem = "unknown group \"" + std::string(fields[6]) + "\"";
        return std::nullopt;
    }
    record.fileGroup = *group;

    const std::optional<uint64_t> finder = ParseDecimal(fields[7]);
    if (!finder || *finder > FileSignature::kFinderNone) {
        problem = "the finder must be a number from 0 to 6";
        return std::nullopt;
    }
    record.finderKind = static_cast<uint16_t>(*finder);
    const bool tiffFinder = record.finderKind == FileSignature::kFinderTiff ||
                            record.finderKind == FileSignature::kFinderTiffAlternate;
    if (IsLittleEndianTiff(record) && !tiffFinder) {
        problem = "the record named \"Tiff Images (Intel)\" must use a TIFF finder";
        return std::nullopt;
    }
    record.selected = true;
    record.companyDefined = true;
    return record;
}

// True when every sector that matches `later` also matches `earlier`, so that the raw search,
// which takes the first match, can never reach `later`.
bool Shadows(const FileSignature& earlier, const FileSignature& later) {
    const uint64_t earlierEnd = uint64_t{earlier.matchOffset} + earlier.matchLength;
    const uint64_t laterEnd = uint64_t{later.matchOffset} + later.matchLength;
    if (earlier.matchOffset < later.matchOffset || earlierEnd > laterEnd) {
        return false;
    }
    for (uint32_t i = 0; i < earlier.matchLength; ++i) {
        if (earlier.header[i] != later.header[earlier.matchOffset - later.matchOffset + i]) {
            return false;
        }
    }
    return true;
}

bool WriteOutput(const std::filesystem::path& output, const std::vector<uint8_t>& bytes) {
    std::error_code error;
    if (output.has_parent_path()) {
        std::filesystem::create_directories(output.parent_path(), error);
        if (error) {
            return false;
        }
    }
    // Written beside the output and renamed, so a failed run leaves no half-written file that a
    // later build would take as up to date.
    std::filesystem::path temporary = output;
    temporary += ".partial";
    {
        std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
        stream.write(reinterpret_cast<const char*>(bytes.data()),
                     static_cast<std::streamsize>(bytes.size()));
        stream.close();
        if (!stream) {
            std::filesystem::remove(temporary, error);
            return false;
        }
    }
    std::filesystem::rename(temporary, output, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

int Run(const std::filesystem::path& tablePath, const std::filesystem::path& output) {
    std::ifstream table(tablePath, std::ios::binary);
    if (!table) {
        std::cerr << tablePath.string() << ": cannot open the table\n";
        return 1;
    }
    std::ostringstream content;
    content << table.rdbuf();
    const std::string text = content.str();
    if (text.size() > kMaxTableBytes) {
        std::cerr << tablePath.string() << ": the table is too large\n";
        return 1;
    }

    std::vector<FileSignature> records;
    std::set<std::u16string> names;
    size_t lineNumber = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::string where = tablePath.string() + ":" + std::to_string(lineNumber) + ": ";
        std::string problem;
        std::optional<FileSignature> record = ParseRecord(line, problem);
        if (!record) {
            std::cerr << where << problem << "\n";
            return 1;
        }
        if (!names.insert(record->softwareName).second) {
            std::cerr << where << "the name is already used\n";
            return 1;
        }
        for (const FileSignature& earlier : records) {
            if (Shadows(earlier, *record)) {
                std::cerr << where << "never reached: \"" << Utf16ToUtf8(earlier.softwareName)
                          << "\" matches every file it matches\n";
                return 1;
            }
        }
        if (records.size() >= kMaxHeaderFileRecords) {
            std::cerr << where << "too many records\n";
            return 1;
        }
        records.push_back(std::move(*record));
    }
    if (records.empty()) {
        std::cerr << tablePath.string() << ": the table holds no records\n";
        return 1;
    }

    std::vector<uint8_t> bytes;
    bytes.reserve(records.size() * FileSignatureSerializer::kSize);
    for (const FileSignature& record : records) {
        const std::vector<uint8_t> stored = FileSignatureSerializer::Write(record);
        bytes.insert(bytes.end(), stored.begin(), stored.end());
    }
    if (!WriteOutput(output, bytes)) {
        std::cerr << output.string() << ": cannot write the header file\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_header_file <signatures.tsv> <HeaderFile.cfg>\n";
        return 2;
    }
    try {
        return Run(argv[1], argv[2]);
    } catch (const std::exception& error) {
        std::cerr << "make_header_file: " << error.what() << "\n";
        return 1;
    }
}
