#include "filesystems/ntfs/ntfs_file_system.h"

#include "platform/text/byte_reader.h"
#include "platform/text/utf_conversion.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace {

constexpr uint8_t kStandardInformation = 0x10;
constexpr uint8_t kAttributeList = 0x20;
constexpr uint8_t kFileName = 0x30;
constexpr uint8_t kData = 0x80;
constexpr uint8_t kIndexRoot = 0x90;
constexpr uint8_t kIndexAllocation = 0xA0;
constexpr uint8_t kEndMarker = 0xFF;

constexpr uint16_t kCompressionMask = 0x00FF; // attribute flags: the compression method

constexpr uint8_t kDosNamespace = 2;
constexpr uint8_t kWin32Namespace = 1;
// $FILE_NAME attributes starting this far in cannot hold a name worth reading.
constexpr size_t kLastNameAttribute = 935;
constexpr size_t kResidentContent = 24;
// An attribute-list entry: type, length, name length, first VCN and the holding record.
constexpr size_t kListEntryMinimum = 24;
constexpr size_t kListSearchEntries = 29;
constexpr size_t kResidentListNodes = 30;

uint64_t SectorBytes(uint64_t sectors) {
    return sectors > UINT64_MAX / 512 ? UINT64_MAX : sectors * 512;
}

} // namespace

// ----------------------------------------------------------------------------------------
// Walking a record

std::vector<CNtfsFileSystem::AttributeSpan> CNtfsFileSystem::WalkAttributes(const Record& record,
                                                                            size_t limit) {
    std::vector<AttributeSpan> attributes;
    ByteReader reader(record);
    uint16_t first = 0;
    if (!reader.ReadU16(20, first))
        return attributes;
    size_t offset = first;
    while (attributes.size() < limit && offset < kRecordSize) {
        const uint8_t type = record[offset];
        if (type == kEndMarker)
            break;
        uint32_t length = 0;
        if (!reader.ReadU32(offset + 4, length))
            break;
        attributes.push_back({offset, length, type});
        if (length == 0)
            break; // the next attribute would be this one again
        offset += length;
    }
    return attributes;
}

namespace {

// The bytes of an attribute that lie inside both its stored length and the record.
ByteReader AttributeBytes(const CNtfsFileSystem::Record& record, size_t offset, size_t length) {
    ByteReader whole(record);
    ByteReader attribute;
    if (offset >= record.size())
        return attribute;
    (void)whole.Sub(offset, std::min(length, record.size() - offset), attribute);
    return attribute;
}

} // namespace

bool CNtfsFileSystem::HoldsResidentContent(const Record& record, size_t offset) {
    uint32_t value = 0;
    if (!ByteReader(record).ReadU32(offset + 20, value))
        return false;
    return (value & 0xFFFFFF) == kResidentContent;
}

std::span<const uint8_t> CNtfsFileSystem::ResidentContent(const Record& record, size_t offset) {
    ByteReader reader(record);
    uint32_t attributeLength = 0;
    uint32_t contentLength = 0;
    if (!reader.ReadU32(offset + 4, attributeLength) || !reader.ReadU32(offset + 16, contentLength))
        return {};
    if (attributeLength < kResidentContent || offset + kResidentContent > kRecordSize)
        return {};
    const size_t start = offset + kResidentContent;
    const size_t room = std::min<size_t>(attributeLength - kResidentContent, kRecordSize - start);
    return std::span<const uint8_t>(record).subspan(start, std::min<size_t>(contentLength, room));
}

std::u16string CNtfsFileSystem::FileNameOf(const Record& record, const AttributeSpan& attribute) {
    ByteReader bytes = AttributeBytes(record, attribute.offset, attribute.length);
    uint8_t units = 0;
    if (!bytes.ReadU8(88, units) || bytes.Size() < 90)
        return {};
    // A name longer than its attribute keeps what the attribute holds.
    const size_t kept = std::min<size_t>(units, (bytes.Size() - 90) / 2);
    return Utf16FromLittleEndian(bytes.Bytes().subspan(90, kept * 2));
}

