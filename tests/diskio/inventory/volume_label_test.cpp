// Volume labels read from volumes made by mkfs.fat and mkntfs (their labels are in the fixture
// scripts), and from damaged copies of them: the root folder's label entry comes before the boot
// sector's, "NO NAME" is no label, and a field out of range or a broken record gives none.

#include "diskio/inventory/volume_label.h"
#include "tests/support/fixture_image.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> FixtureBytes(const std::string& name) {
    TempDir dir;
    const auto path = UnpackFixture(name, dir);
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

// Reads the volume's own bytes; a read past its end fails.
VolumeSectorReader ReaderOf(const std::vector<uint8_t>& volume) {
    return [&volume](uint64_t first, uint32_t count, uint8_t* buffer) {
        const uint64_t begin = first * 512;
        const uint64_t bytes = uint64_t{count} * 512;
        if (begin > volume.size() || bytes > volume.size() - begin)
            return false;
        std::memcpy(buffer, volume.data() + begin, bytes);
        return true;
    };
}

std::u16string LabelOf(const std::vector<uint8_t>& volume) {
    return ReadVolumeLabel(std::span<const uint8_t>(volume).first(512), ReaderOf(volume));
}

TEST(VolumeLabelTest, LabelsOfVolumesMadeByTheirTools) {
    const struct {
        const char* fixture;
        const char16_t* label;
    } cases[] = {
        {"fat12_floppy.img", u"FLOPPY"},       {"fat16_volume.img", u"FAT16VOL"},
        {"fat32_volume.img", u"FAT32VOL"},     {"ntfs_volume.img", u"NTFSVOL"},
        {"ntfs_many_records.img", u"MANYREC"},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> volume = FixtureBytes(c.fixture);
        ASSERT_GE(volume.size(), 512u) << c.fixture;
        EXPECT_EQ(LabelOf(volume), c.label) << c.fixture;
    }
}

// Where the FAT16 fixture keeps its root folder: after one reserved sector and two FATs.
size_t RootFolderOffset(const std::vector<uint8_t>& volume) {
    const size_t reserved = volume[14] | (volume[15] << 8);
    const size_t fatSectors = volume[22] | (volume[23] << 8);
    return (reserved + volume[16] * fatSectors) * 512;
}

TEST(VolumeLabelTest, TheRootEntryComesFirstThenTheBootSectorsUnlessItIsNoName) {
    std::vector<uint8_t> volume = FixtureBytes("fat16_volume.img");
    ASSERT_GE(volume.size(), 512u);
    std::memcpy(volume.data() + 43, "BOOT LABEL ", 11);
    EXPECT_EQ(LabelOf(volume), u"FAT16VOL");

    // The label entry deleted: the boot sector's copy, without its trailing blanks.
    const size_t root = RootFolderOffset(volume);
    ASSERT_EQ(std::memcmp(volume.data() + root, "FAT16VOL", 8), 0);
    volume[root] = 0xE5;
    EXPECT_EQ(LabelOf(volume), u"BOOT LABEL");
    std::memcpy(volume.data() + 43, "NO NAME    ", 11);
    EXPECT_EQ(LabelOf(volume), u"");

    // A root folder that cannot be read leaves the boot sector's label.
    std::memcpy(volume.data() + 43, "FROM BOOT  ", 11);
    std::vector<uint8_t> bootOnly(volume.begin(), volume.begin() + 512);
    EXPECT_EQ(ReadVolumeLabel(bootOnly, ReaderOf(bootOnly)), u"FROM BOOT");
    // Without the extended boot signature the boot sector has no label field.
    bootOnly[38] = 0;
    EXPECT_EQ(ReadVolumeLabel(bootOnly, ReaderOf(bootOnly)), u"");
}

TEST(VolumeLabelTest, DamagedFieldsAndRecordsGiveNoLabel) {
    const std::vector<uint8_t> fat = FixtureBytes("fat16_volume.img");
    const std::vector<uint8_t> ntfs = FixtureBytes("ntfs_volume.img");
    ASSERT_GE(fat.size(), 512u);
    ASSERT_GE(ntfs.size(), 512u);
    struct Damage {
        const char* what;
        const std::vector<uint8_t>* volume;
        size_t offset;
        uint8_t value;
    };
    const Damage damages[] = {
        {"FAT sectors of 4096 bytes", &fat, 12, 0x10},
        {"FAT with no sectors per cluster", &fat, 13, 0},
        {"FAT with three sectors per cluster", &fat, 13, 3},
        {"FAT with no allocation table", &fat, 16, 0},
        {"NTFS sectors of 1024 bytes", &ntfs, 12, 0x04},
        {"NTFS with no sectors per cluster", &ntfs, 13, 0},
        {"NTFS records of 2^-20 bytes", &ntfs, 64, 0xEC},
        {"NTFS $MFT past the end", &ntfs, 55, 0x7F},
    };
    for (const Damage& d : damages) {
        std::vector<uint8_t> volume = *d.volume;
        volume[d.offset] = d.value;
        // The label entry itself stays, so only the refused field can hide it.
        if (d.volume == &fat)
            std::memcpy(volume.data() + 43, "NO NAME    ", 11);
        EXPECT_EQ(LabelOf(volume), u"") << d.what;
    }

    // $Volume's record with a torn sector (its update sequence does not match).
    std::vector<uint8_t> torn = ntfs;
    const uint64_t cluster = [&] {
        uint64_t value = 0;
        std::memcpy(&value, torn.data() + 48, 8);
        return value;
    }();
    const size_t record = cluster * torn[13] * 512 + 3 * 1024;
    ASSERT_LT(record + 1024, torn.size());
    ASSERT_EQ(std::memcmp(torn.data() + record, "FILE", 4), 0);
    torn[record + 510] ^= 0xFF;
    EXPECT_EQ(LabelOf(torn), u"");
}

} // namespace
