#include "diskio/inventory/disk_identify.h"

#include "diskio/inventory/ata_identify_block.h"
#include "diskio/inventory/device_map_loader.h"

#include <fcntl.h>
#include <linux/hdreg.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <utility>

namespace {

using Block = AtaIdentifyBlock::Block;

constexpr uint8_t kFirstPhysicalDisk = 0x80;
constexpr std::streamsize kMaxSysfsFileBytes = 4096;

// ATA PASS-THROUGH(16) with a PIO data-in transfer of one 512-byte block, its length in the
// sector count field.
constexpr uint8_t kAtaPassThrough16 = 0x85;
constexpr uint8_t kProtocolPioDataIn = 4;
constexpr uint8_t kTransferFromDeviceInBlocks = 0x0E;
constexpr unsigned kPassThroughTimeoutMs = 5000;

constexpr uint8_t kIdentifyDevice = 0xEC;
constexpr uint8_t kSmart = 0xB0;
constexpr uint8_t kSmartReadData = 0xD0;
constexpr uint8_t kSmartLbaMid = 0x4F;
constexpr uint8_t kSmartLbaHigh = 0xC2;

constexpr uint8_t kScsiStatusGood = 0x00;
constexpr uint8_t kScsiStatusCheckCondition = 0x02;
constexpr unsigned kDriverStatusMask = 0x0F;
constexpr unsigned kDriverSense = 0x08;

constexpr uint8_t kSenseKeyNoSense = 0x0;
constexpr uint8_t kSenseKeyRecoveredError = 0x1;
constexpr uint8_t kAtaStatusError = 0x01;
constexpr uint8_t kAtaStatusDeviceFault = 0x20;
constexpr uint8_t kAtaStatusReturnDescriptor = 0x09;
constexpr size_t kAtaStatusReturnDescriptorSize = 14;

enum class BlockKind {
    Scsi,
    Nvme,
    Virtio,
    Other,
};

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int Get() const { return m_fd; }

private:
    int m_fd;
};

int OpenForQueries(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool AllLetters(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Names of whole disks only: "sda", "nvme0n1", "vda". Anything else, a partition or a name
// that could step out of the sysfs folder included, is Other.
BlockKind KindOf(std::string_view name) {
    if (name.substr(0, 2) == "sd" && AllLetters(name.substr(2)))
        return BlockKind::Scsi;
    if (name.substr(0, 2) == "vd" && AllLetters(name.substr(2)))
        return BlockKind::Virtio;
    if (name.substr(0, 4) == "nvme") {
        std::string_view rest = name.substr(4);
        size_t n = rest.find('n');
        if (n != std::string_view::npos && AllDigits(rest.substr(0, n)) &&
            AllDigits(rest.substr(n + 1)))
            return BlockKind::Nvme;
    }
    return BlockKind::Other;
}

std::string ReadSysfsFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::string content(static_cast<size_t>(kMaxSysfsFileBytes), '\0');
    in.read(content.data(), kMaxSysfsFileBytes);
    content.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return content;
}

std::string SysfsText(const std::filesystem::path& path, size_t limit) {
    return AtaIdentifyBlock::CleanText(ReadSysfsFile(path), limit);
}

bool HasStrings(const DiskIdentifyInfo& info) {
    return !info.model.empty() || !info.serialNumber.empty() || !info.firmwareRevision.empty();
}

bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
    auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    };
    return std::search(text.begin(), text.end(), part.begin(), part.end(), same) != text.end();
}

std::optional<Block> UsableIdentity(const Block& block) {
    if (!HasStrings(AtaIdentifyBlock::Strings(block)))
        return std::nullopt;
    return block;
}

std::optional<Block> IdentityFromKernel(int fd) {
    alignas(uint16_t) std::array<uint8_t, AtaIdentifyBlock::kSize> kernelBlock{};
    if (::ioctl(fd, HDIO_GET_IDENTITY, kernelBlock.data()) != 0)
        return std::nullopt;
    return UsableIdentity(AtaIdentifyBlock::FromKernelIdentity(kernelBlock));
}

