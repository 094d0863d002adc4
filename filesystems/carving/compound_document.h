#pragma once

#include <cstdint>
#include <span>
#include <string>

class RawDataView;

enum class CompoundDocumentKind : uint8_t {
    Unknown = 0,
    Word = 1,
    Excel = 2,
    PowerPoint = 3,
};

// What sizing an office compound document found out about it.
struct CompoundDocumentInfo {
    // From the main stream among the root's streams.
    CompoundDocumentKind kind = CompoundDocumentKind::Unknown;
    // Bytes from the header to the end of the last sector the allocation table uses; 0 when the
    // structure could not be sized (the caller then extends the file sector by sector).
    uint64_t length = 0;
    // The title in the document's summary, 8-bit characters as stored, at most 256 of them.
    std::string summaryName;
    // The main stream passed its kind's check, and no damaged sector index was met.
    bool valid = false;
};

// Sizes the compound document whose header is the first sector of the view, with the sector
// size the header gives (512 or 4096 bytes). The length comes from the free entries at the end
// of the last allocation-table sector; a document that does not fit in the view is not valid.
CompoundDocumentInfo SizeCompoundDocument(RawDataView& view);

// Sector `index` of the document, counting sectors of out.size() bytes from its first byte (the
// header is sector 0). A sector that is not all inside the view, or cannot be read, comes back
// as zero bytes and false.
bool ReadCompoundSector(RawDataView& view, uint64_t index, std::span<uint8_t> out);
