#include "filesystems/carving/compound_document.h"

#include "filesystems/carving/raw_data_view.h"
#include "platform/text/byte_reader.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

namespace {

constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFirstSpecialSector = 0xFFFFFFFC;
constexpr uint32_t kNoEntry = 0xFFFFFFFF;
constexpr uint64_t kHeaderTableEntries = 109;
constexpr uint64_t kHeaderTableOffset = 76;
constexpr uint32_t kDirectoryEntryBytes = 128;
constexpr int kMaxDirectorySectors = 50;
// Streams shorter than this live in the mini stream; the kind checks pass them unread.
constexpr uint64_t kSmallStreamBytes = 4096;
constexpr size_t kSummaryBytes = 4096;
constexpr size_t kMaxSummaryName = 256;
constexpr uint32_t kPropertyTitle = 2;
constexpr uint32_t kTypeLpstr = 30;
constexpr uint32_t kTypeLpwstr = 31;

enum class EntryType : uint8_t {
    Empty = 0,
    Storage = 1,
    Stream = 2,
    Root = 5,
};

struct DirectoryEntry {
    std::u16string name;
    uint8_t type = 0;
    uint32_t left = kNoEntry;
    uint32_t right = kNoEntry;
    uint32_t child = kNoEntry;
    uint32_t start = kEndOfChain;
    uint64_t size = 0;
};

bool StartsWith(const std::u16string& name, std::u16string_view prefix) {
    return name.size() >= prefix.size() && name.compare(0, prefix.size(), prefix) == 0;
}

CompoundDocumentKind KindOfStream(const std::u16string& name) {
    if (StartsWith(name, u"Powe") || StartsWith(name, u"PP40"))
        return CompoundDocumentKind::PowerPoint;
    if (StartsWith(name, u"Word"))
        return CompoundDocumentKind::Word;
    if (StartsWith(name, u"Book") || StartsWith(name, u"Workbook"))
        return CompoundDocumentKind::Excel;
    return CompoundDocumentKind::Unknown;
}

// Reads a compound document through the view: sectors by index, allocation-table chains, the
// directory and the first bytes of streams. Every index is checked against the table's capacity
// before use; chains and hops are bounded.
class CompoundReader {
public:
    explicit CompoundReader(RawDataView& view) : m_view(view) {}

    CompoundDocumentInfo Size() {
        CompoundDocumentInfo info;
        if (!ReadHeader() || !ReadDirectory())
            return info;
        const std::optional<uint64_t> length = Length();
        if (!length || *length > m_view.Size())
            return info;
        info.length = *length;

        const DirectoryEntry* main = nullptr;
        info.kind = Kind(main);
        info.valid = main != nullptr && PassesCheck(info.kind, *main);
        info.summaryName = SummaryName();
        if (m_damaged)
            info.valid = false;
        return info;
    }

private:
    bool ReadHeader() {
        uint8_t signature[sizeof(kSignature)];
        uint16_t shift = 0, miniShift = 0;
        if (!m_view.Read(0, signature) ||
            std::memcmp(signature, kSignature, sizeof(kSignature)) != 0 ||
            !m_view.U16LE(30, shift) || !m_view.U16LE(32, miniShift) ||
            !m_view.U32LE(44, m_tableSectors) || !m_view.U32LE(48, m_firstDirectorySector) ||
            !m_view.U32LE(56, m_miniCutoff) || !m_view.U32LE(60, m_firstMiniTableSector) ||
            !m_view.U32LE(68, m_firstExtraIndexSector))
            return false;
        if (shift != 9 && shift != 12)
            return false;
        m_sectorBytes = uint32_t{1} << shift;
        m_entriesPerSector = m_sectorBytes / 4;
        if (miniShift == 0 || miniShift > shift)
            miniShift = 6;
        m_miniSectorBytes = uint32_t{1} << miniShift;
        // The table's sectors lie in the document, so they must fit in the view.
        if (m_tableSectors == 0 || m_tableSectors > m_view.Size() / m_sectorBytes)
            return false;
        m_capacity = uint64_t{m_tableSectors} * m_entriesPerSector;
        return true;
    }

    // True for an index that names a sector inside the table's capacity. An index at or above
    // it that is no special value means the document is damaged.
    bool Usable(uint32_t index) {
        if (index < m_capacity)
            return true;
        if (index < kFirstSpecialSector)
            m_damaged = true;
        return false;
    }

    bool SectorU32(uint32_t sector, uint64_t slot, uint32_t& value) {
        return m_view.U32LE((uint64_t{sector} + 1) * m_sectorBytes + slot * 4, value);
    }

