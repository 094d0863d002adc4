#include "diskio/inventory/disk_identify.h"

#include "diskio/inventory/ata_identify_block.h"
#include "platform/devices/device_table.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

using Block = AtaIdentifyBlock::Block;

// Writes `text` into a string field the way a device does: blank-padded, two characters per
// little-endian word with the first character in the high byte.
void PutAtaString(Block& block, size_t offset, size_t length, std::string text) {
    text.resize(length, ' ');
    for (size_t i = 0; i < length; i += 2) {
        block[offset + i] = static_cast<uint8_t>(text[i + 1]);
        block[offset + i + 1] = static_cast<uint8_t>(text[i]);
    }
}

void PutWord(Block& block, size_t index, uint16_t value) {
    block[2 * index] = static_cast<uint8_t>(value);
    block[2 * index + 1] = static_cast<uint8_t>(value >> 8);
}

Block IdentifyBlock(const std::string& model, const std::string& serial,
                    const std::string& firmware) {
    Block block{};
    PutAtaString(block, 20, 20, serial);
    PutAtaString(block, 46, 8, firmware);
    PutAtaString(block, 54, 40, model);
    return block;
}

Block SmartCapableBlock(bool supported, bool enabled) {
    Block block = IdentifyBlock("DISK", "1", "1");
    PutWord(block, 83, 0x4000);
    PutWord(block, 87, 0x4000);
    PutWord(block, 82, supported ? 0x746B : 0x746A);
    PutWord(block, 85, enabled ? 0x7469 : 0x7468);
    return block;
}

Block SmartDataWithTemperatureAt(size_t slot, uint8_t celsius) {
    Block data{};
    size_t entry = 2 + slot * 12;
    data[entry] = 194;
    data[entry + 3] = 100 - celsius;
    data[entry + 5] = celsius;
    data[entry + 6] = 18; // lowest seen, in the second raw byte
    return data;
}

void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string VpdPage80(const std::string& serial) {
    std::string page = {0x00, static_cast<char>(0x80), 0x00, static_cast<char>(serial.size())};
    return page + serial;
}

std::span<const uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::span<const uint8_t> Bytes(const std::vector<uint8_t>& bytes) {
    return {bytes.data(), bytes.size()};
}

DiskIdentifyInfo Garbage() {
    return {"stale model", "stale serial", "stale", 77};
}

TEST(AtaIdentifyBlockTest, StringsAreUnswappedFromTheirFields) {
    Block block = IdentifyBlock("Samsung SSD 860 EVO 500GB", "S3Z9NB0K123456A", "RVT01B6Q");
    DiskIdentifyInfo info = AtaIdentifyBlock::Strings(block);
    EXPECT_EQ(info.model, "Samsung SSD 860 EVO 500GB");
    EXPECT_EQ(info.serialNumber, "S3Z9NB0K123456A");
    EXPECT_EQ(info.firmwareRevision, "RVT01B6Q");
    EXPECT_EQ(info.temperature, 0u);

    // Laid out by hand, so a swap done the wrong way in both helper and code still fails.
    Block raw{};
    raw.fill(' ');
    raw[54] = 'T';
    raw[55] = 'S';
    raw[56] = '0';
    raw[57] = '1';
    raw[20] = 'B';
    raw[21] = 'A';
    raw[46] = '2';
    raw[47] = '1';
    EXPECT_EQ(AtaIdentifyBlock::Strings(raw), (DiskIdentifyInfo{"ST10", "AB", "12", 0}));
}

TEST(AtaIdentifyBlockTest, TrimsOuterBlanksAndKeepsInnerOnes) {
    Block block = IdentifyBlock("  WDC  WD10EZEX-08WN4A0", "     WD-WCC6Y1234567", " 01.01A");
    DiskIdentifyInfo info = AtaIdentifyBlock::Strings(block);
    EXPECT_EQ(info.model, "WDC  WD10EZEX-08WN4A0");
    EXPECT_EQ(info.serialNumber, "WD-WCC6Y1234567");
    EXPECT_EQ(info.firmwareRevision, "01.01A");

    EXPECT_EQ(AtaIdentifyBlock::Strings(IdentifyBlock("", "", "")), DiskIdentifyInfo{});
}

