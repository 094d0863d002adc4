#pragma once

#include "diskio/sources/sector_source.h"
#include "filesystems/carving/raw_data_view.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// A raw-search view over fuzz input, shaped by one byte of it: bit 0 puts a sector of other
// data before the file, bits 1-2 leave that many of the file's last sectors past the end of the
// drive, bit 3 hands the first block in as the search would. Reads go through a memory sector
// source; one outside the view's window aborts, since the view promises never to make one.
class FuzzRawView {
public:
    FuzzRawView(uint8_t shape, std::span<const uint8_t> file);
    FuzzRawView(const FuzzRawView&) = delete;
    FuzzRawView& operator=(const FuzzRawView&) = delete;

    RawDataView& View() { return *m_view; }

private:
    std::vector<uint8_t> m_drive;
    SectorSource m_source;
    uint64_t m_before = 0;
    uint64_t m_limit = 0;
    std::unique_ptr<RawDataView> m_view;
};
