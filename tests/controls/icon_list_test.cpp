#include "controls/icon_list.h"
#include "controls/icon_source.h"

#include "controls/program_pictures.h"

#include <QImage>

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

// Counts the questions per extension; answers with a picture of one colour, or with none for
// ".none".
class CountingSource : public IconSource {
public:
    explicit CountingSource(std::map<QString, int>* asked) : m_asked(asked) {}

    FileTypePictures Fetch(const QString& extension) override {
        ++(*m_asked)[extension];
        if (extension == ".none") {
            return {};
        }
        QPixmap small(16, 16);
        small.fill(Qt::magenta);
        QPixmap large(32, 32);
        large.fill(Qt::magenta);
        return {small, large, "Test file"};
    }

private:
    std::map<QString, int>* m_asked;
};

class IconListTest : public ::testing::Test {
protected:
    std::map<QString, int> m_asked;
    CIconList m_list{std::make_unique<CountingSource>(&m_asked)};
};

struct RowCase {
    const char* name;
    uint32_t attributes;
    bool deleted;
    int expected;
};

TEST_F(IconListTest, StandardRowsGetTheStandardPictures) {
    const RowCase cases[] = {
        {"Documents", CIconList::kDirectoryAttribute, false, CIconList::kFolder},
        {"Old.stuff", CIconList::kDirectoryAttribute | 0x20, true, CIconList::kDeletedFolder},
        {"letter.doc", 0x20, true, CIconList::kDeletedFile},
        {"README", 0x20, false, CIconList::kGenericFile},
        {"", 0, false, CIconList::kGenericFile},
    };
    for (const RowCase& c : cases) {
        EXPECT_EQ(m_list.GetIconIndex(c.name, c.attributes, c.deleted), c.expected) << c.name;
    }
    EXPECT_TRUE(m_asked.empty());
    EXPECT_EQ(m_list.Count(), 4);
}

TEST_F(IconListTest, ANameWithoutADotIsNotGivenAnExtensionsPicture) {
    const int doc = m_list.GetIconIndex("a.doc", 0, false);
    EXPECT_EQ(doc, 4);
    EXPECT_EQ(m_list.GetIconIndex("Makefile", 0, false), CIconList::kGenericFile);
}

TEST_F(IconListTest, EachExtensionIsAskedOnceAndComparedExactly) {
    EXPECT_EQ(m_list.GetIconIndex("a.doc", 0, false), 4);
    EXPECT_EQ(m_list.GetIconIndex("b.doc", 0, false), 4);
    EXPECT_EQ(m_list.GetIconIndex("C.DOC", 0, false), 5);
    EXPECT_EQ(m_list.GetIconIndex("archive.tar.gz", 0, false), 6);
    EXPECT_EQ(m_list.GetIconIndex(".bashrc", 0, false), 7);
    EXPECT_EQ(m_asked,
              (std::map<QString, int>{{".doc", 1}, {".DOC", 1}, {".gz", 1}, {".bashrc", 1}}));
    EXPECT_EQ(m_list.Lookup(".gz"), 6);
    EXPECT_EQ(m_list.Lookup(".GZ"), -1);
    EXPECT_EQ(m_list.SmallPicture(4).toImage().pixelColor(8, 8), QColor(Qt::magenta));
    EXPECT_EQ(m_list.LargePicture(4).size(), QSize(32, 32));

    m_list.Reset();
    EXPECT_EQ(m_list.Count(), 4);
    EXPECT_EQ(m_list.Lookup(".doc"), -1);
    EXPECT_EQ(m_list.GetIconIndex("a.doc", 0, false), 4);
    EXPECT_EQ(m_asked[".doc"], 2);
}

TEST_F(IconListTest, StandardPicturesComeFromTheListStrips) {
    const std::pair<int, int> standard[] = {{CIconList::kFolder, 2},
                                            {CIconList::kDeletedFolder, 3},
                                            {CIconList::kDeletedFile, 1},
                                            {CIconList::kGenericFile, 0}};
    for (const auto& [index, strip] : standard) {
        EXPECT_EQ(m_list.SmallPicture(index).toImage(),
                  StripPicture(PictureStrip::ListSmall, strip).toImage())
            << index;
        EXPECT_EQ(m_list.LargePicture(index).toImage(),
                  StripPicture(PictureStrip::ListLarge, strip).toImage())
            << index;
    }
    EXPECT_TRUE(m_list.SmallPicture(4).isNull());
    EXPECT_TRUE(m_list.SmallPicture(-1).isNull());
}

TEST_F(IconListTest, ATypeWithoutAPictureShowsTheGenericFile) {
    const int index = m_list.GetIconIndex("x.none", 0, false);
    EXPECT_EQ(index, 4);
    EXPECT_EQ(m_list.SmallPicture(index).toImage(),
              m_list.SmallPicture(CIconList::kGenericFile).toImage());
}

TEST_F(IconListTest, ArbitraryNamesCannotGrowTheTableWithoutBound) {
    const QString longExtension = "x." + QString(CIconList::kMaxExtensionLength, 'a');
    EXPECT_EQ(m_list.GetIconIndex(longExtension, 0, false), CIconList::kGenericFile);
    for (int i = 0; m_list.Count() < CIconList::kMaxPictures; ++i) {
        m_list.GetIconIndex(QString("f.%1").arg(i), 0, false);
    }
    EXPECT_EQ(m_list.GetIconIndex("one.more", 0, false), CIconList::kGenericFile);
    EXPECT_EQ(m_list.Count(), CIconList::kMaxPictures);
    EXPECT_EQ(m_list.GetIconIndex("again.0", 0, false), 4) << "known extensions still answer";
}

TEST(DesktopIconSourceTest, AlwaysGivesPicturesOfBothSizes) {
    DesktopIconSource source;
    for (const char* extension : {".txt", ".zzqqunknown", "."}) {
        const FileTypePictures pictures = source.Fetch(extension);
        EXPECT_FALSE(pictures.small.isNull()) << extension;
        EXPECT_FALSE(pictures.large.isNull()) << extension;
        EXPECT_LE(pictures.small.width(), 16) << extension;
        EXPECT_LE(pictures.large.width(), 32) << extension;
    }
}

TEST(DesktopIconSourceTest, CommonTypesShowTheirOwnPicturesWithoutADesktop) {
    // Offscreen no desktop names a theme: the installed one gives each type its picture.
    DesktopIconSource source;
    const QImage generic = StripPicture(PictureStrip::ListSmall, 0).toImage();
    std::vector<QImage> seen;
    for (const char* extension : {".jpg", ".doc", ".zip", ".txt"}) {
        const QImage small = source.Fetch(extension).small.toImage();
        EXPECT_NE(small, generic) << extension;
        for (const QImage& other : seen)
            EXPECT_NE(small, other) << extension;
        seen.push_back(small);
    }
}

} // namespace
