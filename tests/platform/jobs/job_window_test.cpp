#include "platform/jobs/job_runner.h"
#include "platform/jobs/job_window.h"

#include "tests/support/recording_job_window.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(JobMessagesTest, IdsKeepTheirNumbers) {
    EXPECT_EQ(WM_IMAGE_START, 0x419u);
    EXPECT_EQ(WM_IMAGE_DONE, 0x41Au);
    EXPECT_EQ(WM_SECTORMAP_READING, 0x41Cu);
    EXPECT_EQ(WM_SECTORMAP_DONE, 0x41Du);
    EXPECT_EQ(WM_SECTORMAP_FAILED, 0x41Eu);
    const uint32_t frameMessages[] = {
        WM_ADD_FOUND_ITEM,   WM_CREATE_PROGRESS,    WM_STEP_PROGRESS,    WM_DESTROY_PROGRESS,
        WM_SET_PANE_WIDTHS,  WM_SET_PROGRESS_TEXT,  WM_SET_STATUS_TEXT1, WM_SET_STATUS_TEXT2,
        WM_ADD_LOG_LINE,     WM_UPDATE_FOUND_ITEM,  WM_APPLY_ITEM_NAMES, WM_COLLAPSE_ROOT,
        WM_GET_CHILD_ITEMS,  WM_SET_FOLDER_CHECK,   WM_SET_FILE_CHECK,   WM_SCAN_TOTALS,
        WM_CREATE_PROGRESS2, WM_WRITE_TREE_TO_FILE, WM_ADD_TREE_ROOT,    WM_RESET_SCAN,
        WM_SEARCH_ENDED,     WM_ADD_DRIVE_ITEM,     WM_APPLY_MASK_STEP,  WM_CLEAR_VIEWS,
        WM_SAVE_SELECTION,   WM_NOTHING_FOUND};
    ASSERT_EQ(std::size(frameMessages), 26u);
    std::set<std::string> names;
    for (size_t i = 0; i < std::size(frameMessages); ++i) {
        EXPECT_EQ(frameMessages[i], 0x41Fu + i) << JobMessageName(frameMessages[i]);
        names.insert(JobMessageName(frameMessages[i]));
    }
    EXPECT_EQ(names.size(), 26u) << "every id has its own name";
    EXPECT_STREQ(JobMessageName(WM_ADD_LOG_LINE), "WM_ADD_LOG_LINE");
    EXPECT_STREQ(JobMessageName(WM_NOTHING_FOUND), "WM_NOTHING_FOUND");
    EXPECT_STREQ(JobMessageName(kWmUser + 0x1B), "unknown message");
    const uint32_t requests[] = {
        kJobAskMessageBox, kJobSetWindowTitle,    kJobLargeFileProgress, kJobAskSaveErrorAction,
        kJobAskFileExists, kJobAskScanFileExists, kJobRunOnGuiThread,    kJobSetImageProgressText};
    for (size_t i = 0; i < std::size(requests); ++i) {
        EXPECT_EQ(requests[i], kWmApp + 1 + i) << JobMessageName(requests[i]);
        names.insert(JobMessageName(requests[i]));
    }
    EXPECT_EQ(names.size(), 26u + std::size(requests)) << "every request has its own name";
}

TEST(JobMessagesTest, SelectorsFollowTheLParamRules) {
    EXPECT_FALSE(MakeStepProgress(0).Get<BarSelectorPayload>()->SelectsBarOne());
    EXPECT_TRUE(MakeStepProgress(1).Get<BarSelectorPayload>()->SelectsBarOne());
    EXPECT_FALSE(MakeDestroyProgress(0x100).Get<BarSelectorPayload>()->SelectsBarOne());
    EXPECT_FALSE(MakeDestroyProgress(0xFFFFFF00u).Get<BarSelectorPayload>()->SelectsBarOne());
    EXPECT_TRUE(MakeDestroyProgress(0x1FF).Get<BarSelectorPayload>()->SelectsBarOne());
    // Roots look at the whole lParam, unlike bars.
    EXPECT_TRUE(MakeCollapseRoot(0x100).Get<RootSelectorPayload>()->SelectsRootOne());
    EXPECT_FALSE(MakeAddTreeRoot(0).Get<RootSelectorPayload>()->SelectsRootOne());
    EXPECT_TRUE(MakeSaveSelection(0).Get<SaveSelectionPayload>()->Acts());
    EXPECT_FALSE(MakeSaveSelection(1).Get<SaveSelectionPayload>()->Acts());
}

