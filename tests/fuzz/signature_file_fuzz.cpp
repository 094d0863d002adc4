// The header file "HeaderFile.cfg" over any bytes: one record per whole 1071 bytes, every one
// selected and within the record's bounds; each writes back to bytes that read as the same
// record, and matching a sector against it stays inside the sector.
#include "filesystems/signatures/file_signature_serializer.h"
#include "filesystems/signatures/signature_file.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr size_t kRecordSize = FileSignatureSerializer::kSize;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const std::vector<FileSignature> records = ReadHeaderRecords(bytes);
    Check(records.size() == std::min(size / kRecordSize, kMaxHeaderFileRecords));

    // The bytes past the last whole record stand in for a sector to match against.
    const std::span<const uint8_t> sector =
        bytes.subspan(std::min(size, records.size() * kRecordSize));
    for (const FileSignature& record : records) {
        Check(record.selected);
        Check(record.matchLength <= FileSignature::kMaxMatchLength);
        Check(record.softwareName.size() <= FileSignature::kMaxTextUnits);
        Check(record.extension.size() <= FileSignature::kMaxTextUnits);

        const std::vector<uint8_t> written = FileSignatureSerializer::Write(record);
        const std::vector<FileSignature> again = ReadHeaderRecords(written);
        Check(again.size() == 1 && again[0] == record);

        if (HeaderMatches(record, sector)) {
            Check(record.matchLength > 0 && record.matchOffset < sector.size());
            Check(std::equal(record.header.begin(), record.header.begin() + record.matchLength,
                             sector.begin() + record.matchOffset));
        }
    }
    return 0;
}
