#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

// The folders a scan has sent, in the order sent, each looked up by its first cluster: a
// folder's cluster is sent once, whatever points at it.
class FatFoundFolders {
public:
    struct Folder {
        uint64_t firstCluster = 0;
        uint64_t entryId = 0;
        uint64_t parentId = 0;
    };

    void Clear();
    // Ignored when a folder of that first cluster is held already.
    void Add(uint64_t firstCluster, uint64_t entryId, uint64_t parentId);
    bool Contains(uint64_t firstCluster) const { return m_index.count(firstCluster) != 0; }
    // The folder of a first cluster, or null.
    const Folder* Find(uint64_t firstCluster) const;
    size_t Size() const { return m_folders.size(); }
    // In the order added.
    const Folder& operator[](size_t index) const { return m_folders[index]; }

private:
    std::vector<Folder> m_folders;
    std::unordered_map<uint64_t, size_t> m_index; // first cluster -> m_folders
};
