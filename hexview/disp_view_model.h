#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The hex display without a window: the view position (sector s, row r), the caret in
// half-bytes, the selection, the scroll table, the byte under a point and the rows to paint.
// The widget only paints what it is told and feeds keys, clicks and scroll codes in.
//
// Position: the first byte shown is s x 512 + r x 16, s from 0 to the last scroll position,
// r from 0 to 32 (row 32 of sector s shows what row 0 of sector s + 1 does). Cells have fixed
// widths, so hit tests hold for any monospace font.
class DispViewModel {
public:
    static constexpr int kHeaderHeight = 20;
    static constexpr int kRowHeight = 20;
    static constexpr int kAddressRight = 100;
    static constexpr int kHexLeft = 100;
    static constexpr int kHexCellWidth = 20;
    static constexpr int kHexRight = kHexLeft + 16 * kHexCellWidth; // 420
    static constexpr int kTextLeft = 430;
    static constexpr int kTextCellWidth = 7;
    static constexpr int kTextRight = kTextLeft + 16 * kTextCellWidth; // 542
    static constexpr int kLastRow = 32;
    static constexpr uint32_t kSectorBytes = 512;
    static constexpr uint32_t kBufferBytes = 1024;

    enum class Scroll {
        LineUp,
        LineDown,
        PageUp,
        PageDown,
        Top,
        Bottom,
    };
    enum class Key {
        Left,
        Right,
        Up,
        Down,
        PageUp,
        PageDown,
    };

    // One painted row: its address and where its bytes lie in the 1024-byte buffer.
    struct Row {
        uint64_t address = 0;
        uint32_t bufferOffset = 0;
        uint32_t count = 0;
    };

    DispViewModel(uint64_t size, uint64_t lastPosition);

    uint64_t Size() const { return m_size; }
    uint64_t LastPosition() const { return m_last; }
    uint64_t Sector() const { return m_sector; }
    int RowIndex() const { return m_row; }
    // Sets both, each clamped to its range.
    void SetPosition(uint64_t sector, int row);
    void ScrollBy(Scroll code);

    // The bytes the buffer holds for the shown position: 1024 while two whole sectors remain,
    // then fewer, 0 past the end; never a byte at or past the size.
    uint32_t ShownBytes() const;
    // The sectors to read for the shown bytes (0 to 2).
    uint32_t SectorsToRead() const;
    // The rows that fit a client area of `clientHeight` pixels.
    std::vector<Row> VisibleRows(int clientHeight) const;

    // The scroll bar: a value 0 to ScrollMaximum() for the sector position, scaled when the
    // sectors outnumber what an int holds.
    int ScrollMaximum() const;
    int ScrollValue() const;
    // Thumb tracking: the sector the value stands for.
    void SetScrollValue(int value);

    // Going to a byte offset: row r of sector s first, the caret on the offset's high nibble.
    void GoToOffset(uint64_t offset);

    // The byte under (x, y): only within the hex cells [100, 420) and the text cells
    // [430, 542) of a data row inside the client area, and only below the size.
    std::optional<uint64_t> HitTest(int x, int y, int clientHeight) const;
    // A left-button press: the caret goes to the byte under the point, its low nibble when
    // the point is 7 pixels or more into the byte's hex cell. False when no byte is there.
    bool Press(int x, int y, int clientHeight);

    // A key: moves the caret only (within 0 to twice the size); with Shift the selection
    // follows it.
    void KeyDown(Key key, bool shift);

    int64_t Caret() const { return m_caret; }
    int64_t SelectionStart() const { return m_selectionStart; }
    int64_t SelectionEnd() const { return m_selectionEnd; }
    bool Selected(uint64_t address) const;
    // The values of the offset statics: the caret's byte and its sector.
    uint64_t CaretByte() const { return static_cast<uint64_t>(m_caret) / 2; }
    uint64_t CaretSector() const { return static_cast<uint64_t>(m_caret) / 1024; }

    // "%010x" of an address; "%02X" of a byte; the text column's character: the byte as
    // Windows-1252, "." for 16 and below and for the five bytes that code page leaves undefined.
    static std::string AddressText(uint64_t address);
    static std::string HexText(uint8_t byte);
    static char16_t TextChar(uint8_t byte);

private:
    uint64_t m_size = 0;
    uint64_t m_last = 0;
    uint64_t m_sector = 0;
    int m_row = 0;
    int64_t m_caret = 0;
    int64_t m_selectionStart = -1;
    int64_t m_selectionEnd = -1;
};
