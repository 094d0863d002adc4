#pragma once

#include "filesystems/ntfs/ntfs_file_system.h"
#include "platform/text/byte_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

// One 1024-byte file record for tests, attribute by attribute. Build() ends it and protects both
// sectors with an update sequence, as the volume stores it.
class NtfsRecordBuilder {
public:
    using Bytes = std::vector<uint8_t>;
    using Record = CNtfsFileSystem::Record;

    static size_t Align8(size_t value) { return (value + 7) & ~size_t{7}; }

    explicit NtfsRecordBuilder(uint16_t flags = 1) {
        std::memcpy(m_record.data(), "FILE", 4);
        Writer().PutU16(4, 0x30);
        Writer().PutU16(6, 3);
        Writer().PutU16(20, 56);
        Writer().PutU16(22, flags);
    }

    // An empty attribute of `length` bytes; returns its offset.
    size_t Raw(uint8_t type, size_t length) {
        const size_t at = m_end;
        EXPECT_LE(at + length, 1016u) << "the test's record is full";
        if (at + length > 1016)
            return at;
        m_record[at] = type;
        Writer().PutU32(at + 4, static_cast<uint32_t>(length));
        m_end += length;
        return at;
    }

    size_t Resident(uint8_t type, const Bytes& content) {
        const size_t at = Raw(type, Align8(24 + content.size()));
        Writer().PutU32(at + 16, static_cast<uint32_t>(content.size()));
        Writer().PutU16(at + 20, 24);
        Writer().PutBytes(at + 24, content);
        return at;
    }

    // A compression unit marks compressed data (flag 0x0001), or a sparse file (0x8000).
    size_t NonResident(uint8_t type, const Bytes& runs, uint64_t allocated, uint64_t size,
                       uint64_t initialized, uint16_t compressionUnit = 0,
                       uint16_t flags = 0x0001) {
        const size_t at = Raw(type, Align8(64 + runs.size()));
        m_record[at + 8] = 1;
        Writer().PutU16(at + 12, compressionUnit != 0 ? flags : 0);
        Writer().PutU16(at + 32, 64);
        Writer().PutU16(at + 34, compressionUnit);
        Writer().PutU64(at + 40, allocated);
        Writer().PutU64(at + 48, size);
        Writer().PutU64(at + 56, initialized);
        Writer().PutBytes(at + 64, runs);
        return at;
    }

    // The VCNs the non-resident attribute at `at` maps.
    void Vcns(size_t at, uint64_t first, uint64_t last) {
        Writer().PutU64(at + 16, first);
        Writer().PutU64(at + 24, last);
    }

    size_t StandardInformation(uint64_t created, uint64_t modified, uint64_t changed,
                               uint32_t dosFlags = 0) {
        Bytes content(72, 0);
        ByteWriter writer(content);
        writer.PutU64(0, created);
        writer.PutU64(8, modified);
        writer.PutU64(16, changed);
        writer.PutU32(32, dosFlags);
        return Resident(0x10, content);
    }

    size_t FileName(uint64_t parent, const std::u16string& name, uint8_t space) {
        Bytes content(66 + 2 * name.size(), 0);
        ByteWriter writer(content);
        writer.PutU64(0, parent);
        content[64] = static_cast<uint8_t>(name.size());
        content[65] = space;
        for (size_t i = 0; i < name.size(); ++i)
            writer.PutU16(66 + 2 * i, name[i]);
        return Resident(0x30, content);
    }

    // The entries of an attribute list naming, for each (type, record), the record that holds
    // it.
    static Bytes AttributeListEntries(const std::vector<std::pair<uint8_t, uint32_t>>& entries) {
        Bytes content;
        for (auto [type, record] : entries) {
            Bytes entry(32, 0);
            ByteWriter writer(entry);
            entry[0] = type;
            writer.PutU16(4, 32);
            entry[7] = 26;
            writer.PutU64(16, record);
            content.insert(content.end(), entry.begin(), entry.end());
        }
        return content;
    }

    // A resident attribute list of those entries.
    size_t AttributeList(const std::vector<std::pair<uint8_t, uint32_t>>& entries) {
        return Resident(0x20, AttributeListEntries(entries));
    }

    // $INDEX_ROOT named $I30 whose first entry names `firstEntryRecord` (0: an empty root).
    size_t IndexRoot(uint32_t firstEntryRecord) {
        const size_t at = Raw(0x90, 32 + 16 + 16 + 24);
        m_record[at + 9] = 4;
        Writer().PutU16(at + 10, 24);
        Writer().PutU32(at + 16, 16 + 16 + 24);
        Writer().PutU16(at + 20, 32);
        Writer().PutU32(at + 64, firstEntryRecord);
        Writer().PutU16(at + 72, 24);
        return at;
    }

    uint8_t* Bytes_() { return m_record.data(); }
    size_t End() const { return m_end; }

    Record Build(bool endMarker = true) {
        Record record = m_record;
        ByteWriter writer(record);
        if (endMarker)
            writer.PutU32(m_end, 0xFFFFFFFF);
        // The update sequence: the sector ends move into the array, the check value replaces
        // them.
        writer.PutU16(48, 0x0707);
        std::memcpy(&record[50], &record[510], 2);
        std::memcpy(&record[52], &record[1022], 2);
        writer.PutU16(510, 0x0707);
        writer.PutU16(1022, 0x0707);
        return record;
    }

    // The record as the parsing functions see it: built and fixed up.
    Record Fixed(bool endMarker = true) {
        Record record = Build(endMarker);
        EXPECT_TRUE(CNtfsFileSystem::ApplyFixup(record));
        return record;
    }

private:
    ByteWriter Writer() { return ByteWriter(m_record); }

    Record m_record{};
    size_t m_end = 56;
};
