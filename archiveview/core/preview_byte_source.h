#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The bytes of one file as the previews read them: 512-byte sectors counted from the start of
// the file. A sector can be read, fail to read (a bad sector or a cluster number that cannot
// be), or lie past what the source holds; the last ends every walk.
class PreviewByteSource {
public:
    static constexpr size_t kSectorBytes = 512;

    enum class SectorRead {
        Ok,
        Failed,
        PastEnd,
    };

    virtual ~PreviewByteSource() = default;
    // Fills `out` with sector `fileSector`; zeros unless the result is Ok.
    virtual SectorRead ReadSector(uint64_t fileSector, std::span<uint8_t, kSectorBytes> out) = 0;
};

// The result of reading a run of bytes through the sectors that hold them.
struct ByteRunRead {
    PreviewByteSource::SectorRead result = PreviewByteSource::SectorRead::Ok;
    // The first sector that failed (result Failed) or lay past the end (PastEnd).
    uint64_t badSector = 0;

    bool Ok() const { return result == PreviewByteSource::SectorRead::Ok; }
};

// Reads out.size() bytes from byte `offset` of the file, every sector they touch. Bytes of a
// sector that failed are zeros. Stops at the first sector past the end.
ByteRunRead ReadBytesAt(PreviewByteSource& source, uint64_t offset, std::span<uint8_t> out);
