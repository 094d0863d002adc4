#pragma once

#include <cstddef>
#include <cstdint>

// The bytes of one found file, read from its volume piece by piece in file order, as recovery
// writes them. A piece is a cluster, a block of clusters that follow each other on the volume,
// one compression unit of a compressed NTFS file, or the resident content of a small NTFS file;
// the file's last piece is cut to its size. A read that fails is retried in smaller reads down
// to single sectors; sectors that still fail read as zeros and the piece says where the read
// failed.
class RecoveredFileData {
public:
    // Where a read failed, for the log row: a cluster number, or a sector of the volume.
    struct ReadError {
        bool isSector = false;
        uint64_t number = 0;
    };

    struct Piece {
        const uint8_t* data = nullptr;
        size_t length = 0;
        bool failed = false;
        ReadError error;
        // Progress steps this piece completes. A block read again in smaller pieces after a
        // failed read takes its step with its last piece.
        uint32_t steps = 1;
    };

    RecoveredFileData() = default;
    virtual ~RecoveredFileData();
    RecoveredFileData(const RecoveredFileData&) = delete;
    RecoveredFileData& operator=(const RecoveredFileData&) = delete;

    // False when the file's data cannot be located at all (an NTFS record the reader does not
    // know): recovery creates nothing for it.
    virtual bool Available() const = 0;
    // The steps of the file's progress bar: what the `steps` of all pieces add up to.
    virtual uint32_t PieceCount() const = 0;
    // The next piece, valid until the next call; false after the last one.
    virtual bool Next(Piece& piece) = 0;
    // After the last piece: whether every byte came from the volume as its file system places
    // it (no failed read, no cluster outside the volume, a cluster chain that covers the size).
    virtual bool Complete() const = 0;
};
