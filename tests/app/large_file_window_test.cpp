// A scan that meets a live file above the large-file size shows the large-file progress while
// it follows the file's chain, through the real window.
#include "app/dialogs/common/updating_list_dlg.h"
#include "filesystems/fat/fat_file_system.h"
#include "tests/app/frame_test_harness.h"
#include "tests/support/fixture_image.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"

#include <QProgressBar>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// FAT16 of 32 MiB or more.
constexpr uint8_t kFat16BigPartition = 6;

std::filesystem::path BuildLargeFileVolume(const TempDir& into) {
    const std::filesystem::path image = into.Path() / "fat16_large_file.img";
    const std::string script = (FixturesFolder() / "make_fat_large_file.sh").string();
    if (RunCommand("sh " + ShellQuote(script) + " " + ShellQuote(image.string())) != 0) {
        return {};
    }
    return image;
}

class LargeFileWindowTest : public WindowTest {};

TEST_F(LargeFileWindowTest, AdvanceScanShowsTheProgressWhileItFollowsTheChain) {
    MappedFixture fixture(BuildLargeFileVolume, kFat16BigPartition);
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(StartScan(fixture, true));
    bool shown = false;
    int maximum = 0;
    int highest = 0;
    ASSERT_TRUE(RunEventsUntil(
        [&] {
            if (CUpdatingListDlg* dialog = frame.LargeFileDialog()) {
                shown = shown || dialog->isVisible();
                maximum = dialog->Progress()->maximum();
                highest = std::max(highest, dialog->Progress()->value());
            }
            return !runner.IsRunning();
        },
        kJobTimeoutMs));
    // The scan ended: the handlers showed the dialog and returned, no nested loop held it.
    EXPECT_TRUE(shown);
    ASSERT_NE(state.FatVolume(), nullptr);
    const uint64_t cluster = state.FatVolume()->BytesPerCluster();
    ASSERT_GT(cluster, 0u);
    EXPECT_EQ(static_cast<uint64_t>(maximum), (22020096 + cluster - 1) / cluster);
    EXPECT_GT(highest, 0);
    // Closed by the scan's last large-file message.
    EXPECT_EQ(frame.LargeFileDialog(), nullptr);
    bool foundAfter = false;
    for (std::size_t i = 0; i < frame.Store().Size(); ++i) {
        foundAfter = foundAfter || frame.Store().At(i).name == u"AFTER.TXT";
    }
    EXPECT_TRUE(foundAfter) << "the scan goes on after the large file";
}

} // namespace
