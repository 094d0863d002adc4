#include "app/previews/preview_choice.h"

#include <gtest/gtest.h>

namespace {

struct ChoiceCase {
    const char* name;
    uint64_t size;
    bool folder;
    PreviewViewer viewer;
};

TEST(PreviewChoice, ViewerByExtensionSizeAndKind) {
    const ChoiceCase cases[] = {
        {"photo.JPG", 1000, false, PreviewViewer::Picture},
        {"X.JPEG", kPreviewBufferLimit, false, PreviewViewer::Picture},
        {"X.JPEG", kPreviewBufferLimit + 1, false, PreviewViewer::Hex},
        {"a.wbmp", 10, false, PreviewViewer::Picture},
        {"letter.doc", 5000, false, PreviewViewer::Office},
        {"db.Mdb", kPreviewBufferLimit + 1, false, PreviewViewer::Hex},
        {"readme.TXT", 10, false, PreviewViewer::Text},
        {"README.txt", 10, false, PreviewViewer::Text},
        {"C", 10, false, PreviewViewer::Text},
        {"main.h", 10, false, PreviewViewer::Text},
        {"notes.txt..", 10, false, PreviewViewer::Text},
        {"pack.zip", uint64_t{5} << 30, false, PreviewViewer::Archive},
        {"old.RAR", 10, false, PreviewViewer::Archive},
        {"archive.tar.gz", 10, false, PreviewViewer::Hex},
        {"photo.jpg", 10, true, PreviewViewer::Hex},
        {"...", 10, false, PreviewViewer::Hex},
        {"", 0, false, PreviewViewer::Hex},
        {"zip", 10, false, PreviewViewer::Archive},
    };
    for (const ChoiceCase& c : cases)
        EXPECT_EQ(ChoosePreviewViewer(c.name, c.size, c.folder), c.viewer) << c.name;
}

TEST(PreviewChoice, ExtensionSkipsTrailingDotsAndTakesDotlessNamesWhole) {
    EXPECT_EQ(PreviewExtension("a.b.c"), "c");
    EXPECT_EQ(PreviewExtension("a.txt..."), "txt");
    EXPECT_EQ(PreviewExtension("Makefile"), "Makefile");
    EXPECT_EQ(PreviewExtension(".profile"), "profile");
}

TEST(PreviewChoice, CutNeverSplitsACharacter) {
    // "é" is two bytes: a cut at 2 would fall inside the second one.
    EXPECT_EQ(CutUtf8("a\xC3\xA9z", 2), "a");
    EXPECT_EQ(CutUtf8("a\xC3\xA9z", 3), "a\xC3\xA9");
    // A four-byte character at the cut.
    EXPECT_EQ(CutUtf8("ab\xF0\x9F\x98\x80", 5), "ab");
    EXPECT_EQ(CutUtf8("short", 259), "short");
    // Nothing but continuation bytes: nothing is kept rather than a broken character.
    EXPECT_EQ(CutUtf8("\x80\x80\x80\x80", 2), "");
}

} // namespace