std::vector<uint16_t> CNtfsFileSystem::ExtentRunLists(const Record& record, uint8_t type) {
    std::vector<uint16_t> lists;
    for (const AttributeSpan& attribute : WalkAttributes(record)) {
        if (attribute.type != type || HoldsResidentContent(record, attribute.offset))
            continue;
        ByteReader bytes = AttributeBytes(record, attribute.offset, attribute.length);
        uint8_t nameLength = 0;
        uint8_t runListOffset = 0;
        if (!bytes.ReadU8(9, nameLength) || !bytes.ReadU8(32, runListOffset))
            continue;
        if (type == kData && nameLength != 0)
            continue; // a named stream is no part of the file's data
        const size_t at = attribute.offset + runListOffset;
        if (at < kRecordSize)
            lists.push_back(static_cast<uint16_t>(at));
    }
    return lists;
}

// ----------------------------------------------------------------------------------------
// Fix-up and locating the data

bool CNtfsFileSystem::ApplyFixup(Record& record) {
    if (std::memcmp(record.data(), "FILE", 4) != 0)
        return false;
    const size_t offset = record[4];
    if (offset != 0x2A && offset != 0x30)
        return false;
    uint16_t count = 0;
    if (!ByteReader(record).ReadU16(6, count))
        return false;
    // The check value and one entry per sector: both sectors must be covered, inside the record.
    if (count < 3 || offset + 2 * size_t{count} > kRecordSize)
        return false;
    record[510] = record[offset + 2];
    record[511] = record[offset + 3];
    record[1022] = record[offset + 4];
    record[1023] = record[offset + 5];
    return true;
}

int CNtfsFileSystem::LocateFileData(const Record& record, NtfsAttributeLocator& locator) const {
    return LocateData(record, locator, false);
}

int CNtfsFileSystem::LocateFolderData(const Record& record, NtfsAttributeLocator& locator) const {
    return LocateData(record, locator, true);
}

int CNtfsFileSystem::LocateData(const Record& record, NtfsAttributeLocator& locator,
                                bool folder) const {
    locator = NtfsAttributeLocator{};
    const std::vector<AttributeSpan> attributes = WalkAttributes(record);
    auto finish = [&](size_t dataOffset) {
        if (dataOffset >= kRecordSize)
            return 0;
        locator.dataOffset = static_cast<uint16_t>(dataOffset);
        return 1;
    };
    for (size_t i = 0; i < attributes.size(); ++i) {
        const AttributeSpan& attribute = attributes[i];
        const size_t at = attribute.offset;
        ByteReader bytes = AttributeBytes(record, at, attribute.length);
        switch (attribute.type) {
        case kStandardInformation: {
            // The high byte of the DOS attributes: 0x0800 is "compressed".
            uint8_t flags = 0;
            if (at <= 966 && bytes.ReadU8(57, flags) && flags == 8)
                locator.compressed = true;
            break;
        }
        case kAttributeList:
            locator.attributeList = true;
            break;
        case kData: {
            if (at > 999)
                return 0;
            locator.kind = NtfsAttributeLocator::kFile;
            if (HoldsResidentContent(record, at)) {
                locator.resident = true;
                return finish(at);
            }
            // Sparse files carry a compression unit too; only the attribute's compression
            // flags tell that the data are compressed.
            uint16_t compressionUnit = 0;
            uint16_t flags = 0;
            if (!folder && bytes.ReadU16(34, compressionUnit) && compressionUnit != 0 &&
                bytes.ReadU16(12, flags) && (flags & kCompressionMask) != 0)
                locator.compressed = true;
            uint8_t runList = 0;
            if (!bytes.ReadU8(32, runList))
                return 0;
            return finish(at + runList);
        }
        case kIndexRoot: {
            locator.kind = NtfsAttributeLocator::kFolder;
            const size_t next = at + attribute.length;
            if (i + 1 < attributes.size() && attributes[i + 1].type == kIndexAllocation &&
                next < 992) {
                ByteReader allocation = AttributeBytes(record, next, attributes[i + 1].length);
                uint8_t runList = 0;
                if (!allocation.ReadU8(32, runList))
                    return 0;
                uint16_t firstEntry = 0;
                if (bytes.ReadU16(64, firstEntry) && firstEntry != 0)
                    locator.indexRootEntries = static_cast<uint16_t>(at + 64);
                return finish(next + runList);
            }
            if (locator.attributeList)
                return 1; // the allocation lies in another record
            if (at >= 960)
                return 0;
            locator.resident = true;
            return finish(at + 64);
        }
        case kIndexAllocation: {
            locator.kind = NtfsAttributeLocator::kFolder;
            uint8_t runList = 0;
            if (!bytes.ReadU8(32, runList))
                return 0;
            return finish(at + runList);
        }
        default:
            break;
        }
    }
    // No data attribute here: only a record with an attribute list may keep it elsewhere.
    if (locator.attributeList) {
        locator.kind = NtfsAttributeLocator::kFolder;
        return 1;
    }
    return 0;
}

