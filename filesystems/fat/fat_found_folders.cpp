#include "filesystems/fat/fat_found_folders.h"

void FatFoundFolders::Clear() {
    m_folders.clear();
    m_index.clear();
}

void FatFoundFolders::Add(uint64_t firstCluster, uint64_t entryId, uint64_t parentId) {
    if (Contains(firstCluster))
        return;
    m_index.emplace(firstCluster, m_folders.size());
    m_folders.push_back({firstCluster, entryId, parentId});
}

const FatFoundFolders::Folder* FatFoundFolders::Find(uint64_t firstCluster) const {
    const auto it = m_index.find(firstCluster);
    if (it == m_index.end() || it->second >= m_folders.size())
        return nullptr;
    return &m_folders[it->second];
}