    bool ReadSector(uint32_t sector, std::vector<uint8_t>& out) {
        out.resize(m_sectorBytes);
        return ReadCompoundSector(m_view, uint64_t{sector} + 1, out);
    }

    // The sector holding table sector `k`: one of the header's 109 indexes, else an entry of the
    // extra-index chain, whose sectors hold entries-per-sector - 1 indexes and the next one's.
    std::optional<uint32_t> TableSector(uint64_t k) {
        if (const auto known = m_tableSectorCache.find(k); known != m_tableSectorCache.end())
            return known->second;
        uint32_t sector = 0;
        if (k < kHeaderTableEntries) {
            if (!m_view.U32LE(kHeaderTableOffset + k * 4, sector))
                return std::nullopt;
        } else {
            const uint64_t perSector = m_entriesPerSector - 1;
            const uint64_t hops = (k - kHeaderTableEntries) / perSector;
            uint32_t extra = m_firstExtraIndexSector;
            std::set<uint32_t> visited;
            for (uint64_t hop = 0; hop < hops; ++hop) {
                if (!Usable(extra) || !visited.insert(extra).second ||
                    !SectorU32(extra, perSector, extra))
                    return std::nullopt;
            }
            if (!Usable(extra) || !SectorU32(extra, (k - kHeaderTableEntries) % perSector, sector))
                return std::nullopt;
        }
        if (!Usable(sector))
            return std::nullopt;
        m_tableSectorCache.emplace(k, sector);
        return sector;
    }

    // The next sector of a chain; nullopt at its end or on damage.
    std::optional<uint32_t> Next(uint32_t sector) {
        if (!Usable(sector))
            return std::nullopt;
        const std::optional<uint32_t> table = TableSector(sector / m_entriesPerSector);
        uint32_t next = 0;
        if (!table || !SectorU32(*table, sector % m_entriesPerSector, next))
            return std::nullopt;
        return next;
    }

    bool ReadDirectory() {
        uint32_t sector = m_firstDirectorySector;
        std::set<uint32_t> visited;
        std::vector<uint8_t> bytes;
        for (int read = 0; read < kMaxDirectorySectors && sector != kEndOfChain; ++read) {
            if (!Usable(sector) || !visited.insert(sector).second || !ReadSector(sector, bytes))
                break;
            for (uint32_t at = 0; at + kDirectoryEntryBytes <= bytes.size();
                 at += kDirectoryEntryBytes)
                m_entries.push_back(ParseEntry(std::span(bytes).subspan(at, kDirectoryEntryBytes)));
            const std::optional<uint32_t> next = Next(sector);
            if (!next)
                break;
            sector = *next;
        }
        return !m_entries.empty() && StartsWith(m_entries[0].name, u"Root");
    }

    // One 128-byte entry; an entry that cannot be read whole comes back empty.
    DirectoryEntry ParseEntry(std::span<const uint8_t> raw) const {
        const ByteReader reader(raw);
        DirectoryEntry entry;
        uint32_t lowSize = 0, highSize = 0;
        const bool whole = reader.ReadUtf16Field(0, 32, entry.name) &&
                           reader.ReadU8(66, entry.type) && reader.ReadU32(68, entry.left) &&
                           reader.ReadU32(72, entry.right) && reader.ReadU32(76, entry.child) &&
                           reader.ReadU32(116, entry.start) && reader.ReadU32(120, lowSize) &&
                           reader.ReadU32(124, highSize);
        if (!whole)
            return DirectoryEntry{};
        // The high half of the size is undefined in documents with 512-byte sectors.
        entry.size = m_sectorBytes == 512 ? lowSize : (uint64_t{highSize} << 32 | lowSize);
        return entry;
    }

    // n table sectors cover n x entries-per-sector sectors; the free entries at the end of the
    // last one are sectors the document does not have.
    std::optional<uint64_t> Length() {
        const std::optional<uint32_t> last = TableSector(m_tableSectors - 1);
        std::vector<uint8_t> table;
        if (!last || !ReadSector(*last, table))
            return std::nullopt;
        const ByteReader reader(table);
        uint64_t free = 0;
        for (uint64_t slot = m_entriesPerSector; slot > 0; --slot) {
            uint32_t entry = 0;
            if (!reader.ReadU32((slot - 1) * 4, entry) || entry != kFreeSector)
                break;
            ++free;
        }
        return (m_capacity - free) * m_sectorBytes + m_sectorBytes;
    }

