#include "filesystems/signatures/file_signature_serializer.h"

#include "platform/text/byte_reader.h"
#include "platform/text/byte_writer.h"

#include <utility>

static_assert(FileSignatureSerializer::kOffsetFinderKind + 2 == FileSignatureSerializer::kSize);
static_assert(FileSignatureSerializer::kOffsetSoftwareName +
                  2 * FileSignatureSerializer::kTextFieldUnits ==
              FileSignatureSerializer::kOffsetExtension);
static_assert(FileSignature::kMaxTextUnits + 1 == FileSignatureSerializer::kTextFieldUnits);

std::vector<uint8_t> FileSignatureSerializer::Write(const FileSignature& signature) {
    std::vector<uint8_t> bytes(kSize, 0);
    Write(signature, bytes);
    return bytes;
}

bool FileSignatureSerializer::Write(const FileSignature& signature, std::span<uint8_t> out) {
    if (out.size() < kSize) {
        return false;
    }
    ByteWriter writer(out.first(kSize));
    // Each put lies inside the record by the offsets above, so none can be refused.
    writer.PutU32(kOffsetNext, 0);
    writer.PutU32(kOffsetPrevious, 0);
    writer.PutUtf16Field(kOffsetSoftwareName, signature.softwareName, kTextFieldUnits);
    writer.PutUtf16Field(kOffsetExtension, signature.extension, kTextFieldUnits);
    writer.PutU32(kOffsetMatchOffset, signature.matchOffset);
    writer.PutU8(kOffsetMatchLength, signature.matchLength);
    writer.PutBytes(kOffsetHeader, signature.header);
    writer.PutU8(kOffsetSelected, signature.selected ? 1 : 0);
    writer.PutU8(kOffsetCompanyDefined, signature.companyDefined ? 1 : 0);
    writer.PutU32(kOffsetMaxFileSize, signature.maxFileSize);
    writer.PutU8(kOffsetSizeUnit, signature.sizeUnit);
    writer.PutU8(kOffsetFileGroup, signature.fileGroup);
    writer.PutU16(kOffsetFinderKind, signature.finderKind);
    return true;
}

bool FileSignatureSerializer::Read(std::span<const uint8_t> bytes, FileSignature& out) {
    if (bytes.size() < kSize) {
        return false;
    }
    const ByteReader reader(bytes.first(kSize));
    FileSignature signature;
    uint8_t selected = 0;
    uint8_t companyDefined = 0;
    const bool ok =
        reader.ReadStoredUtf16Field(kOffsetSoftwareName, kTextFieldUnits, signature.softwareName) &&
        reader.ReadStoredUtf16Field(kOffsetExtension, kTextFieldUnits, signature.extension) &&
        reader.ReadU32(kOffsetMatchOffset, signature.matchOffset) &&
        reader.ReadU8(kOffsetMatchLength, signature.matchLength) &&
        reader.ReadBytes(kOffsetHeader, signature.header) &&
        reader.ReadU8(kOffsetSelected, selected) &&
        reader.ReadU8(kOffsetCompanyDefined, companyDefined) &&
        reader.ReadU32(kOffsetMaxFileSize, signature.maxFileSize) &&
        reader.ReadU8(kOffsetSizeUnit, signature.sizeUnit) &&
        reader.ReadU8(kOffsetFileGroup, signature.fileGroup) &&
        reader.ReadU16(kOffsetFinderKind, signature.finderKind);
    if (!ok) {
        return false;
    }
    if (signature.matchLength > FileSignature::kMaxMatchLength) {
        signature.matchLength = FileSignature::kMaxMatchLength;
    }
    signature.selected = selected != 0;
    signature.companyDefined = companyDefined != 0;
    out = std::move(signature);
    return true;
}