TEST(AtaIdentifyBlockTest, FieldsFilledToTheirWholeLengthStayWhole) {
    std::string model = "ABCDEFGHIJ KLMNOPQRST UVWXYZ0123 4567890";
    std::string serial = "12345678901234567890";
    ASSERT_EQ(model.size(), 40u);
    Block block = IdentifyBlock(model, serial, "ABCD1234");
    // Bytes right after each field must not leak into it.
    block[40] = 'X';
    block[41] = 'X';
    block[94] = 'Y';
    block[95] = 'Y';
    DiskIdentifyInfo info = AtaIdentifyBlock::Strings(block);
    EXPECT_EQ(info.model, model);
    EXPECT_EQ(info.serialNumber, serial);
    EXPECT_EQ(info.firmwareRevision, "ABCD1234");
}

TEST(AtaIdentifyBlockTest, DropsNulsAndUnprintableBytes) {
    Block block{};
    PutAtaString(block, 54, 40,
                 std::string("HGST\x01 HTS\x7F"
                             "545050"));
    PutAtaString(block, 20, 20, std::string("\0\0\0\0SN42\0\0", 10)); // NUL padding
    PutAtaString(block, 46, 8, "\xC3\xA9v1");
    DiskIdentifyInfo info = AtaIdentifyBlock::Strings(block);
    EXPECT_EQ(info.model, "HGST HTS545050");
    EXPECT_EQ(info.serialNumber, "SN42");
    EXPECT_EQ(info.firmwareRevision, "v1");
}

TEST(AtaIdentifyBlockTest, CleanTextCutsToTheLimitWithoutATrailingBlank) {
    EXPECT_EQ(AtaIdentifyBlock::CleanText("ABCDEFG  HIJ", 8), "ABCDEFG");
    EXPECT_EQ(AtaIdentifyBlock::CleanText("   ABCDEFGHIJ", 8), "ABCDEFGH");
    EXPECT_EQ(AtaIdentifyBlock::CleanText("Model\n", 40), "Model");
    EXPECT_EQ(AtaIdentifyBlock::CleanText("ABC", 0), "");
    EXPECT_EQ(AtaIdentifyBlock::CleanText("", 40), "");
    EXPECT_EQ(AtaIdentifyBlock::CleanText(" \t \r\n ", 40), "");
}

TEST(AtaIdentifyBlockTest, KernelIdentityHasStringsInReadingOrder) {
    Block device = SmartCapableBlock(true, true);
    PutAtaString(device, 54, 40, "Samsung SSD 860 EVO");
    PutAtaString(device, 20, 20, "S3Z9NB0K123456A");
    PutAtaString(device, 46, 8, "RVT01B6Q");

    // What HDIO_GET_IDENTITY hands back for it: the words as they are, the strings readable.
    Block kernel = device;
    std::string model = "Samsung SSD 860 EVO";
    model.resize(40, ' ');
    std::copy(model.begin(), model.end(), kernel.begin() + 54);
    std::string serial = "S3Z9NB0K123456A";
    serial.resize(20, ' ');
    std::copy(serial.begin(), serial.end(), kernel.begin() + 20);
    std::string firmware = "RVT01B6Q";
    std::copy(firmware.begin(), firmware.end(), kernel.begin() + 46);

    Block converted = AtaIdentifyBlock::FromKernelIdentity(kernel);
    EXPECT_EQ(converted, device);
    EXPECT_EQ(AtaIdentifyBlock::Strings(converted).model, "Samsung SSD 860 EVO");
    EXPECT_TRUE(AtaIdentifyBlock::SmartEnabled(converted));
}