// ----------------------------------------------------------------------------------------
// Names, parent, times, sizes

std::u16string CNtfsFileSystem::GetLongName(const Record& record) {
    std::optional<AttributeSpan> lastDos;
    for (const AttributeSpan& attribute : WalkAttributes(record)) {
        if (attribute.type != kFileName || attribute.offset >= kLastNameAttribute)
            continue;
        uint8_t space = 0;
        if (!AttributeBytes(record, attribute.offset, attribute.length).ReadU8(89, space))
            continue;
        if (space != kDosNamespace)
            return FileNameOf(record, attribute);
        lastDos = attribute;
    }
    return lastDos ? FileNameOf(record, *lastDos) : std::u16string();
}

std::u16string CNtfsFileSystem::GetShortName(const Record& record) {
    const std::vector<AttributeSpan> attributes = WalkAttributes(record);
    for (size_t i = 0; i < attributes.size(); ++i) {
        const AttributeSpan& attribute = attributes[i];
        if (attribute.type != kFileName || attribute.offset >= kLastNameAttribute)
            continue;
        uint8_t space = 0;
        if (!AttributeBytes(record, attribute.offset, attribute.length).ReadU8(89, space))
            return {};
        if (space != kWin32Namespace)
            return FileNameOf(record, attribute);
        // A Win32 name has its DOS alias in the $FILE_NAME after it.
        if (i + 1 < attributes.size() && attributes[i + 1].type == kFileName &&
            attributes[i + 1].offset < kLastNameAttribute)
            return FileNameOf(record, attributes[i + 1]);
        return {};
    }
    return {};
}

bool CNtfsFileSystem::GetParentRecord(const Record& record, uint32_t& parent) {
    for (const AttributeSpan& attribute : WalkAttributes(record))
        if (attribute.type == kFileName)
            return AttributeBytes(record, attribute.offset, attribute.length).ReadU32(24, parent);
    return false;
}

bool CNtfsFileSystem::GetStandardTimes(const Record& record, NtfsTimes& times) {
    for (const AttributeSpan& attribute : WalkAttributes(record)) {
        if (attribute.type != kStandardInformation)
            continue;
        ByteReader bytes = AttributeBytes(record, attribute.offset, attribute.length);
        NtfsTimes read;
        if (!bytes.ReadU64(24, read.created) || !bytes.ReadU64(32, read.modified) ||
            !bytes.ReadU64(40, read.mftChanged))
            return false;
        times = read;
        return true;
    }
    return false;
}

bool CNtfsFileSystem::GetDataSizes(const Record& record, uint64_t& dataSize, uint64_t& initialized,
                                   uint64_t& allocated) {
    for (const AttributeSpan& attribute : WalkAttributes(record)) {
        if (attribute.type != kData)
            continue;
        if (HoldsResidentContent(record, attribute.offset))
            return false;
        ByteReader bytes = AttributeBytes(record, attribute.offset, attribute.length);
        uint64_t allocatedSize = 0, size = 0, initializedSize = 0;
        if (!bytes.ReadU64(40, allocatedSize) || !bytes.ReadU64(48, size) ||
            !bytes.ReadU64(56, initializedSize))
            return false;
        allocated = allocatedSize;
        dataSize = size;
        initialized = initializedSize;
        return true;
    }
    return false;
}

// ----------------------------------------------------------------------------------------
// Attribute lists