    // The kind of the document and its main stream: from the streams right below the root
    // (an embedded document's streams lie deeper), else from any stream of the directory.
    CompoundDocumentKind Kind(const DirectoryEntry*& main) const {
        std::vector<size_t> top;
        std::vector<uint32_t> pending{m_entries[0].child};
        std::set<uint32_t> visited;
        while (!pending.empty()) {
            const uint32_t id = pending.back();
            pending.pop_back();
            if (id >= m_entries.size() || !visited.insert(id).second)
                continue;
            top.push_back(id);
            pending.push_back(m_entries[id].left);
            pending.push_back(m_entries[id].right);
        }
        std::vector<size_t> all(m_entries.size());
        for (size_t i = 0; i < all.size(); ++i)
            all[i] = i;

        for (const std::vector<size_t>* candidates : {&top, &all}) {
            for (CompoundDocumentKind kind :
                 {CompoundDocumentKind::PowerPoint, CompoundDocumentKind::Word,
                  CompoundDocumentKind::Excel}) {
                for (size_t id : *candidates) {
                    const DirectoryEntry& entry = m_entries[id];
                    if (entry.type == static_cast<uint8_t>(EntryType::Stream) &&
                        KindOfStream(entry.name) == kind) {
                        main = &entry;
                        return kind;
                    }
                }
            }
        }
        return CompoundDocumentKind::Unknown;
    }

    bool PassesCheck(CompoundDocumentKind kind, const DirectoryEntry& stream) {
        std::vector<uint8_t> start;
        switch (kind) {
        case CompoundDocumentKind::Word: {
            if (stream.size < kSmallStreamBytes)
                return true;
            uint16_t magic = 0;
            return ReadStream(stream, 2, start) && ByteReader(start).ReadU16(0, magic) &&
                   (magic == 0xA5DC || magic == 0xA5EC);
        }
        case CompoundDocumentKind::Excel: {
            if (stream.size < kSmallStreamBytes)
                return true;
            uint16_t record = 0;
            return ReadStream(stream, 2, start) && ByteReader(start).ReadU16(0, record) &&
                   record == 0x0809;
        }
        case CompoundDocumentKind::PowerPoint: {
            uint32_t magic = 0;
            return ReadStream(stream, 4, start) && ByteReader(start).ReadU32(0, magic) &&
                   (magic == 0x03E8000F || magic == 0x0BADDEED);
        }
        case CompoundDocumentKind::Unknown:
            break;
        }
        return false;
    }

    // The first `wanted` bytes of a stream (fewer when it is shorter), from the mini stream for
    // streams below the cutoff. False when a sector on the way cannot be reached.
    bool ReadStream(const DirectoryEntry& stream, size_t wanted, std::vector<uint8_t>& out) {
        out.clear();
        const size_t length = static_cast<size_t>(std::min<uint64_t>(stream.size, wanted));
        std::vector<uint8_t> piece;
        if (stream.size < m_miniCutoff) {
            uint32_t mini = stream.start;
            std::set<uint32_t> visited;
            while (out.size() < length) {
                if (!visited.insert(mini).second || !ReadMiniSector(mini, piece))
                    return false;
                out.insert(out.end(), piece.begin(), piece.end());
                const std::optional<uint32_t> next = NextMini(mini);
                if (!next)
                    break;
                mini = *next;
            }
        } else {
            uint32_t sector = stream.start;
            std::set<uint32_t> visited;
            while (out.size() < length) {
                if (!Usable(sector) || !visited.insert(sector).second || !ReadSector(sector, piece))
                    return false;
                out.insert(out.end(), piece.begin(), piece.end());
                const std::optional<uint32_t> next = Next(sector);
                if (!next)
                    break;
                sector = *next;
            }
        }
        if (out.size() < length)
            return false;
        out.resize(length);
        return true;
    }

    // The sectors of a chain read so far, so that stepping to its n-th sector again costs
    // nothing. A chain ends at a sector it has already visited.
    struct Chain {
        std::vector<uint32_t> sectors;
        std::set<uint32_t> seen;
        bool ended = false;
    };

    // Sector `index` of `chain`, which starts at `first`.
    std::optional<uint32_t> ChainSector(Chain& chain, uint32_t first, uint64_t index) {
        if (chain.sectors.empty() && !chain.ended) {
            if (Usable(first) && chain.seen.insert(first).second)
                chain.sectors.push_back(first);
            else
                chain.ended = true;
        }
        while (index >= chain.sectors.size() && !chain.ended) {
            const std::optional<uint32_t> next = Next(chain.sectors.back());
            if (next && Usable(*next) && chain.seen.insert(*next).second)
                chain.sectors.push_back(*next);
            else
                chain.ended = true;
        }
        if (index >= chain.sectors.size())
            return std::nullopt;
        return chain.sectors[static_cast<size_t>(index)];
    }

