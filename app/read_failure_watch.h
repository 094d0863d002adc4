#pragma once

#include "filesystems/recovered_file_data.h"

// The pieces of another reader, passed on as they come, noting whether any could not be read
// from the disk.
class ReadFailureWatch : public RecoveredFileData {
public:
    explicit ReadFailureWatch(RecoveredFileData& data) : m_data(data) {}

    bool Available() const override { return m_data.Available(); }
    uint32_t PieceCount() const override { return m_data.PieceCount(); }
    bool Next(Piece& piece) override {
        const bool more = m_data.Next(piece);
        m_failed = m_failed || (more && piece.failed);
        return more;
    }
    bool Complete() const override { return m_data.Complete(); }
    bool Failed() const { return m_failed; }

private:
    RecoveredFileData& m_data;
    bool m_failed = false;
};
