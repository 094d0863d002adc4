// Volumes the lost-drive search reports go below the drive that holds them, whatever the user
// has selected meanwhile, and stay there when the tree is filled again.

#include "app/views/disk_tree_ctrl.h"

#include "app/views/drive_tree_layout.h"
#include "controls/program_pictures.h"
#include "tests/support/drive_nodes.h"

#include <QImage>
#include <QTreeWidgetItem>

#include <gtest/gtest.h>

#include <list>
#include <map>
#include <string>

namespace {

// Each drive item's node by the node of the drive item it hangs below (null: a group).
std::map<const DriveNode*, const DriveNode*> Placement(const CDiskTreeCtrl& tree,
                                                       const std::list<DriveNode>& nodes) {
    std::map<const DriveNode*, const DriveNode*> placement;
    for (QTreeWidgetItemIterator it(const_cast<CDiskTreeCtrl*>(&tree)); *it != nullptr; ++it) {
        if (const DriveNode* node = CDiskTreeCtrl::NodeOf(*it, nodes)) {
            placement[node] = CDiskTreeCtrl::NodeOf((*it)->parent(), nodes);
        }
    }
    return placement;
}

QImage IconImage(const QTreeWidgetItem& item) {
    return item.icon(0).pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

class DiskTreeAddDriveItemTest : public ::testing::Test {
protected:
    DiskTreeAddDriveItemTest() {
        nodes = {DiskNode(0x80), DiskNode(0x81),
                 DiskNode(20, DriveKind::DiskImage, u"/images/usb.img")};
        tree.Fill(nodes);
    }

    // The search's copy joins the list, then the tree shows it.
    QTreeWidgetItem* Add(const DriveNode& found) {
        nodes.push_back(found);
        return tree.AddDriveItem(nodes.back(), nodes);
    }
    const DriveNode& At(std::size_t index) const { return *std::next(nodes.begin(), index); }

    std::list<DriveNode> nodes;
    CDiskTreeCtrl tree;
};

TEST_F(DiskTreeAddDriveItemTest, AVolumeGoesBelowItsDiskNotBelowTheSelection) {
    QTreeWidgetItem* first = tree.ItemOf(At(0));
    QTreeWidgetItem* second = tree.ItemOf(At(1));
    ASSERT_TRUE(first != nullptr && second != nullptr);
    tree.setCurrentItem(first);
    EXPECT_FALSE(second->isExpanded());

    QTreeWidgetItem* item = Add(FoundVolumeNode(30, 0x81, u"Standard drive 1 (NTFS : 12.34 GB)"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->parent(), second);
    EXPECT_TRUE(second->isExpanded());
    EXPECT_EQ(first->childCount(), 0);
    EXPECT_EQ(item->text(0), QStringLiteral("Standard drive 1 (NTFS : 12.34 GB)"));
    EXPECT_EQ(IconImage(*item), QIcon(StripPicture(PictureStrip::DriveTree, 3))
                                    .pixmap(16, 16)
                                    .toImage()
                                    .convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(CDiskTreeCtrl::NodeOf(item, nodes), &nodes.back());
    EXPECT_EQ(tree.currentItem(), first);
}

TEST_F(DiskTreeAddDriveItemTest, AVolumeInsideAnImageGoesBelowTheImage) {
    QTreeWidgetItem* image = tree.ItemOf(At(2));
    ASSERT_NE(image, nullptr);
    // Its disk number would name the first disk; the image path wins.
    QTreeWidgetItem* item = Add(FoundVolumeNode(30, 0x80, u"Advance drive 1", u"/images/usb.img"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->parent(), image);
    EXPECT_TRUE(image->isExpanded());
}

TEST_F(DiskTreeAddDriveItemTest, AVolumeWithoutItsDriveShownIsNotAddedNorAddedTwice) {
    const int before = static_cast<int>(Placement(tree, nodes).size());
    EXPECT_EQ(Add(FoundVolumeNode(30, 0x85, u"Lost")), nullptr);
    EXPECT_EQ(Add(FoundVolumeNode(31, 0x80, u"Lost", u"/images/other.img")), nullptr);
    EXPECT_EQ(static_cast<int>(Placement(tree, nodes).size()), before);

    QTreeWidgetItem* item = Add(FoundVolumeNode(32, 0x80, u"Standard drive 1"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(tree.AddDriveItem(nodes.back(), nodes), item);
    EXPECT_EQ(item->parent()->childCount(), 1);
}

TEST_F(DiskTreeAddDriveItemTest, AFillAfterwardsPlacesTheVolumesAlike) {
    tree.setCurrentItem(tree.ItemOf(At(2)));
    Add(FoundVolumeNode(30, 0x81, u"Standard drive 1"));
    Add(FoundVolumeNode(31, 0x80, u"Standard drive 2"));
    Add(FoundVolumeNode(32, 0x80, u"Advance drive 3", u"/images/usb.img"));
    const auto added = Placement(tree, nodes);
    ASSERT_EQ(added.size(), nodes.size());
    tree.Fill(nodes);
    EXPECT_EQ(Placement(tree, nodes), added);
    for (const DriveNode* holder : {&At(0), &At(1), &At(2)}) {
        EXPECT_TRUE(tree.ItemOf(*holder)->isExpanded());
    }
}

} // namespace
