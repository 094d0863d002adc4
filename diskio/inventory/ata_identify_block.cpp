#include "diskio/inventory/ata_identify_block.h"

#include <algorithm>
#include <bit>

namespace {

// Byte offsets and lengths of the strings in an identify block.
constexpr size_t kSerialOffset = 20;
constexpr size_t kSerialLength = 20;
constexpr size_t kFirmwareOffset = 46;
constexpr size_t kFirmwareLength = 8;
constexpr size_t kModelOffset = 54;
constexpr size_t kModelLength = 40;

constexpr size_t kCommandSetSupportedWord = 82;
constexpr size_t kCommandSetSupportedValidWord = 83;
constexpr size_t kCommandSetEnabledWord = 85;
constexpr size_t kCommandSetEnabledValidWord = 87;
constexpr uint16_t kSmartFeatureBit = 0x0001;

constexpr size_t kSmartTableOffset = 2;
constexpr size_t kSmartEntrySize = 12;
constexpr size_t kSmartEntryCount = 30;
constexpr size_t kSmartRawOffset = 5;
constexpr uint8_t kTemperatureAttribute = 194;

constexpr uint8_t kUnitSerialNumberPage = 0x80;
constexpr size_t kVpdHeaderSize = 4;

uint16_t Word(std::span<const uint8_t, AtaIdentifyBlock::kSize> block, size_t index) {
    return static_cast<uint16_t>(block[2 * index] | (block[2 * index + 1] << 8));
}

// A word whose bits 15:14 are 01b marks the words it covers as valid.
bool WordsValid(uint16_t signature) {
    return (signature & 0xC000) == 0x4000;
}

bool InString(size_t offset) {
    auto inside = [offset](size_t start, size_t length) {
        return offset >= start && offset < start + length;
    };
    return inside(kSerialOffset, kSerialLength) || inside(kFirmwareOffset, kFirmwareLength) ||
           inside(kModelOffset, kModelLength);
}

std::string SwappedString(std::span<const uint8_t, AtaIdentifyBlock::kSize> block, size_t offset,
                          size_t length, size_t limit) {
    std::string text;
    text.reserve(length);
    for (size_t i = offset; i + 1 < offset + length; i += 2) {
        text.push_back(static_cast<char>(block[i + 1]));
        text.push_back(static_cast<char>(block[i]));
    }
    return AtaIdentifyBlock::CleanText(text, limit);
}

} // namespace

std::string AtaIdentifyBlock::CleanText(std::string_view raw, size_t limit) {
    std::string text;
    text.reserve(std::min(raw.size(), limit + 1));
    for (char c : raw) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E)
            continue;
        if (byte == ' ' && text.empty())
            continue;
        text.push_back(c);
    }
    if (text.size() > limit)
        text.resize(limit);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

DiskIdentifyInfo AtaIdentifyBlock::Strings(std::span<const uint8_t, kSize> block) {
    DiskIdentifyInfo info;
    info.model = SwappedString(block, kModelOffset, kModelLength, DiskIdentifyInfo::kMaxModel);
    info.serialNumber =
        SwappedString(block, kSerialOffset, kSerialLength, DiskIdentifyInfo::kMaxSerialNumber);
    info.firmwareRevision = SwappedString(block, kFirmwareOffset, kFirmwareLength,
                                          DiskIdentifyInfo::kMaxFirmwareRevision);
    return info;
}

bool AtaIdentifyBlock::SmartEnabled(std::span<const uint8_t, kSize> block) {
    bool supported = WordsValid(Word(block, kCommandSetSupportedValidWord)) &&
                     (Word(block, kCommandSetSupportedWord) & kSmartFeatureBit) != 0;
    bool enabled = WordsValid(Word(block, kCommandSetEnabledValidWord)) &&
                   (Word(block, kCommandSetEnabledWord) & kSmartFeatureBit) != 0;
    return supported && enabled;
}

AtaIdentifyBlock::Block
AtaIdentifyBlock::FromKernelIdentity(std::span<const uint8_t, kSize> kernelBlock) {
    Block block{};
    for (size_t offset = 0; offset < kSize; offset += 2) {
        bool swap = InString(offset) || std::endian::native == std::endian::big;
        block[offset] = kernelBlock[swap ? offset + 1 : offset];
        block[offset + 1] = kernelBlock[swap ? offset : offset + 1];
    }
    return block;
}

uint32_t AtaIdentifyBlock::SmartTemperature(std::span<const uint8_t, kSize> smartData) {
    for (size_t entry = 0; entry < kSmartEntryCount; ++entry) {
        size_t offset = kSmartTableOffset + entry * kSmartEntrySize;
        if (smartData[offset] == kTemperatureAttribute)
            return smartData[offset + kSmartRawOffset];
    }
    return 0;
}

std::string AtaIdentifyBlock::VpdSerialNumber(std::span<const uint8_t> page) {
    if (page.size() < kVpdHeaderSize || page[1] != kUnitSerialNumberPage)
        return {};
    size_t length = static_cast<size_t>(page[2] << 8 | page[3]);
    length = std::min(length, page.size() - kVpdHeaderSize);
    auto serial = page.subspan(kVpdHeaderSize, length);
    return CleanText(std::string_view(reinterpret_cast<const char*>(serial.data()), serial.size()),
                     DiskIdentifyInfo::kMaxSerialNumber);
}
