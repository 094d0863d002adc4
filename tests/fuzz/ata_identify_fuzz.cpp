// The blocks a disk answers with: whatever an identify block, SMART data or a serial-number
// page holds, the strings that come out are printable, trimmed and within their record
// fields, and the kernel's form of a block converts back to the same strings.
#include "diskio/inventory/ata_identify_block.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

void CheckText(const std::string& text, size_t limit) {
    if (text.size() > limit)
        std::abort();
    if (!text.empty() && (text.front() == ' ' || text.back() == ' '))
        std::abort();
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The page may be any length; the blocks are the first 512 bytes, zero-filled.
    const std::span<const uint8_t> page(data, std::min<size_t>(size, 4096));
    CheckText(AtaIdentifyBlock::VpdSerialNumber(page), DiskIdentifyInfo::kMaxSerialNumber);

    AtaIdentifyBlock::Block block{};
    std::memcpy(block.data(), data, std::min(size, block.size()));
    const DiskIdentifyInfo info = AtaIdentifyBlock::Strings(block);
    CheckText(info.model, DiskIdentifyInfo::kMaxModel);
    CheckText(info.serialNumber, DiskIdentifyInfo::kMaxSerialNumber);
    CheckText(info.firmwareRevision, DiskIdentifyInfo::kMaxFirmwareRevision);
    if (info.temperature != 0)
        std::abort();
    (void)AtaIdentifyBlock::SmartEnabled(block);
    if (AtaIdentifyBlock::SmartTemperature(block) > 0xFF)
        std::abort();

    // The kernel's form holds the strings in reading order; converting it back is its inverse.
    const AtaIdentifyBlock::Block converted = AtaIdentifyBlock::FromKernelIdentity(block);
    if (AtaIdentifyBlock::FromKernelIdentity(converted) != block)
        std::abort();

    const std::string_view raw(reinterpret_cast<const char*>(data), std::min<size_t>(size, 4096));
    const size_t limit = size == 0 ? 0 : data[0] % 64;
    CheckText(AtaIdentifyBlock::CleanText(raw, limit), limit);
    return 0;
}
