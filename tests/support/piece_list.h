#pragma once

#include "filesystems/recovered_file_data.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

// A found file's reader over pieces a test gives, handed out in order; the pieces whose index is
// in `unreadable` come as a read of the disk that failed (zero-filled).
class PieceList : public RecoveredFileData {
public:
    explicit PieceList(std::vector<std::vector<uint8_t>> pieces, std::set<size_t> unreadable = {})
        : m_pieces(std::move(pieces)), m_unreadable(std::move(unreadable)) {}
    bool Available() const override { return true; }
    uint32_t PieceCount() const override { return static_cast<uint32_t>(m_pieces.size()); }
    bool Next(Piece& piece) override {
        if (m_next >= m_pieces.size()) {
            return false;
        }
        piece = Piece{};
        if (m_unreadable.count(m_next) != 0) {
            std::fill(m_pieces[m_next].begin(), m_pieces[m_next].end(), 0);
            piece.failed = true;
        }
        piece.data = m_pieces[m_next].data();
        piece.length = m_pieces[m_next].size();
        ++m_next;
        return true;
    }
    bool Complete() const override { return m_unreadable.empty(); }
    size_t Given() const { return m_next; }

private:
    std::vector<std::vector<uint8_t>> m_pieces;
    std::set<size_t> m_unreadable;
    size_t m_next = 0;
};
