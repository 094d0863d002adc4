#include "filesystems/fat/fat_type.h"

#include <array>

namespace {

constexpr std::array<FatTypeProperties, 3> kProperties = {{
    {FatType::Fat12, 12, 341, 0x0FFF, 0xFF8, 0xFF7},
    {FatType::Fat16, 16, 256, 0xFFFF, 0xFFF8, 0xFFF7},
    {FatType::Fat32, 32, 128, 0x0FFFFFFF, 0x0FFFFFF8, 0x0FFFFFF7},
}};

} // namespace

const FatTypeProperties& PropertiesOf(FatType type) {
    switch (type) {
    case FatType::Fat16:
        return kProperties[1];
    case FatType::Fat32:
        return kProperties[2];
    default:
        return kProperties[0];
    }
}

FatType FatTypeFromCode(uint8_t code) {
    switch (code) {
    case FatTypeCode(FatType::Fat12):
        return FatType::Fat12;
    case FatTypeCode(FatType::Fat16):
        return FatType::Fat16;
    case FatTypeCode(FatType::Fat32):
        return FatType::Fat32;
    default:
        return FatType::Unknown;
    }
}

FatType FatTypeOfPartition(uint8_t partitionType) {
    switch (partitionType) {
    case 1:
        return FatType::Fat12;
    case 2:
    case 11:
    case 12:
    case 14:
        return FatType::Fat32;
    case 4:
    case 6:
        return FatType::Fat16;
    default:
        return FatType::Unknown;
    }
}