TEST(JobMessagesTest, FactoriesPairEveryIdWithItsPayload) {
    const JobMessage messages[] = {
        MakeImageStart(),
        MakeImageDone(true, u"/images/disk.img"),
        MakeSectorMapReading(1, 2),
        MakeSectorMapDone(3, 4),
        MakeSectorMapFailed(5, 6),
        MakeAddFoundItem(nullptr, u"a"),
        MakeUpdateFoundItem(nullptr, u"b"),
        MakeCreateProgress(u"Scanning", 100),
        MakeCreateProgress2(u"Saving", 5),
        MakeStepProgress(0),
        MakeDestroyProgress(1),
        MakeSetPaneWidths(345, 340),
        MakeSetProgressText(u"x"),
        MakeSetStatusText1(std::nullopt),
        MakeSetStatusText2(u"y"),
        MakeLogLine(u"a", u"b", u"c", 1),
        MakeApplyItemNames(),
        MakeCollapseRoot(0),
        MakeGetChildItems(7, true),
        MakeSetFolderCheck(9, true),
        MakeSetFileCheck(u"f", 1, 2, false),
        MakeScanTotals(),
        MakeWriteTreeToFile(),
        MakeAddTreeRoot(1),
        MakeResetScan(),
        MakeSearchEnded(),
        MakeAddDriveItem(nullptr),
        MakeApplyMaskStep(),
        MakeClearViews(),
        MakeSaveSelection(0),
        MakeNothingFound(),
        MakeMessageBox(u"t", u"c", MessageBoxIcon::Error, MessageBoxButtons::Ok, false),
        MakeSetWindowTitle(u"title"),
        MakeImageProgressText(1006, u"Reading Sector : 7")};
    std::set<uint32_t> ids;
    for (const JobMessage& message : messages) {
        EXPECT_TRUE(HasExpectedPayload(message)) << JobMessageName(message.id);
        ids.insert(message.id);
    }
    EXPECT_EQ(ids.size(), std::size(messages)) << "one factory per id";
    EXPECT_FALSE(HasExpectedPayload(JobMessage{WM_ADD_LOG_LINE, TextPayload{}}));
    EXPECT_FALSE(HasExpectedPayload(JobMessage{kWmUser + 0x1B, std::monostate{}}));
    // The end of imaging says whether there is an image to open.
    EXPECT_FALSE(HasExpectedPayload(JobMessage{WM_IMAGE_DONE, std::monostate{}}));
    const JobMessage done = MakeImageDone(false, u"/images/partial.img");
    ASSERT_NE(done.Get<ImageDonePayload>(), nullptr);
    EXPECT_FALSE(done.Get<ImageDonePayload>()->imageWritten);
    EXPECT_EQ(done.Get<ImageDonePayload>()->imagePath, u"/images/partial.img");
    const JobMessage text = MakeImageProgressText(1005, u"Processed 1.0 MB of 2.0 MB");
    ASSERT_NE(text.Get<ImageProgressTextPayload>(), nullptr);
    EXPECT_EQ(text.Get<ImageProgressTextPayload>()->controlId, 1005);
    EXPECT_EQ(text.Get<ImageProgressTextPayload>()->text, u"Processed 1.0 MB of 2.0 MB");

    const JobMessage file = MakeSetFileCheck(u"name.doc", 0x1'0000'0002ull, 77, true);
    const FileCheckPayload* check = file.Get<FileCheckPayload>();
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->name, u"name.doc");
    EXPECT_EQ(check->entryId, 0x1'0000'0002ull);
    EXPECT_EQ(check->treeItem, 77u);
    EXPECT_TRUE(check->partly);
}

TEST(RecordingJobWindowTest, AnswersScriptedMessageBoxesInOrder) {
    RecordingJobWindow window;
    window.QueueAnswers({MessageBoxAnswer::Yes, MessageBoxAnswer::Retry});
    EXPECT_EQ(window.AskMessageBox(u"Overwrite?", u"Recover", MessageBoxIcon::Question,
                                   MessageBoxButtons::YesNoCancel, true),
              MessageBoxAnswer::Yes);
    EXPECT_EQ(window.AskMessageBox(u"Read error", u"Scan", MessageBoxIcon::Error,
                                   MessageBoxButtons::RetryCancel),
              MessageBoxAnswer::Retry);
    // Unscripted boxes are dismissed: the cancelling choice of their buttons.
    EXPECT_EQ(window.AskMessageBox(u"q", u"c", MessageBoxIcon::None, MessageBoxButtons::YesNo),
              MessageBoxAnswer::No);
    EXPECT_EQ(
        window.AskMessageBox(u"q", u"c", MessageBoxIcon::None, MessageBoxButtons::AbortRetryIgnore),
        MessageBoxAnswer::Abort);
    window.SetDefaultAnswer(MessageBoxAnswer::Ignore);
    EXPECT_EQ(
        window.AskMessageBox(u"q", u"c", MessageBoxIcon::None, MessageBoxButtons::AbortRetryIgnore),
        MessageBoxAnswer::Ignore);

    const std::vector<MessageBoxRequest> boxes = window.MessageBoxes();
    ASSERT_EQ(boxes.size(), 5u);
    EXPECT_EQ(boxes[0].text, u"Overwrite?");
    EXPECT_EQ(boxes[0].caption, u"Recover");
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Question);
    EXPECT_EQ(boxes[0].buttons, MessageBoxButtons::YesNoCancel);
    EXPECT_TRUE(boxes[0].topmost);
    EXPECT_FALSE(boxes[1].topmost);
    EXPECT_EQ(boxes[1].answer, MessageBoxAnswer::Retry) << "the record shows the answer given";
}

