#pragma once

#include <cstdint>

class RawDataView;

// Lengths of picture files found by their first bytes, read from each format's own structure.
// The view starts at the file's first byte. Each finder answers the length in bytes, never more
// than the view holds, or 0 when the structure is missing, damaged or longer than the format's
// window: the caller then extends the file sector by sector. None reads past the view.

// The file size in the bitmap header; 0 above 10 MiB.
uint64_t FindBmpLength(RawDataView& view);

// Up to the end chunk ("IEND" and its fixed CRC) within the first 11 MiB.
uint64_t FindPngLength(RawDataView& view);

// Walks the blocks (colour tables, extensions, images and their sub-blocks) to the trailer,
// which must come within the first 10 MiB.
uint64_t FindGifLength(RawDataView& view);

// The furthest end of the header, the directories of the chain and the ones they point to, the
// tag data stored outside the entries, and the strips and tiles. The first directory must
// describe a full-resolution image. "MM" files and "II" files respectively.
uint64_t FindTiffLengthBigEndian(RawDataView& view);
uint64_t FindTiffLengthLittleEndian(RawDataView& view);

// Walks the leading segments (past an Exif thumbnail), then ends just past the first FF D9 or
// FF D8 within the next 15 MiB.
uint64_t FindJpegLength(RawDataView& view);