// One ATA command that reads a 512-byte block; false unless the transfer completed and
// nothing reported an error.
bool AtaReadBlock(int fd, uint8_t command, uint8_t feature, uint8_t lbaMid, uint8_t lbaHigh,
                  Block& data) {
    std::array<uint8_t, 16> cdb{};
    cdb[0] = kAtaPassThrough16;
    cdb[1] = kProtocolPioDataIn << 1;
    cdb[2] = kTransferFromDeviceInBlocks;
    cdb[4] = feature;
    cdb[6] = 1; // sector count
    cdb[10] = lbaMid;
    cdb[12] = lbaHigh;
    cdb[14] = command;

    std::array<uint8_t, 32> sense{};
    data.fill(0);
    sg_io_hdr_t io{};
    io.interface_id = 'S';
    io.dxfer_direction = SG_DXFER_FROM_DEV;
    io.cmd_len = static_cast<unsigned char>(cdb.size());
    io.mx_sb_len = static_cast<unsigned char>(sense.size());
    io.dxfer_len = static_cast<unsigned>(data.size());
    io.dxferp = data.data();
    io.cmdp = cdb.data();
    io.sbp = sense.data();
    io.timeout = kPassThroughTimeoutMs;
    if (::ioctl(fd, SG_IO, &io) != 0)
        return false;

    unsigned driver = io.driver_status & kDriverStatusMask;
    if (io.host_status != 0 || (driver != 0 && driver != kDriverSense))
        return false;
    if (io.status != kScsiStatusGood && io.status != kScsiStatusCheckCondition)
        return false;
    size_t senseLength = std::min<size_t>(io.sb_len_wr, sense.size());
    if (io.status == kScsiStatusCheckCondition && senseLength == 0)
        return false;
    if (DiskIdentifier::SenseReportsError(std::span(sense.data(), senseLength)))
        return false;
    return io.resid == 0;
}

std::optional<Block> IdentityByPassThrough(int fd) {
    Block block{};
    if (!AtaReadBlock(fd, kIdentifyDevice, 0, 0, 0, block))
        return std::nullopt;
    return UsableIdentity(block);
}

uint32_t TemperatureByPassThrough(int fd) {
    Block smartData{};
    if (!AtaReadBlock(fd, kSmart, kSmartReadData, kSmartLbaMid, kSmartLbaHigh, smartData))
        return 0;
    return AtaIdentifyBlock::SmartTemperature(smartData);
}

int Deliver(const DiskIdentifyInfo& info, DiskIdentifyInfo& out) {
    if (!HasStrings(info))
        return 0;
    out = info;
    return 1;
}

} // namespace

DiskIdentifier::DiskIdentifier(std::filesystem::path sysfsRoot)
    : m_sysfsRoot(std::move(sysfsRoot)) {}

int DiskIdentifier::Read(uint8_t drive, DiskIdentifyInfo& out) const {
    out = {};
    if (drive < kFirstPhysicalDisk)
        return 0;
    std::optional<DeviceSource> source =
        DeviceMapLoader::ProcessTable().PhysicalDisk(drive - kFirstPhysicalDisk);
    if (!source || source->path.empty())
        return 0;
    struct stat status {};
    if (::stat(source->path.c_str(), &status) != 0 || !S_ISBLK(status.st_mode))
        return 0;
    std::string name = BlockName(source->path);

    Descriptor fd(OpenForQueries(source->path));
    std::optional<Block> block;
    if (fd.Get() >= 0) {
        block = IdentityFromKernel(fd.Get());
        if (!block)
            block = IdentityByPassThrough(fd.Get());
    }
    if (!block)
        return ReadFromSysfs(name, out);

    DiskIdentifyInfo info = AtaIdentifyBlock::Strings(*block);
    ApplySysfsModel(info, SysfsModel(name));
    if (AtaIdentifyBlock::SmartEnabled(*block))
        info.temperature = TemperatureByPassThrough(fd.Get());
    return Deliver(info, out);
}