TEST(AtaIdentifyBlockTest, SmartCountsOnlyWhenSupportedAndEnabled) {
    EXPECT_TRUE(AtaIdentifyBlock::SmartEnabled(SmartCapableBlock(true, true)));
    EXPECT_FALSE(AtaIdentifyBlock::SmartEnabled(SmartCapableBlock(true, false)));
    EXPECT_FALSE(AtaIdentifyBlock::SmartEnabled(SmartCapableBlock(false, true)));

    // Words 82 and 85 mean nothing unless words 83 and 87 vouch for them.
    Block unvouched = SmartCapableBlock(true, true);
    PutWord(unvouched, 83, 0x0000);
    EXPECT_FALSE(AtaIdentifyBlock::SmartEnabled(unvouched));
    unvouched = SmartCapableBlock(true, true);
    PutWord(unvouched, 87, 0xC000);
    EXPECT_FALSE(AtaIdentifyBlock::SmartEnabled(unvouched));

    Block allOnes;
    allOnes.fill(0xFF);
    EXPECT_FALSE(AtaIdentifyBlock::SmartEnabled(allOnes));
    EXPECT_FALSE(AtaIdentifyBlock::SmartEnabled(Block{}));
}

TEST(AtaIdentifyBlockTest, TemperatureIsTheFirstRawByteOfAttribute194) {
    EXPECT_EQ(AtaIdentifyBlock::SmartTemperature(SmartDataWithTemperatureAt(0, 36)), 36u);
    EXPECT_EQ(AtaIdentifyBlock::SmartTemperature(SmartDataWithTemperatureAt(29, 41)), 41u);

    Block data = SmartDataWithTemperatureAt(7, 45);
    data[2] = 9; // power-on hours in slot 0, whose raw bytes hold 194
    data[2 + 5] = 194;
    data[2 + 6] = 194;
    EXPECT_EQ(AtaIdentifyBlock::SmartTemperature(data), 45u);
}

TEST(AtaIdentifyBlockTest, NoTemperatureWithoutAttribute194InTheTable) {
    EXPECT_EQ(AtaIdentifyBlock::SmartTemperature(Block{}), 0u);

    Block data{};
    for (size_t slot = 0; slot < 30; ++slot) {
        data[2 + slot * 12] = static_cast<uint8_t>(slot + 1);
        data[2 + slot * 12 + 5] = 194;
    }
    data[2 + 30 * 12] = 194; // just past the table
    data[2 + 30 * 12 + 5] = 50;
    data[1] = 194;
    EXPECT_EQ(AtaIdentifyBlock::SmartTemperature(data), 0u);
}

TEST(AtaIdentifyBlockTest, VpdSerialNumberHonoursThePageLength) {
    EXPECT_EQ(AtaIdentifyBlock::VpdSerialNumber(Bytes(VpdPage80("    S3Z9NB0K123456A"))),
              "S3Z9NB0K123456A");

    std::string page = VpdPage80("SERIAL") + "TRAILING";
    EXPECT_EQ(AtaIdentifyBlock::VpdSerialNumber(Bytes(page)), "SERIAL");

    // A length past the end of the data reads only what is there.
    std::vector<uint8_t> longLength = {0x00, 0x80, 0xFF, 0xFF, 'A', 'B', 'C'};
    EXPECT_EQ(AtaIdentifyBlock::VpdSerialNumber(Bytes(longLength)), "ABC");

    EXPECT_EQ(AtaIdentifyBlock::VpdSerialNumber(Bytes(VpdPage80("123456789012345678901234"))),
              "12345678901234567890");
}

TEST(AtaIdentifyBlockTest, VpdSerialNumberRejectsOtherPagesAndShortData) {
    std::string otherPage = VpdPage80("SERIAL");
    otherPage[1] = static_cast<char>(0x83);
    EXPECT_EQ(AtaIdentifyBlock::VpdSerialNumber(Bytes(otherPage)), "");
    std::vector<uint8_t> header = {0x00, 0x80, 0x00};
    EXPECT_EQ(AtaIdentifyBlock::VpdSerialNumber(Bytes(header)), "");
    EXPECT_EQ(AtaIdentifyBlock::VpdSerialNumber({}), "");
    EXPECT_EQ(AtaIdentifyBlock::VpdSerialNumber(Bytes(VpdPage80(""))), "");
}