std::vector<uint32_t> CNtfsFileSystem::ListedRecords(std::span<const uint8_t> list,
                                                     size_t nodeLimit) {
    std::vector<uint32_t> records;
    ByteReader reader(list);
    // An entry's type (low byte), length and name length; false past the list or for an
    // entry too short to name its record.
    auto entryAt = [&](size_t at, uint8_t& type, uint16_t& length, uint8_t& nameLength) {
        return reader.ReadU8(at, type) && reader.ReadU16(at + 4, length) &&
               reader.ReadU8(at + 6, nameLength) && length >= kListEntryMinimum &&
               reader.Contains(at, kListEntryMinimum);
    };
    size_t at = 0;
    uint8_t type = 0;
    uint16_t length = 0;
    uint8_t nameLength = 0;
    bool found = false;
    for (size_t n = 0; n < kListSearchEntries; ++n) {
        if (!entryAt(at, type, length, nameLength) || type == kEndMarker)
            return records;
        if (type == kData || type == kIndexRoot) {
            found = true;
            break;
        }
        at += length;
    }
    if (!found)
        return records;
    if (type == kIndexRoot) {
        // A folder's index allocation, when it has one, follows its root.
        at += length;
        if (!entryAt(at, type, length, nameLength) || type != kIndexAllocation)
            return records;
    }
    // The first data entry and those that directly follow it for the same attribute.
    const uint8_t wanted = type;
    const uint8_t wantedName = nameLength;
    std::unordered_set<uint32_t> seen;
    while (records.size() < nodeLimit && entryAt(at, type, length, nameLength) && type == wanted &&
           nameLength == wantedName) {
        uint32_t record = 0;
        if (!reader.ReadU32(at + 16, record))
            break;
        if (seen.insert(record).second)
            records.push_back(record);
        at += length;
    }
    return records;
}

std::vector<uint32_t> CNtfsFileSystem::ReadAttributeList(const Record& record) {
    for (const AttributeSpan& attribute : WalkAttributes(record, kMaxAttributes - 1)) {
        if (attribute.type != kAttributeList)
            continue;
        if (attribute.offset >= 1004)
            return {};
        ByteReader bytes = AttributeBytes(record, attribute.offset, attribute.length);
        uint16_t contentOffset = 0;
        if (!bytes.ReadU16(20, contentOffset))
            return {};
        if (contentOffset != 0) {
            // Resident: the entries are in the record.
            uint32_t contentLength = 0;
            const size_t start = contentOffset & 0xFF;
            if (!bytes.ReadU32(16, contentLength) || start > bytes.Size())
                return {};
            const size_t kept = std::min<size_t>(contentLength, bytes.Size() - start);
            return ListedRecords(bytes.Bytes().subspan(start, kept), kResidentListNodes);
        }
        // Non-resident: read the list from its runs, no further than its size, the volume
        // and the cap allow.
        uint16_t runList = 0;
        uint64_t listSize = 0;
        if (!bytes.ReadU16(32, runList) || !bytes.ReadU64(48, listSize))
            return {};
        NtfsAttributeLocator locator;
        locator.dataOffset =
            static_cast<uint16_t>(std::min<size_t>(attribute.offset + runList, kRecordSize));
        std::vector<NtfsRunEntry> runs;
        const uint64_t sectors = DecodeRuns(record, locator, runs, false);
        const uint64_t limit = std::min(
            {listSize, kMaxAttributeListBytes, SectorBytes(sectors), SectorBytes(m_totalSectors)});
        std::vector<uint8_t> list;
        ReadRunData(runs, limit, list);
        return ListedRecords(list, kMaxAttributeListBytes / kListEntryMinimum);
    }
    return {};
}

bool CNtfsFileSystem::ReadListedRecord(uint32_t recordNumber, Record& out) {
    if (!m_recordTable.empty()) {
        const NtfsRecordEntry* entry = nullptr;
        const uint64_t index = uint64_t{recordNumber} - m_recordTableBase;
        if (recordNumber >= m_recordTableBase && index < m_recordTable.size() &&
            m_recordTable[index].recordNumber == recordNumber)
            entry = &m_recordTable[index];
        else {
            auto match = std::find_if(m_recordTable.begin(), m_recordTable.end(),
                                      [recordNumber](const NtfsRecordEntry& candidate) {
                                          return candidate.recordNumber == recordNumber;
                                      });
            if (match != m_recordTable.end())
                entry = &*match;
        }
        if (entry != nullptr)
            return ReadRecordAt(entry->sector, 0, out);
    }
    if (m_mftRuns.empty())
        return false;
    return ReadRecord(recordNumber, out);
}
