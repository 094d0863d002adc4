#include "app/dialogs/signatures/signature_input.h"

#include "filesystems/signatures/signature_file.h"
#include "resources/string_ids.h"

#include <algorithm>

namespace {

// Every third character of a header text separates two bytes.
constexpr size_t kHeaderStride = 3;
// More digits than this cannot be a 32-bit value.
constexpr size_t kMaxDecimalDigits = 10;

std::optional<uint8_t> HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return static_cast<uint8_t>(c - u'0');
    if (c >= u'a' && c <= u'f')
        return static_cast<uint8_t>(c - u'a' + 10);
    if (c >= u'A' && c <= u'F')
        return static_cast<uint8_t>(c - u'A' + 10);
    return std::nullopt;
}

// The value of a text of decimal digits that fits in 32 bits; nothing for an empty text, any
// other character or a larger value.
std::optional<uint32_t> ParseDecimal(std::u16string_view text) {
    if (text.empty() || text.size() > kMaxDecimalDigits)
        return std::nullopt;
    uint64_t value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - u'0');
    }
    if (value > UINT32_MAX)
        return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::u16string DecimalText(uint64_t value) {
    std::u16string text;
    do {
        text.insert(text.begin(), static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
    } while (value != 0);
    return text;
}

} // namespace

uint32_t SignatureInputMessageId(SignatureInputError error) {
    switch (error) {
    case SignatureInputError::None:
        return 0;
    case SignatureInputError::HeaderLength:
        return kHeaderLengthId;
    case SignatureInputError::HeaderFormat:
        return kHeaderFormatId;
    case SignatureInputError::Offset:
        return kOffsetInvalidId;
    case SignatureInputError::Size:
        return kSizeInvalidId;
    case SignatureInputError::NameLength:
        return kNameLengthId;
    case SignatureInputError::NameBlank:
        return kNameBlankId;
    case SignatureInputError::ExtensionLength:
        return kExtensionLengthId;
    case SignatureInputError::ExtensionBlank:
        return kExtensionBlankId;
    }
    return 0;
}

SignatureField SignatureInputFocus(SignatureInputError error) {
    switch (error) {
    case SignatureInputError::Offset:
        return SignatureField::Offset;
    case SignatureInputError::Size:
        return SignatureField::Size;
    case SignatureInputError::NameLength:
    case SignatureInputError::NameBlank:
        return SignatureField::Name;
    case SignatureInputError::ExtensionLength:
    case SignatureInputError::ExtensionBlank:
        return SignatureField::Extension;
    default:
        return SignatureField::Header;
    }
}

SignatureInputError ParseHeaderText(std::u16string_view text, HeaderBytes& out) {
    if (text.size() > kMaxHeaderTextUnits)
        return SignatureInputError::HeaderLength;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool separator = i % kHeaderStride == kHeaderStride - 1;
        if (separator ? text[i] != u' ' : !HexDigit(text[i]))
            return SignatureInputError::HeaderFormat;
    }
    // A pair cut after its first digit, or nothing at all.
    if (text.empty() || text.size() % kHeaderStride == 1)
        return SignatureInputError::HeaderLength;
    HeaderBytes header;
    for (size_t i = 0; i + 1 < text.size() && header.length < header.bytes.size();
         i += kHeaderStride) {
        header.bytes[header.length++] =
            static_cast<uint8_t>(*HexDigit(text[i]) << 4 | *HexDigit(text[i + 1]));
    }
    out = header;
    return SignatureInputError::None;
}

SignatureInputError ParseOffsetText(std::u16string_view text, uint8_t headerLength, uint32_t& out) {
    if (text.size() > kMaxOffsetTextUnits)
        return SignatureInputError::Offset;
    const std::optional<uint32_t> value = ParseDecimal(text);
    // The raw search compares inside one sector: a header that would run past it never matches.
    if (!value || *value >= FileSignature::kSectorSize ||
        uint64_t{*value} + headerLength > FileSignature::kSectorSize)
        return SignatureInputError::Offset;
    out = *value;
    return SignatureInputError::None;
}

std::optional<uint32_t> ParseSizeBytes(std::u16string_view text, bool megabytes) {
    const std::optional<uint32_t> value = ParseDecimal(text);
    if (!value || *value == 0)
        return std::nullopt;
    const uint64_t bytes = uint64_t{*value} * (megabytes ? kMegabyte : kKilobyte);
    if (bytes > UINT32_MAX)
        return std::nullopt;
    return static_cast<uint32_t>(bytes);
}

