#include "archiveview/core/archive_row_text.h"

#include "platform/text/format_text.h"

uint32_t EntryTypeStringId(const ArchiveEntry& entry) {
    return entry.unpackedSize != 0 && entry.packedSize != 0 ? kEntryTypeFileId : kEntryTypeFolderId;
}

std::u16string EntrySizeText(uint64_t bytes) {
    return FormatText(u"%llu", bytes);
}

std::u16string EntryRatioText(uint64_t unpacked, uint64_t packed) {
    if (unpacked == 0 || packed >= unpacked) {
        return u"0.00 %";
    }
    const double saved =
        static_cast<double>(unpacked - packed) * 100.0 / static_cast<double>(unpacked);
    return FormatText(u"%.2f %%", saved);
}

std::u16string DosStampText(uint32_t dosDateTime) {
    const uint32_t date = dosDateTime >> 16;
    const uint32_t time = dosDateTime & 0xFFFF;
    const uint32_t day = date & 0x1F;
    const uint32_t month = (date >> 5) & 0x0F;
    const uint32_t year = 1980 + (date >> 9);
    const uint32_t hour = time >> 11;
    const uint32_t minute = (time >> 5) & 0x3F;
    const uint32_t hour12 = hour % 12 == 0 ? 12 : hour % 12;
    return FormatText(u"%02u/%02u/%u, %02u:%02u:%s", month, day, year, hour12, minute,
                      hour < 12 ? u"AM" : u"PM");
}

std::u16string ByteCountText(uint64_t bytes) {
    constexpr uint64_t kKilo = 1024;
    constexpr uint64_t kMega = kKilo * 1024;
    constexpr uint64_t kGiga = kMega * 1024;
    if (bytes < kKilo) {
        return FormatText(u"%llu Bytes", bytes);
    }
    if (bytes < kMega) {
        return FormatText(u"%.2f KB", static_cast<double>(bytes) / kKilo);
    }
    if (bytes < kGiga) {
        return FormatText(u"%.2f MB", static_cast<double>(bytes) / kMega);
    }
    return FormatText(u"%.2f GB", static_cast<double>(bytes) / kGiga);
}
