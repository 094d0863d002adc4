#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Which viewer shows a found entry, chosen by its name's extension and its size. The hex view
// takes everything the others do not, and whatever another viewer declines.
enum class PreviewViewer {
    Picture,
    // Word, Excel and PowerPoint documents and Access databases.
    Office,
    Archive,
    Text,
    Hex,
};

// What a picture or office viewer did with a file. Every answer but Shown hands the file to the
// hex view; all but Declined (a viewer that has no word to say, as the document check of the
// office preview) tell the person why first.
enum class PreviewAnswer {
    Shown,
    Declined,
    NotDecoded,  // no decoder accepted the picture: damaged, or not what its name says
    KindNotRead, // no decoder reads pictures of its extension
    Unreadable,  // sectors of the file could not be read from the disk
};

// Pictures and office documents above this size are shown in the hex view: their viewers take
// the whole file in memory.
inline constexpr uint64_t kPreviewBufferLimit = 10u * 1024 * 1024;

// The text after the name's last dot, trailing dots skipped; a name without a dot is taken
// whole ("C" is a C source).
std::string_view PreviewExtension(std::string_view name);

PreviewViewer ChoosePreviewViewer(std::string_view utf8Name, uint64_t size, bool isFolder);

// `utf8Name` cut to at most `maxBytes` bytes, never inside a character.
std::string CutUtf8(std::string_view utf8Name, size_t maxBytes);
