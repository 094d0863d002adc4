#include "hexview/disp_view_model.h"

#include "platform/text/disk_text_decoding.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace {

constexpr int kPageRows = 5;
constexpr uint64_t kIntMax = static_cast<uint64_t>(INT_MAX);

} // namespace

DispViewModel::DispViewModel(uint64_t size, uint64_t lastPosition)
    : m_size(std::min<uint64_t>(size, INT64_MAX / 2)), m_last(lastPosition) {}

void DispViewModel::SetPosition(uint64_t sector, int row) {
    m_sector = std::min(sector, m_last);
    m_row = std::clamp(row, 0, kLastRow);
}

void DispViewModel::ScrollBy(Scroll code) {
    switch (code) {
    case Scroll::LineUp:
        if (m_row > 0) {
            --m_row;
        } else if (m_sector > 0) {
            --m_sector;
            m_row = kLastRow;
        }
        break;
    case Scroll::LineDown:
        if (m_row < kLastRow) {
            ++m_row;
        } else if (m_sector < m_last) {
            ++m_sector;
            m_row = 0;
        }
        break;
    case Scroll::PageUp:
        if (m_row >= kPageRows) {
            m_row -= kPageRows;
        } else if (m_sector > 0) {
            --m_sector;
            m_row += kLastRow - kPageRows;
        }
        break;
    case Scroll::PageDown:
        if (m_row < kLastRow - kPageRows) {
            m_row += kPageRows;
        } else if (m_sector < m_last) {
            ++m_sector;
            m_row += kPageRows - kLastRow;
        }
        break;
    case Scroll::Top:
        m_sector = 0;
        break;
    case Scroll::Bottom:
        m_sector = m_last;
        break;
    }
}

uint32_t DispViewModel::ShownBytes() const {
    if (m_sector > m_size / kSectorBytes)
        return 0;
    const uint64_t start = m_sector * kSectorBytes;
    return static_cast<uint32_t>(std::min<uint64_t>(m_size - start, kBufferBytes));
}

uint32_t DispViewModel::SectorsToRead() const {
    const uint32_t bytes = ShownBytes();
    return (bytes + kSectorBytes - 1) / kSectorBytes;
}

std::vector<DispViewModel::Row> DispViewModel::VisibleRows(int clientHeight) const {
    std::vector<Row> rows;
    const uint32_t shown = ShownBytes();
    const uint64_t base = m_sector * kSectorBytes;
    for (uint32_t offset = static_cast<uint32_t>(m_row) * 16; offset < shown; offset += 16) {
        const int top = kHeaderHeight + static_cast<int>(rows.size()) * kRowHeight;
        if (top >= clientHeight)
            break;
        rows.push_back(Row{base + offset, offset, std::min<uint32_t>(16, shown - offset)});
    }
    return rows;
}

int DispViewModel::ScrollMaximum() const {
    return static_cast<int>(std::min(m_last, kIntMax));
}

int DispViewModel::ScrollValue() const {
    if (m_last <= kIntMax)
        return static_cast<int>(m_sector);
    return static_cast<int>(static_cast<unsigned __int128>(m_sector) * kIntMax / m_last);
}

void DispViewModel::SetScrollValue(int value) {
    const uint64_t v = static_cast<uint64_t>(std::clamp(value, 0, ScrollMaximum()));
    if (m_last <= kIntMax)
        m_sector = v;
    else
        m_sector = static_cast<uint64_t>(static_cast<unsigned __int128>(v) * m_last / kIntMax);
}

void DispViewModel::GoToOffset(uint64_t offset) {
    offset = std::min(offset, m_size);
    SetPosition(offset / kSectorBytes, static_cast<int>((offset % kSectorBytes) / 16));
    m_caret = static_cast<int64_t>(offset * 2);
}

std::optional<uint64_t> DispViewModel::HitTest(int x, int y, int clientHeight) const {
    if (y < kHeaderHeight || y >= clientHeight)
        return std::nullopt;
    uint64_t column = 0;
    if (x >= kHexLeft && x < kHexRight)
        column = static_cast<uint64_t>((x - kHexLeft) / kHexCellWidth);
    else if (x >= kTextLeft && x < kTextRight)
        column = static_cast<uint64_t>((x - kTextLeft) / kTextCellWidth);
    else
        return std::nullopt;
    const uint64_t row = static_cast<uint64_t>((y - kHeaderHeight) / kRowHeight);
    if (m_sector > (UINT64_MAX - 1024) / kSectorBytes)
        return std::nullopt;
    const uint64_t byte =
        m_sector * kSectorBytes + static_cast<uint64_t>(m_row) * 16 + row * 16 + column;
    if (byte >= m_size)
        return std::nullopt;
    return byte;
}

bool DispViewModel::Press(int x, int y, int clientHeight) {
    const std::optional<uint64_t> byte = HitTest(x, y, clientHeight);
    if (!byte)
        return false;
    const int cellLeft = kHexLeft + kHexCellWidth * static_cast<int>(*byte % 16);
    m_caret = static_cast<int64_t>(*byte * 2) + (x >= cellLeft + 7 ? 1 : 0);
    return true;
}

void DispViewModel::KeyDown(Key key, bool shift) {
    const int64_t z = static_cast<int64_t>(m_size) * 2;
    const int64_t before = m_caret;
    int64_t after = m_caret;
    switch (key) {
    case Key::Left:
        after = std::max<int64_t>(0, m_caret - 1);
        break;
    case Key::Right:
        after = m_caret + 1 > z - 2 ? z : m_caret + 1;
        break;
    case Key::Up:
        if (m_caret - 32 >= 0)
            after = m_caret - 32;
        break;
    case Key::Down:
        if (m_caret + 32 <= z - 2)
            after = m_caret + 32;
        break;
    case Key::PageUp:
        if (m_caret - 1024 >= 0)
            after = m_caret - 1024;
        break;
    case Key::PageDown:
        if (m_caret + 1024 <= z - 2)
            after = m_caret + 1024;
        break;
    }
    m_caret = after;
    if (shift) {
        const int64_t b = before / 2;
        const int64_t n = after / 2;
        if (b == m_selectionEnd) {
            m_selectionEnd = n;
        } else if (b == m_selectionStart) {
            m_selectionStart = n;
        } else {
            m_selectionStart = b;
            m_selectionEnd = n;
        }
    }
}

bool DispViewModel::Selected(uint64_t address) const {
    if (m_selectionStart < 0 || m_selectionEnd < 0)
        return false;
    const auto low = static_cast<uint64_t>(std::min(m_selectionStart, m_selectionEnd));
    const auto high = static_cast<uint64_t>(std::max(m_selectionStart, m_selectionEnd));
    return address >= low && address <= high;
}

std::string DispViewModel::AddressText(uint64_t address) {
    char text[24];
    std::snprintf(text, sizeof text, "%010llx", static_cast<unsigned long long>(address));
    return text;
}

std::string DispViewModel::HexText(uint8_t byte) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

char16_t DispViewModel::TextChar(uint8_t byte) {
    const char16_t character = DecodeWindows1252Byte(byte);
    // An undefined byte decodes to a control, which no font draws.
    if (byte <= 16 || (character >= 0x80 && character < 0xA0))
        return u'.';
    return character;
}