class DiskIdentifierSysfsTest : public ::testing::Test {
protected:
    std::filesystem::path BlockDir(const std::string& name) const {
        return m_dir.Path() / "block" / name;
    }
    TempDir m_dir;
    DiskIdentifier m_identifier{m_dir.Path()};
};

TEST_F(DiskIdentifierSysfsTest, ScsiDiskGivesModelRevisionAndVpdSerial) {
    WriteFile(BlockDir("sda") / "device" / "model", "Samsung SSD 860 \n");
    WriteFile(BlockDir("sda") / "device" / "rev", "1B6Q\n");
    WriteFile(BlockDir("sda") / "device" / "vpd_pg80", VpdPage80("     S3Z9NB0K123456A"));

    DiskIdentifyInfo info = Garbage();
    EXPECT_NE(m_identifier.ReadFromSysfs("sda", info), 0);
    EXPECT_EQ(info, (DiskIdentifyInfo{"Samsung SSD 860", "S3Z9NB0K123456A", "1B6Q", 0}));
    EXPECT_EQ(m_identifier.SysfsModel("sda"), "Samsung SSD 860");
}

TEST_F(DiskIdentifierSysfsTest, NvmeNamespaceReadsItsController) {
    std::filesystem::path controller = m_dir.Path() / "devices" / "pci0000:00" / "nvme" / "nvme0";
    WriteFile(controller / "model", "WDC WDS500G2B0C-00PXH0                  \n");
    WriteFile(controller / "serial", "2036B4801234        \n");
    WriteFile(controller / "firmware_rev", "211070WD\n");
    std::filesystem::create_directories(BlockDir("nvme0n1"));
    std::filesystem::create_directory_symlink(controller, BlockDir("nvme0n1") / "device");

    DiskIdentifyInfo info;
    EXPECT_NE(m_identifier.ReadFromSysfs("nvme0n1", info), 0);
    EXPECT_EQ(info, (DiskIdentifyInfo{"WDC WDS500G2B0C-00PXH0", "2036B4801234", "211070WD", 0}));
    EXPECT_EQ(m_identifier.SysfsModel("nvme0n1"), "WDC WDS500G2B0C-00PXH0");
}

TEST_F(DiskIdentifierSysfsTest, VirtioDiskHasOnlyASerial) {
    WriteFile(BlockDir("vdb") / "serial", "QM00005-VIRTUAL-DISK-LONG");
    WriteFile(BlockDir("vdb") / "device" / "model", "must not be used");

    DiskIdentifyInfo info;
    EXPECT_NE(m_identifier.ReadFromSysfs("vdb", info), 0);
    EXPECT_EQ(info, (DiskIdentifyInfo{"", "QM00005-VIRTUAL-DISK", "", 0}));
    EXPECT_EQ(m_identifier.SysfsModel("vdb"), "");
}

TEST_F(DiskIdentifierSysfsTest, NothingFromMissingBlankOrForeignEntries) {
    DiskIdentifyInfo info = Garbage();
    EXPECT_EQ(m_identifier.ReadFromSysfs("sdc", info), 0);
    EXPECT_EQ(info, DiskIdentifyInfo{});

    WriteFile(BlockDir("sdd") / "device" / "model", "   \n");
    WriteFile(BlockDir("sdd") / "device" / "vpd_pg80", std::string("\0\x80", 2));
    info = Garbage();
    EXPECT_EQ(m_identifier.ReadFromSysfs("sdd", info), 0);
    EXPECT_EQ(info, DiskIdentifyInfo{});

    // Only whole disks of the known kinds, and no name that leaves the block folder.
    WriteFile(m_dir.Path() / "block" / "loop0" / "device" / "model", "LOOP");
    WriteFile(m_dir.Path() / "block" / "sda" / "sda1" / "device" / "model", "PART");
    WriteFile(m_dir.Path() / "escape" / "device" / "model", "OUTSIDE");
    for (const char* name :
         {"loop0", "sda1", "sda/sda1", "../escape", "", "nvme0", "nvmen1", "nvme0n1p1", "sdA"}) {
        info = Garbage();
        EXPECT_EQ(m_identifier.ReadFromSysfs(name, info), 0) << name;
        EXPECT_EQ(info, DiskIdentifyInfo{}) << name;
        EXPECT_EQ(m_identifier.SysfsModel(name), "") << name;
    }
}