    // Mini sectors are stored in the root entry's stream.
    bool ReadMiniSector(uint32_t mini, std::vector<uint8_t>& out) {
        const uint64_t offset = uint64_t{mini} * m_miniSectorBytes;
        if (offset + m_miniSectorBytes > m_entries[0].size)
            return false;
        const std::optional<uint32_t> sector =
            ChainSector(m_miniStreamChain, m_entries[0].start, offset / m_sectorBytes);
        if (!sector)
            return false;
        out.resize(m_miniSectorBytes);
        return m_view.Read((uint64_t{*sector} + 1) * m_sectorBytes + offset % m_sectorBytes, out);
    }

    std::optional<uint32_t> NextMini(uint32_t mini) {
        const std::optional<uint32_t> table =
            ChainSector(m_miniTableChain, m_firstMiniTableSector, mini / m_entriesPerSector);
        uint32_t next = 0;
        if (!table || !SectorU32(*table, mini % m_entriesPerSector, next) || next == kEndOfChain)
            return std::nullopt;
        return next;
    }

    // The title property of the summary stream, when it has one as 8-bit or UTF-16 text.
    std::string SummaryName() {
        const auto summary = std::find_if(m_entries.begin(), m_entries.end(), [](const auto& e) {
            return e.type == static_cast<uint8_t>(EntryType::Stream) &&
                   StartsWith(e.name, u"\u0005Sum");
        });
        std::vector<uint8_t> bytes;
        if (summary == m_entries.end() || !ReadStream(*summary, kSummaryBytes, bytes))
            return {};
        const ByteReader reader(bytes);
        uint16_t byteOrder = 0;
        uint32_t sections = 0, section = 0, properties = 0;
        if (!reader.ReadU16(0, byteOrder) || byteOrder != 0xFFFE || !reader.ReadU32(24, sections) ||
            sections == 0 || !reader.ReadU32(44, section) ||
            !reader.ReadU32(section + 4, properties))
            return {};
        for (uint64_t i = 0; i < properties; ++i) {
            uint32_t id = 0, offset = 0, type = 0, count = 0;
            const uint64_t pair = section + 8 + i * 8;
            if (!reader.Contains(pair, 8))
                return {};
            if (!reader.ReadU32(pair, id) || !reader.ReadU32(pair + 4, offset) ||
                id != kPropertyTitle)
                continue;
            const uint64_t value = uint64_t{section} + offset;
            if (!reader.Contains(value, 8) || !reader.ReadU32(value, type) ||
                !reader.ReadU32(value + 4, count))
                return {};
            std::string name;
            for (uint64_t unit = 0; unit < count && name.size() < kMaxSummaryName; ++unit) {
                uint16_t character = 0;
                uint8_t byte = 0;
                if (type == kTypeLpstr && reader.ReadU8(value + 8 + unit, byte))
                    character = byte;
                else if (type != kTypeLpwstr || !reader.ReadU16(value + 8 + unit * 2, character))
                    break;
                if (character == 0)
                    break;
                name.push_back(character < 0x100 ? static_cast<char>(character) : '?');
            }
            return name;
        }
        return {};
    }

    RawDataView& m_view;
    uint32_t m_sectorBytes = 512;
    uint32_t m_entriesPerSector = 128;
    uint32_t m_miniSectorBytes = 64;
    uint32_t m_tableSectors = 0;
    uint32_t m_firstDirectorySector = 0;
    uint32_t m_miniCutoff = 4096;
    uint32_t m_firstMiniTableSector = kEndOfChain;
    uint32_t m_firstExtraIndexSector = kEndOfChain;
    uint64_t m_capacity = 0;
    bool m_damaged = false;
    std::vector<DirectoryEntry> m_entries;
    Chain m_miniStreamChain;
    Chain m_miniTableChain;
    std::unordered_map<uint64_t, uint32_t> m_tableSectorCache;
};

} // namespace

CompoundDocumentInfo SizeCompoundDocument(RawDataView& view) {
    return CompoundReader(view).Size();
}

bool ReadCompoundSector(RawDataView& view, uint64_t index, std::span<uint8_t> out) {
    if (!out.empty() && index <= view.Size() / out.size() && view.Read(index * out.size(), out))
        return true;
    std::fill(out.begin(), out.end(), uint8_t{0});
    return false;
}
