#pragma once

#include "filesystems/signatures/file_signature.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The rules of the signature dialogs, without widgets: what the add/edit dialog accepts, how a
// record is shown in its edits and in the lists, and how the file-types dialog's buttons and
// sorting follow the user's clicks. Texts are the edits' contents as typed.

enum class SignatureInputError {
    None,
    HeaderLength,
    HeaderFormat,
    Offset,
    Size,
    NameLength,
    NameBlank,
    ExtensionLength,
    ExtensionBlank,
};

// The edit a refused input sends the focus to.
enum class SignatureField {
    Name,
    Extension,
    Header,
    Offset,
    Size,
};

// The message of a refusal; 0 for None.
uint32_t SignatureInputMessageId(SignatureInputError error);
SignatureField SignatureInputFocus(SignatureInputError error);

inline constexpr size_t kMaxHeaderTextUnits = 24;
inline constexpr size_t kMaxOffsetTextUnits = 3;
// Longest software name or extension the dialog takes.
inline constexpr size_t kMaxSignatureNameUnits = 256;
inline constexpr uint32_t kKilobyte = 1024;
inline constexpr uint32_t kMegabyte = 1024 * 1024;

struct HeaderBytes {
    uint8_t length = 0;
    std::array<uint8_t, FileSignature::kMaxMatchLength> bytes{};
    bool operator==(const HeaderBytes&) const = default;
};

// "01 ff 0c": pairs of hexadecimal digits, each followed by one space but the last (a trailing
// space is allowed), at most eight pairs.
SignatureInputError ParseHeaderText(std::u16string_view text, HeaderBytes& out);
// Decimal, at most three digits; the header must end inside the 512-byte sector.
SignatureInputError ParseOffsetText(std::u16string_view text, uint8_t headerLength, uint32_t& out);
// A size typed in kilobytes or megabytes, in bytes: digits only, not 0, and the value and the
// bytes both fit in 32 bits. Nothing otherwise.
std::optional<uint32_t> ParseSizeBytes(std::u16string_view text, bool megabytes);
// A software name (or, with `extension`, an extension): at most 256 units, not only spaces.
SignatureInputError CheckSignatureName(std::u16string_view text, bool extension);

// The header bytes as the header edit shows them: two lower-case digits a byte, one space
// between bytes.
std::u16string FormatHeaderText(std::span<const uint8_t> bytes);

// The size edit and unit of a record: megabytes when it was entered so and is a whole number of
// them, else kilobytes, so that showing a size and storing it again never cuts it.
struct SizeField {
    std::u16string value;
    bool megabytes = false;
    bool operator==(const SizeField&) const = default;
};
SizeField SizeFieldOf(const FileSignature& record);
// The size text after one step of the unit spin: KB to MB divides by 1024, MB to KB multiplies
// by it. A text that is not a number stays as it is.
std::u16string SwitchSizeUnit(std::u16string_view text, bool toMegabytes);

// The lists' size column: the size in kilobytes.
std::u16string SizeColumnText(const FileSignature& record);
// The size typed over the size column, in kilobytes: on success the record holds it in bytes,
// with the kilobyte unit, and the result is true; else the record is left as it was.
bool SetSizeFromColumn(FileSignature& record, std::u16string_view text);

// Everything the add/edit dialog holds when OK is pressed.
struct SignatureInput {
    std::u16string name;
    std::u16string extension;
    std::u16string header;
    std::u16string offset;
    std::u16string size;
    bool megabytes = false;
    uint8_t group = 0;
};

struct CheckedSignature {
    SignatureInputError error = SignatureInputError::None;
    HeaderBytes header;
    uint32_t offset = 0;
    uint32_t sizeBytes = 0;
};

// Checks in the dialog's order: header and offset (only when `headerEditable`: a new or a
// user-defined record), size, name, extension. The first refusal wins.
CheckedSignature CheckSignatureInput(const SignatureInput& input, bool headerEditable);
// OK over an existing record: a user-defined one takes every field; a company-defined one only
// its size.
void ApplySignatureInput(FileSignature& record, const SignatureInput& input,
                         const CheckedSignature& checked);
// OK without a record: the record to append.
std::optional<FileSignature> NewSignature(const SignatureInput& input,
                                          const CheckedSignature& checked);

// Select All and Unselect All of the file-types dialog over `total` records, `checked` of them
// selected.
struct FileTypeButtons {
    bool selectAll = false;
    bool unselectAll = false;
    bool operator==(const FileTypeButtons&) const = default;
};
FileTypeButtons FileTypeButtonStates(size_t total, size_t checked);
// Group 0 shows every record.
bool ShowsInGroup(const FileSignature& record, uint8_t group);

// A column click: the first on a column sorts it descending, each further one reverses.
struct ListSort {
    int column = -1;
    bool descending = true;
    bool operator==(const ListSort&) const = default;
};
ListSort NextListSort(ListSort last, int column);