TEST(DiskIdentifierTest, SysfsModelWinsOnlyWhenItIsNotPartOfTheDisksOwn) {
    DiskIdentifyInfo info{"Samsung SSD 860 EVO 500GB", "S1", "F1", 30};
    // The kernel's SCSI model of a SATA disk is its first 16 characters.
    DiskIdentifier::ApplySysfsModel(info, "Samsung SSD 860 \n");
    EXPECT_EQ(info.model, "Samsung SSD 860 EVO 500GB");
    DiskIdentifier::ApplySysfsModel(info, "SAMSUNG ssd");
    EXPECT_EQ(info.model, "Samsung SSD 860 EVO 500GB");
    DiskIdentifier::ApplySysfsModel(info, "  \n");
    EXPECT_EQ(info.model, "Samsung SSD 860 EVO 500GB");

    DiskIdentifier::ApplySysfsModel(info, "Portable SSD T5\n");
    EXPECT_EQ(info, (DiskIdentifyInfo{"Portable SSD T5", "S1", "F1", 30}));
}

TEST(DiskIdentifierTest, SenseDataShowingAnErrorIsAFailure) {
    EXPECT_FALSE(DiskIdentifier::SenseReportsError({}));

    // Descriptor format, RECOVERED ERROR / ATA PASS-THROUGH INFORMATION AVAILABLE, with an
    // ATA status return descriptor.
    std::vector<uint8_t> descriptor = {0x72, 0x01, 0x00, 0x1D, 0, 0, 0, 14, 0x09, 0x0C, 0,
                                       0,    0,    1,    0,    0, 0, 0, 0,  0,    0,    0x50};
    EXPECT_FALSE(DiskIdentifier::SenseReportsError(Bytes(descriptor)));
    descriptor[21] = 0x51; // ERR
    EXPECT_TRUE(DiskIdentifier::SenseReportsError(Bytes(descriptor)));
    descriptor[21] = 0x70; // DF
    EXPECT_TRUE(DiskIdentifier::SenseReportsError(Bytes(descriptor)));
    descriptor[21] = 0x50;
    descriptor[1] = 0x05; // ILLEGAL REQUEST: no pass-through here
    EXPECT_TRUE(DiskIdentifier::SenseReportsError(Bytes(descriptor)));

    // A descriptor cut short by the returned length is not read past the data.
    std::vector<uint8_t> cut(descriptor.begin(), descriptor.begin() + 12);
    cut[1] = 0x01;
    EXPECT_FALSE(DiskIdentifier::SenseReportsError(Bytes(cut)));

    std::vector<uint8_t> fixed = {0x70, 0, 0x01, 0, 0x50, 0, 1, 10, 0, 0, 0, 0, 0x00, 0x1D};
    EXPECT_FALSE(DiskIdentifier::SenseReportsError(Bytes(fixed)));
    fixed[4] = 0x51;
    EXPECT_TRUE(DiskIdentifier::SenseReportsError(Bytes(fixed)));
    fixed[4] = 0x50;
    fixed[2] = 0x03; // MEDIUM ERROR
    EXPECT_TRUE(DiskIdentifier::SenseReportsError(Bytes(fixed)));

    std::vector<uint8_t> unknown = {0x00, 0, 0, 0};
    EXPECT_TRUE(DiskIdentifier::SenseReportsError(Bytes(unknown)));
    std::vector<uint8_t> shortFixed = {0xF0, 0};
    EXPECT_TRUE(DiskIdentifier::SenseReportsError(Bytes(shortFixed)));
}

