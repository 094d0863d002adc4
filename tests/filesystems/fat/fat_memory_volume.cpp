#include "tests/filesystems/fat/fat_memory_volume.h"

#include "diskio/sources/sector_source.h"
#include "tests/support/fixture_image.h"
#include "tests/support/temp_dir.h"

#include <algorithm>
#include <fstream>
#include <iterator>

FatMemoryVolume::FatMemoryVolume(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {
    m_environment.window = &m_window;
    m_environment.flags = &m_flags;
    m_window.SetHandler([this](JobMessage& message) -> intptr_t {
        if (message.id == WM_ADD_FOUND_ITEM)
            if (const FoundItemPayload* payload = message.Get<FoundItemPayload>())
                m_items.push_back({*payload->item, payload->name});
        return 0;
    });
}

std::vector<uint8_t> FatMemoryVolume::FixtureBytes(const std::string& name) {
    TempDir dir;
    const std::filesystem::path image = UnpackFixture(name + ".img", dir);
    if (image.empty())
        return {};
    std::ifstream in(image, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

CFatFileSystem& FatMemoryVolume::SetUp(uint8_t partitionType) {
    m_items.clear();
    m_window.Clear();
    m_reader = std::make_unique<CFatFileSystem>(m_environment);
    SectorSource source = SectorSource::ForMemory(m_bytes);
    source.SetVolume(0, m_bytes.size() / SectorSource::kSectorBytes);
    m_reader->SetVolumeFromSource(source, partitionType);
    return *m_reader;
}

std::vector<std::u16string> FatMemoryVolume::FileNames() const {
    std::vector<std::u16string> names;
    for (const SentItem& sent : m_items)
        if (!sent.item.IsFolder())
            names.push_back(sent.name);
    std::sort(names.begin(), names.end());
    return names;
}

bool FatMemoryVolume::Logged(const std::u16string& text) const {
    for (const auto& [activity, description, status, image] : m_window.LogLines())
        if (activity == text || description == text || status == text)
            return true;
    return false;
}
