#include "tests/support/scan_harness.h"

#include "platform/text/utf_conversion.h"
#include "tests/support/fixture_image.h"

#include <algorithm>
#include <fstream>
#include <set>

std::string ScanKindName(const testing::TestParamInfo<ScanKind>& info) {
    return info.param == ScanKind::Advance ? "Advance" : "Standard";
}

ScanHarness::ScanHarness(const std::string& fixture, uint8_t partitionType, uint64_t rootId)
    : m_fixture(fixture), m_rootId(rootId) {
    m_environment.window = &m_window;
    m_environment.flags = &m_flags;
    m_window.SetHandler([this](JobMessage& message) -> intptr_t {
        if (m_observer)
            m_observer(message);
        const FoundItemPayload* payload = message.Get<FoundItemPayload>();
        if (payload == nullptr || payload->item == nullptr)
            return 0;
        if (message.id == WM_ADD_FOUND_ITEM) {
            m_tree.Add(*payload->item, payload->name);
            if (m_afterItem)
                m_afterItem(m_tree.Entries().size());
        } else if (message.id == WM_UPDATE_FOUND_ITEM) {
            m_updates.push_back({*payload->item, payload->name});
        }
        return 0;
    });
    if (fixture.empty())
        return;
    const std::filesystem::path image = UnpackFixture(fixture + ".img", m_dir);
    if (!image.empty())
        UseImage(image, partitionType);
}

ScanHarness::~ScanHarness() = default;

const std::filesystem::path& ScanHarness::Image() const {
    static const std::filesystem::path kNone;
    return m_drive ? m_drive->Image() : kNone;
}

void ScanHarness::UseImage(const std::filesystem::path& image, uint8_t partitionType) {
    m_drive.emplace(image, partitionType);
    m_environment.selectedDrive = &m_drive->Node();
}

std::filesystem::path ScanHarness::Companion(const std::string& suffix) const {
    return FixturesFolder() / (m_fixture + suffix);
}

void ScanHarness::MapImage() const {
    if (m_drive)
        m_drive->Map();
}

void ScanHarness::ApplyUpdates() {
    for (const SeenItem& update : m_updates)
        if (FoundTree::Entry* seen = m_tree.Find(update.item.entryId))
            *seen = update;
    m_updates.clear();
    m_paths.clear();
    for (const SeenItem& seen : Items()) {
        const std::optional<std::string> path = m_tree.PathOf(seen, m_rootId);
        m_paths.push_back(path ? *path : "<no parent>/" + Utf16ToUtf8(seen.name));
    }
}

const SeenItem* ScanHarness::ById(uint64_t id) const {
    return m_tree.Find(id);
}

const SeenItem* ScanHarness::FindByName(std::u16string_view name) const {
    for (const SeenItem& seen : Items())
        if (seen.name == name)
            return &seen;
    return nullptr;
}

const std::string& ScanHarness::PathOf(const SeenItem& seen) const {
    return m_paths.at(static_cast<size_t>(&seen - Items().data()));
}

const SeenItem* ScanHarness::Find(const std::string& path) const {
    for (size_t i = 0; i < m_paths.size(); ++i)
        if (m_paths[i] == path)
            return &Items()[i];
    return nullptr;
}

size_t ScanHarness::CountPath(const std::string& path) const {
    return static_cast<size_t>(std::count(m_paths.begin(), m_paths.end(), path));
}

bool LogHas(const RecordingJobWindow& window, std::u16string_view activity,
            std::u16string_view description) {
    for (const auto& [rowActivity, rowDescription, status, image] : window.LogLines())
        if (rowActivity == activity && rowDescription == description)
            return true;
    return false;
}

void ScanHarness::Patch(uint64_t offset, std::span<const uint8_t> bytes) {
    std::fstream file(Image(), std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file.good()) << "patching " << Image() << " at " << offset;
}

void ScanHarness::PatchU32(uint64_t offset, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    Patch(offset, bytes);
}

void ScanHarness::ZeroSector(uint64_t sector) {
    const std::vector<uint8_t> zeros(512, 0);
    Patch(sector * 512, zeros);
}

std::vector<uint8_t> ScanHarness::ReadImage(uint64_t offset, size_t length) const {
    std::vector<uint8_t> bytes(length);
    std::ifstream file(Image(), std::ios::binary);
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
    return file ? bytes : std::vector<uint8_t>{};
}

void ExpectUniqueIds(const ScanHarness& volume) {
    std::set<uint64_t> ids;
    for (const SeenItem& seen : volume.Items())
        EXPECT_TRUE(ids.insert(seen.item.entryId).second) << volume.PathOf(seen);
}