TEST(DiskIdentifierTest, BlockNameFollowsLinksToTheNode) {
    TempDir dir;
    WriteFile(dir.File("sdq"), "");
    std::filesystem::create_directories(dir.Path() / "by-id");
    std::filesystem::create_symlink(dir.File("sdq"), dir.Path() / "by-id" / "ata-DISK_1234");
    EXPECT_EQ(DiskIdentifier::BlockName((dir.Path() / "by-id" / "ata-DISK_1234").string()), "sdq");
    EXPECT_EQ(DiskIdentifier::BlockName(dir.File("missing").string()), "");
    EXPECT_EQ(DiskIdentifier::BlockName(""), "");
}

// Every test maps its own sources into the process table and leaves it empty.
class DiskIdentifyDriveTest : public ::testing::Test {
protected:
    void SetUp() override { DeviceTable::Process().Clear(); }
    void TearDown() override { DeviceTable::Process().Clear(); }
    TempDir m_dir;
};

TEST_F(DiskIdentifyDriveTest, ImageFileMappedAsADiskHasNoIdentity) {
    std::filesystem::path image = m_dir.File("disk0.img");
    WriteFile(image, std::string(64 * 512, '\0'));
    DeviceTable::Process().SetPhysicalDisk(0, DeviceSource{image.string(), 0, std::nullopt});

    DiskIdentifyInfo info = Garbage();
    EXPECT_EQ(ReadDiskIdentify(0x80, info), 0);
    EXPECT_EQ(info, DiskIdentifyInfo{});

    // Even with sysfs strings waiting under the image's name.
    std::filesystem::path sysfs = m_dir.Path() / "sys";
    WriteFile(sysfs / "block" / "sda" / "device" / "model", "NOT THIS");
    std::filesystem::path sda = m_dir.File("sda");
    WriteFile(sda, std::string(512, '\0'));
    DeviceTable::Process().SetPhysicalDisk(1, DeviceSource{sda.string(), 0, std::nullopt});
    info = Garbage();
    EXPECT_EQ(DiskIdentifier(sysfs).Read(0x81, info), 0);
    EXPECT_EQ(info, DiskIdentifyInfo{});
}

TEST_F(DiskIdentifyDriveTest, UnmappedDrivesAndDriveLettersHaveNoIdentity) {
    std::filesystem::path image = m_dir.File("c.img");
    WriteFile(image, std::string(512, '\0'));
    DeviceTable::Process().SetDriveLetter(2, DeviceSource{image.string(), 0, std::nullopt});
    DeviceTable::Process().SetPhysicalDisk(3, DeviceSource{"/nonexistent/disk", 0, std::nullopt});

    for (uint8_t drive : {uint8_t{0x80}, uint8_t{0x83}, uint8_t{0x97}, uint8_t{0x98}, uint8_t{0xFF},
                          uint8_t{0x02}, uint8_t{0x7F}}) {
        DiskIdentifyInfo info = Garbage();
        EXPECT_EQ(ReadDiskIdentify(drive, info), 0) << int{drive};
        EXPECT_EQ(info, DiskIdentifyInfo{}) << int{drive};
    }
}

// A block device that answers no identify request: every source fails in turn and the record
// stays empty. Needs a loop device node the test can open.
TEST_F(DiskIdentifyDriveTest, BlockDeviceThatIsNotADiskHasNoIdentity) {
    const char* loop = "/dev/loop0";
    int fd = ::open(loop, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        GTEST_SKIP() << "no loop device to open";
    ::close(fd);
    WriteFile(m_dir.Path() / "block" / "loop0" / "device" / "model", "LOOP");
    DeviceTable::Process().SetPhysicalDisk(0, DeviceSource{loop, 0, std::nullopt});

    DiskIdentifyInfo info = Garbage();
    EXPECT_EQ(DiskIdentifier(m_dir.Path()).Read(0x80, info), 0);
    EXPECT_EQ(info, DiskIdentifyInfo{});
}

} // namespace