TEST(RecordingJobWindowTest, RecordsWhatAJobThreadSends) {
    JobFlags flags;
    JobRunner runner(flags);
    RecordingJobWindow window;
    window.QueueAnswer(MessageBoxAnswer::Cancel);
    std::atomic<MessageBoxAnswer> answer{MessageBoxAnswer::Ok};
    ASSERT_TRUE(runner.Start([&] {
        window.SetTitle(u"Morwick Wrenfal - disk 0");
        JobMessage progress = MakeCreateProgress(u"Scanning", 100);
        window.Send(progress);
        for (int i = 0; i < 100; ++i) {
            window.AddLogLine(u"Scan",
                              u"cluster " + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)),
                              u"ok", 5);
        }
        answer = window.AskMessageBox(u"Stop?", u"Scan", MessageBoxIcon::Question,
                                      MessageBoxButtons::OkCancel);
        window.SetTitle(u"Morwick Wrenfal");
    }));
    ASSERT_TRUE(runner.WaitFor(10s));
    EXPECT_FALSE(runner.LastJobThrew());
    EXPECT_EQ(answer, MessageBoxAnswer::Cancel);
    EXPECT_EQ(window.Count(WM_ADD_LOG_LINE), 100u);
    EXPECT_EQ(window.Count(WM_CREATE_PROGRESS), 1u);
    EXPECT_EQ(window.MalformedCount(), 0u);
    const auto lines = window.LogLines();
    ASSERT_EQ(lines.size(), 100u);
    EXPECT_EQ(lines[7], (RecordingJobWindow::LogLine{u"Scan", u"cluster 7", u"ok", 5}));
    EXPECT_EQ(window.LastTitle(), u"Morwick Wrenfal");
    EXPECT_EQ(window.Ids().front(), kJobSetWindowTitle);
}

TEST(RecordingJobWindowTest, KeepsEachSendersOrderUnderConcurrentSends) {
    RecordingJobWindow window;
    constexpr int kThreads = 4;
    constexpr int kEach = 200;
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([&window, t] {
            for (int i = 0; i < kEach; ++i) {
                JobMessage message = MakeSetPaneWidths(t, i);
                window.Send(message);
            }
        });
    }
    EXPECT_TRUE(window.WaitForCount(WM_SET_PANE_WIDTHS, kThreads * kEach, 10s));
    for (std::thread& sender : senders) {
        sender.join();
    }
    std::vector<int> next(kThreads, 0);
    for (const JobMessage& message : window.Messages()) {
        const PaneWidthsPayload* widths = message.Get<PaneWidthsPayload>();
        ASSERT_NE(widths, nullptr);
        ASSERT_TRUE(widths->pane0 >= 0 && widths->pane0 < kThreads);
        EXPECT_EQ(widths->pane1, next[widths->pane0]++);
    }
    EXPECT_EQ(next, std::vector<int>(kThreads, kEach));
}

TEST(RecordingJobWindowTest, HandlersWriteResultsBackToTheSender) {
    RecordingJobWindow window;
    window.SetChildItemsFiller([&](ChildItemsRequest& request) {
        if (request.parentEntryId == 12) {
            request.result.push_back({nullptr, u"first"});
            if (request.allEntries) {
                request.result.push_back({nullptr, u"second"});
            }
        }
    });
    auto names = [](const JobMessage& message) {
        std::vector<std::u16string> out;
        for (const ChildItem& child : message.Get<ChildItemsRequest>()->result)
            out.push_back(child.name);
        return out;
    };
    JobMessage marked = MakeGetChildItems(12, false);
    window.Send(marked);
    EXPECT_EQ(names(marked), std::vector<std::u16string>{u"first"});
    JobMessage all = MakeGetChildItems(12, true);
    window.Send(all);
    EXPECT_EQ(names(all), (std::vector<std::u16string>{u"first", u"second"}));

    int entriesLeft = 3;
    window.SetHandler([&](JobMessage& message) -> intptr_t {
        if (WriteTreePayload* write = message.Get<WriteTreePayload>()) {
            write->more = --entriesLeft > 0;
        }
        return 0;
    });
    int sends = 0;
    for (bool more = true; more && sends < 10; ++sends) {
        JobMessage write = MakeWriteTreeToFile();
        window.Send(write);
        more = write.Get<WriteTreePayload>()->more;
    }
    EXPECT_EQ(sends, 3);
    EXPECT_EQ(window.Count(WM_WRITE_TREE_TO_FILE), 3u);
}

} // namespace
