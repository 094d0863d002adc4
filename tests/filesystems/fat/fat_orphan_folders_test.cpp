#include "filesystems/fat/fat_orphan_folders.h"

#include "filesystems/fat/fat_found_folders.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <vector>

namespace {

constexpr uint64_t kLostFoldersId = 1;

// Places orphans as the scan does: a folder placed is sent with the next id and joins the found
// folders; the lost-folders item is counted.
class Placer {
public:
    explicit Placer(FatFoundFolders& found) : m_found(found) {
        m_placing.place = [this](uint64_t cluster, uint64_t parentId) {
            if (m_found.Contains(cluster))
                return;
            const uint64_t id = m_nextId++;
            m_sent.push_back({cluster, id, parentId});
            m_found.Add(cluster, id, parentId);
            if (m_onPlace)
                m_onPlace(cluster, id);
        };
        m_placing.sendLostFolders = [this] { ++m_lostFolders; };
        m_placing.stopped = [this] { return m_stopAfter != 0 && m_sent.size() >= m_stopAfter; };
        m_placing.lostFoldersId = kLostFoldersId;
    }

    const FatOrphanFolders::Placing& Placing() const { return m_placing; }
    const std::vector<FatFoundFolders::Folder>& Sent() const { return m_sent; }
    std::map<uint64_t, FatFoundFolders::Folder> ByCluster() const {
        std::map<uint64_t, FatFoundFolders::Folder> byCluster;
        for (const auto& folder : m_sent)
            byCluster[folder.firstCluster] = folder;
        return byCluster;
    }
    int LostFolders() const { return m_lostFolders; }
    void StopAfter(size_t count) { m_stopAfter = count; }
    void OnPlace(std::function<void(uint64_t, uint64_t)> onPlace) {
        m_onPlace = std::move(onPlace);
    }

private:
    FatFoundFolders& m_found;
    FatOrphanFolders::Placing m_placing;
    std::vector<FatFoundFolders::Folder> m_sent;
    uint64_t m_nextId = 1000;
    int m_lostFolders = 0;
    size_t m_stopAfter = 0;
    std::function<void(uint64_t, uint64_t)> m_onPlace;
};

// Orphans form chains and cycles among themselves; each goes below its parent when that is
// known by the time it is placed, and only chain heads go to the lost-folders item.
TEST(FatOrphanFoldersTest, LostFoldersFollowTheirParentLinks) {
    FatFoundFolders found;
    found.Add(100, 50, 0);
    FatOrphanFolders orphans;
    orphans.Add(10, 20);  // below 20, listed before it
    orphans.Add(20, 999); // parent unknown: a chain head
    orphans.Add(30, 100); // parent found before
    orphans.Add(40, 50);  // 40 and 50: a cycle
    orphans.Add(50, 40);
    Placer placer(found);
    orphans.PlaceAll(found, placer.Placing());

    EXPECT_EQ(placer.LostFolders(), 1);
    auto byCluster = placer.ByCluster();
    ASSERT_EQ(byCluster.size(), 5u);
    EXPECT_EQ(byCluster[20].parentId, kLostFoldersId);
    EXPECT_EQ(byCluster[10].parentId, byCluster[20].entryId);
    EXPECT_EQ(byCluster[30].parentId, 50u);
    EXPECT_EQ(byCluster[40].parentId, kLostFoldersId);
    EXPECT_EQ(byCluster[50].parentId, byCluster[40].entryId);
    // The names of these folders (their cluster numbers) and of the lost-folders item are the
    // scan's: the lost-folder fixture scans check them.
}

// A folder found while placing (by a walk) takes the orphans that name it; orphans a walk met
// under their parent are dropped from the list, the placing itself works on those it began
// with. With every parent found, no lost-folders item is sent.
TEST(FatOrphanFoldersTest, FoldersFoundWhilePlacingTakeTheirOrphans) {
    FatFoundFolders found;
    found.Add(100, 50, 0);
    FatOrphanFolders orphans;
    orphans.Add(60, 200); // 200 is found by walking 30
    orphans.Add(30, 100);
    Placer placer(found);
    placer.OnPlace([&](uint64_t cluster, uint64_t id) {
        if (cluster == 30) {
            found.Add(200, 77, id);
            orphans.Remove(60);
        }
    });
    const FatOrphanFolders& constOrphans = orphans;
    constOrphans.PlaceAll(found, placer.Placing());
    EXPECT_EQ(placer.LostFolders(), 0);
    auto byCluster = placer.ByCluster();
    ASSERT_EQ(byCluster.size(), 2u);
    EXPECT_EQ(byCluster[30].parentId, 50u);
    EXPECT_EQ(byCluster[60].parentId, 77u);
    EXPECT_EQ(orphans.All().size(), 1u);
}

// An orphan already found is not sent again and brings no lost-folders item; a stop ends the
// placing at once.
TEST(FatOrphanFoldersTest, FoundOrphansAndStops) {
    {
        FatFoundFolders found;
        found.Add(10, 5, 0);
        FatOrphanFolders orphans;
        orphans.Add(10, 999);
        Placer placer(found);
        orphans.PlaceAll(found, placer.Placing());
        EXPECT_EQ(placer.LostFolders(), 0);
        EXPECT_TRUE(placer.Sent().empty());
    }
    {
        FatFoundFolders found;
        FatOrphanFolders orphans;
        for (uint64_t cluster = 10; cluster < 20; ++cluster)
            orphans.Add(cluster, 5000 + cluster);
        Placer placer(found);
        placer.StopAfter(3);
        orphans.PlaceAll(found, placer.Placing());
        EXPECT_EQ(placer.Sent().size(), 3u);
        EXPECT_EQ(placer.LostFolders(), 1);
    }
    FatOrphanFolders empty;
    EXPECT_TRUE(empty.Empty());
    FatFoundFolders found;
    Placer placer(found);
    empty.PlaceAll(found, placer.Placing());
    EXPECT_EQ(placer.LostFolders(), 0);
}

TEST(FatFoundFoldersTest, EachClusterOnceInTheOrderAdded) {
    FatFoundFolders found;
    found.Add(7, 2, 0);
    found.Add(9, 3, 2);
    found.Add(7, 4, 3); // the cluster is held: ignored
    ASSERT_EQ(found.Size(), 2u);
    EXPECT_EQ(found[0].firstCluster, 7u);
    EXPECT_EQ(found[1].entryId, 3u);
    ASSERT_NE(found.Find(7), nullptr);
    EXPECT_EQ(found.Find(7)->entryId, 2u);
    EXPECT_EQ(found.Find(9)->parentId, 2u);
    EXPECT_EQ(found.Find(8), nullptr);
    EXPECT_TRUE(found.Contains(9));
    found.Clear();
    EXPECT_FALSE(found.Contains(7));
    EXPECT_EQ(found.Size(), 0u);
}

} // namespace