SignatureInputError CheckSignatureName(std::u16string_view text, bool extension) {
    if (text.size() > kMaxSignatureNameUnits)
        return extension ? SignatureInputError::ExtensionLength : SignatureInputError::NameLength;
    if (std::all_of(text.begin(), text.end(), [](char16_t c) { return c == u' '; }))
        return extension ? SignatureInputError::ExtensionBlank : SignatureInputError::NameBlank;
    return SignatureInputError::None;
}

std::u16string FormatHeaderText(std::span<const uint8_t> bytes) {
    static constexpr char16_t kDigits[] = u"0123456789abcdef";
    std::u16string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0)
            text.push_back(u' ');
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0f]);
    }
    return text;
}

SizeField SizeFieldOf(const FileSignature& record) {
    const bool megabytes = record.sizeUnit == FileSignature::kUnitMegabytes &&
                           record.maxFileSize != 0 && record.maxFileSize % kMegabyte == 0;
    return {DecimalText(record.maxFileSize / (megabytes ? kMegabyte : kKilobyte)), megabytes};
}

std::u16string SwitchSizeUnit(std::u16string_view text, bool toMegabytes) {
    const std::optional<uint32_t> value = ParseDecimal(text);
    if (!value)
        return std::u16string(text);
    return DecimalText(toMegabytes ? *value / kKilobyte : uint64_t{*value} * kKilobyte);
}

std::u16string SizeColumnText(const FileSignature& record) {
    return DecimalText(record.maxFileSize / kKilobyte);
}

bool SetSizeFromColumn(FileSignature& record, std::u16string_view text) {
    const std::optional<uint32_t> bytes = ParseSizeBytes(text, false);
    if (!bytes)
        return false;
    record.maxFileSize = *bytes;
    // The column shows kilobytes: a unit left at megabytes would cut the size when the
    // add/edit dialog shows it next.
    record.sizeUnit = FileSignature::kUnitKilobytes;
    return true;
}

CheckedSignature CheckSignatureInput(const SignatureInput& input, bool headerEditable) {
    CheckedSignature checked;
    if (headerEditable) {
        checked.error = ParseHeaderText(input.header, checked.header);
        if (checked.error == SignatureInputError::None)
            checked.error = ParseOffsetText(input.offset, checked.header.length, checked.offset);
        if (checked.error != SignatureInputError::None)
            return checked;
    }
    const std::optional<uint32_t> size = ParseSizeBytes(input.size, input.megabytes);
    if (!size) {
        checked.error = SignatureInputError::Size;
        return checked;
    }
    checked.sizeBytes = *size;
    checked.error = CheckSignatureName(input.name, false);
    if (checked.error == SignatureInputError::None)
        checked.error = CheckSignatureName(input.extension, true);
    return checked;
}

void ApplySignatureInput(FileSignature& record, const SignatureInput& input,
                         const CheckedSignature& checked) {
    if (!record.companyDefined) {
        record.header = checked.header.bytes;
        record.matchLength = checked.header.length;
        record.matchOffset = checked.offset;
        record.softwareName = input.name;
        record.extension = input.extension;
        record.fileGroup = input.group < kFileGroupCount ? input.group : 0;
    }
    record.maxFileSize = checked.sizeBytes;
    record.sizeUnit =
        input.megabytes ? FileSignature::kUnitMegabytes : FileSignature::kUnitKilobytes;
}

std::optional<FileSignature> NewSignature(const SignatureInput& input,
                                          const CheckedSignature& checked) {
    const uint32_t unit = input.megabytes ? kMegabyte : kKilobyte;
    return MakeUserSignature(input.name, input.extension, checked.offset,
                             std::span(checked.header.bytes.data(), checked.header.length),
                             checked.sizeBytes / unit, !input.megabytes, input.group);
}

FileTypeButtons FileTypeButtonStates(size_t total, size_t checked) {
    return {checked != total, checked != 0 || total == 0};
}

bool ShowsInGroup(const FileSignature& record, uint8_t group) {
    return group == 0 || record.fileGroup == group;
}

ListSort NextListSort(ListSort last, int column) {
    if (last.column == column)
        return {column, !last.descending};
    return {column, true};
}