int DiskIdentifier::ReadFromSysfs(std::string_view blockName, DiskIdentifyInfo& out) const {
    out = {};
    BlockKind kind = KindOf(blockName);
    if (kind == BlockKind::Other)
        return 0;
    std::filesystem::path disk = m_sysfsRoot / "block" / std::string(blockName);
    std::filesystem::path device = disk / "device";

    DiskIdentifyInfo info;
    switch (kind) {
    case BlockKind::Scsi: {
        info.model = SysfsText(device / "model", DiskIdentifyInfo::kMaxModel);
        info.firmwareRevision = SysfsText(device / "rev", DiskIdentifyInfo::kMaxFirmwareRevision);
        std::string page = ReadSysfsFile(device / "vpd_pg80");
        info.serialNumber = AtaIdentifyBlock::VpdSerialNumber(
            std::span(reinterpret_cast<const uint8_t*>(page.data()), page.size()));
        break;
    }
    case BlockKind::Nvme:
        info.model = SysfsText(device / "model", DiskIdentifyInfo::kMaxModel);
        info.serialNumber = SysfsText(device / "serial", DiskIdentifyInfo::kMaxSerialNumber);
        info.firmwareRevision =
            SysfsText(device / "firmware_rev", DiskIdentifyInfo::kMaxFirmwareRevision);
        break;
    case BlockKind::Virtio:
        info.serialNumber = SysfsText(disk / "serial", DiskIdentifyInfo::kMaxSerialNumber);
        break;
    case BlockKind::Other:
        break;
    }
    return Deliver(info, out);
}

std::string DiskIdentifier::SysfsModel(std::string_view blockName) const {
    BlockKind kind = KindOf(blockName);
    if (kind != BlockKind::Scsi && kind != BlockKind::Nvme)
        return {};
    return SysfsText(m_sysfsRoot / "block" / std::string(blockName) / "device" / "model",
                     DiskIdentifyInfo::kMaxModel);
}

std::string DiskIdentifier::BlockName(const std::string& devicePath) {
    if (devicePath.empty())
        return {};
    char* resolved = ::realpath(devicePath.c_str(), nullptr);
    if (resolved == nullptr)
        return {};
    std::string full(resolved);
    std::free(resolved);
    return std::filesystem::path(full).filename().string();
}

void DiskIdentifier::ApplySysfsModel(DiskIdentifyInfo& info, std::string_view sysfsModel) {
    std::string model = AtaIdentifyBlock::CleanText(sysfsModel, DiskIdentifyInfo::kMaxModel);
    if (model.empty() || ContainsIgnoringCase(info.model, model))
        return;
    info.model = std::move(model);
}

bool DiskIdentifier::SenseReportsError(std::span<const uint8_t> sense) {
    if (sense.empty())
        return false;
    uint8_t format = sense[0] & 0x7F;
    uint8_t key;
    std::optional<uint8_t> ataStatus;
    if (format == 0x72 || format == 0x73) {
        if (sense.size() < 8)
            return true;
        key = sense[1] & 0x0F;
        size_t end = std::min<size_t>(sense.size(), 8 + static_cast<size_t>(sense[7]));
        size_t at = 8;
        while (at + 2 <= end) {
            size_t length = 2 + static_cast<size_t>(sense[at + 1]);
            if (sense[at] == kAtaStatusReturnDescriptor &&
                length >= kAtaStatusReturnDescriptorSize && at + length <= end)
                ataStatus = sense[at + 13];
            at += length;
        }
    } else if (format == 0x70 || format == 0x71) {
        if (sense.size() < 3)
            return true;
        key = sense[2] & 0x0F;
        // ATA PASS-THROUGH INFORMATION AVAILABLE puts the ATA status in the information field.
        if (sense.size() >= 14 && sense[12] == 0x00 && sense[13] == 0x1D)
            ataStatus = sense[4];
    } else {
        return true;
    }
    if (key != kSenseKeyNoSense && key != kSenseKeyRecoveredError)
        return true;
    return ataStatus && (*ataStatus & (kAtaStatusError | kAtaStatusDeviceFault)) != 0;
}

int ReadDiskIdentify(uint8_t drive, DiskIdentifyInfo& out) {
    return DiskIdentifier("/sys").Read(drive, out);
}
