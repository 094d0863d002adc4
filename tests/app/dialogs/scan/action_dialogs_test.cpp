#include "app/dialogs/scan/action_dialog_factory.h"

#include "app/dialogs/scan/action_dialog_base.h"
#include "app/dialogs/scan/search_logical_drive_dlg.h"
#include "app/program_text.h"
#include "controls/balloon_tip.h"
#include "platform/text/utf_conversion.h"
#include "tests/app/modal_driver.h"
#include "tests/support/temp_dir.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <utility>
#include <vector>

namespace {

using Action = CActionDialogBase::Action;

constexpr uint64_t kSectors = 204800;

DriveNode NodeOf(DriveKind kind, uint8_t partitionType = 7) {
    DriveNode node;
    node.kind = kind;
    if (kind == DriveKind::LogicalDrive || kind == DriveKind::FoundVolume ||
        kind == DriveKind::RebuiltVolume || kind == DriveKind::VolumeImage) {
        LogicalDriveInfo volume;
        volume.totalSectors = kSectors;
        volume.partitionType = partitionType;
        node.detail = volume;
    } else {
        PhysicalDiskInfo disk;
        disk.totalSectors = kSectors;
        node.detail = disk;
    }
    if (kind == DriveKind::VolumeImage)
        node.imagePath = u"/images/volume.img";
    return node;
}

// What the dialogs asked of the program around them.
struct Recorder {
    std::vector<CThreadForFileSystem::Parameters> started;
    // Searches started (advance, search mode) and search dialogs opened (their mode).
    std::vector<std::pair<bool, int32_t>> searches;
    std::vector<int32_t> searchDialogs;
    std::vector<uint32_t> questions;
    std::vector<uint32_t> messages;
    std::vector<uint32_t> topics;
    int fileTypeDialogs = 0;
    // Region dialogs run (the drive's total and the region they started from), and the answer
    // each gives: a region, or nothing for Cancel.
    std::vector<std::pair<uint64_t, scan_action::Region>> regionDialogs;
    std::optional<scan_action::Region> regionAnswer;
    // Create Image File: the names proposed to the file dialog, its answer, and the images
    // started (node kind, region, path).
    std::vector<QString> proposedImageNames;
    QString imagePath;
    std::vector<std::tuple<DriveKind, scan_action::Region, QString>> images;
    bool answerYes = false;
    bool startSucceeds = true;

    ActionDialogHooks Hooks(std::filesystem::path helpFolder = {}) {
        ActionDialogHooks hooks;
        hooks.startScan = [this](const CThreadForFileSystem::Parameters& parameters) {
            started.push_back(parameters);
            return startSucceeds;
        };
        hooks.startSearch = [this](bool advance, int32_t searchMode) {
            searches.emplace_back(advance, searchMode);
            return startSucceeds;
        };
        hooks.runSearchDialog = [this](int32_t searchMode) { searchDialogs.push_back(searchMode); };
        hooks.chooseFileTypes = [this](QWidget*) { ++fileTypeDialogs; };
        hooks.askImagePath = [this](QWidget*, const QString& proposed) {
            proposedImageNames.push_back(proposed);
            return imagePath;
        };
        hooks.startImage = [this](const DriveNode& node, scan_action::Region region,
                                  const QString& path) {
            images.emplace_back(node.kind, region, path);
            return startSucceeds;
        };
        hooks.chooseRegion = [this](QWidget*, uint64_t total, scan_action::Region current) {
            regionDialogs.emplace_back(total, current);
            return regionAnswer;
        };
        hooks.askYesNo = [this](uint32_t id) {
            questions.push_back(id);
            return answerYes;
        };
        hooks.help.showMessage = [this](uint32_t id) { messages.push_back(id); };
        hooks.help.open = [this](const std::filesystem::path&, uint32_t topic) {
            topics.push_back(topic);
        };
        hooks.helpFolder = std::move(helpFolder);
        return hooks;
    }
};

template <typename T> T* Child(QWidget& dialog, int id) {
    auto* child = dialog.findChild<T*>(QString::number(id));
    EXPECT_NE(child, nullptr) << "no control " << id;
    return child;
}

// Clicks an action's button, or its bold label, which does the same.
void Activate(QWidget* control) {
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->click();
    else
        QTest::mouseClick(control, Qt::LeftButton);
}

QColor TextColor(QWidget* widget) {
    return widget->palette().color(QPalette::WindowText);
}

struct DialogCase {
    // The drive whose dialog it is; none for the lost-drive search dialog.
    std::optional<DriveKind> kind;
    int templateId;
    // Button and label of each action, and whether it can be used now.
    std::vector<std::tuple<int, int, bool>> actions;
    // Link id, enabled, tip id (0 none).
    std::vector<std::tuple<int, bool, uint32_t>> links;
    int combo;
    int help;
    uint32_t topic;
};

const std::vector<DialogCase>& DialogCases() {
    static const std::vector<DialogCase> kCases = {
        {DriveKind::VolumeImage,
         180,
         {{1084, 1086, true}, {1085, 1087, true}},
         {{1088, true, 61479}, {1089, true, 61484}},
         1090,
         1083,
         1170},
        {DriveKind::LogicalDrive,
         153,
         {{1011, 1014, true}, {1012, 1015, true}, {1013, 1016, true}},
         {{1029, true, 61479}, {1070, true, 61484}, {1040, true, 61480}},
         1071,
         1044,
         1140},
        {DriveKind::HardDisk,
         154,
         {{1023, 1020, true}, {1024, 1021, true}, {1019, 1022, true}},
         {{1028, true, 61479}, {1073, true, 0}, {1039, true, 61480}},
         0,
         1072,
         1130},
        {DriveKind::DiskImage,
         181,
         {{1093, 1094, true}, {1092, 1095, true}},
         {{1097, true, 61479}, {1096, true, 61480}},
         0,
         1091,
         1160},
        {DriveKind::CdRomDrive,
         155,
         {{1017, 1025, true}, {1018, 1026, true}},
         {{1027, true, 61479}},
         0,
         1072,
         1150},
        {DriveKind::CdRomImage, 240, {{1017, 1191, true}}, {{1027, true, 61479}}, 0, 1193, 1180},
        {std::nullopt, 177, {{1075, 1076, true}, {1074, 1077, true}}, {}, 0, 1081, 1310},
    };
    return kCases;
}

std::unique_ptr<CActionDialogBase> MakeDialog(const DialogCase& each,
                                              const ActionDialogHooks& hooks) {
    if (!each.kind)
        return std::make_unique<CSearchLogicalDriveDlg>(0, hooks);
    return MakeActionDialogFor(NodeOf(*each.kind), {}, hooks, nullptr);
}

int UnderlinedLabels(QWidget& dialog) {
    int count = 0;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        count += label->font().underline() ? 1 : 0;
    return count;
}

TEST(ActionDialogs, EachDialogHasItsControlsTipsAndHelpTopic) {
    TempDir empty;
    for (const DialogCase& each : DialogCases()) {
        SCOPED_TRACE(each.templateId);
        Recorder recorder;
        auto dialog = MakeDialog(each, recorder.Hooks(empty.Path()));
        EXPECT_EQ(dialog->objectName(), QString::number(each.templateId));
        EXPECT_EQ(dialog->palette().color(QPalette::Window), QColor(Qt::white));
        for (const auto& [buttonId, labelId, enabled] : each.actions) {
            auto* button = Child<QAbstractButton>(*dialog, buttonId);
            auto* label = Child<QLabel>(*dialog, labelId);
            ASSERT_TRUE(button != nullptr && label != nullptr);
            EXPECT_EQ(button->isEnabled(), enabled) << buttonId;
            EXPECT_EQ(label->isEnabled(), enabled) << labelId;
            EXPECT_TRUE(label->font().bold());
            EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
        }
        for (const auto& [linkId, enabled, tipId] : each.links) {
            auto* link = Child<QLabel>(*dialog, linkId);
            ASSERT_NE(link, nullptr);
            EXPECT_EQ(link->isEnabled(), enabled) << linkId;
            EXPECT_EQ(TextColor(link), QColor(0, 0, 255));
            EXPECT_TRUE(link->font().underline());
            const QString tip = tipId == 0 ? QString() : ProgramText(tipId);
            EXPECT_EQ(dialog->Balloon().ToolText(link), tip) << linkId;
        }
        EXPECT_EQ(UnderlinedLabels(*dialog), static_cast<int>(each.links.size()));
        EXPECT_EQ(dialog->findChild<QComboBox*>() != nullptr, each.combo != 0);
        Child<QAbstractButton>(*dialog, each.help)->click();
        EXPECT_EQ(recorder.messages, std::vector<uint32_t>{62050});
        EXPECT_TRUE(recorder.topics.empty());
        EXPECT_TRUE(recorder.started.empty());
        EXPECT_TRUE(recorder.searches.empty());
    }
}

TEST(ActionDialogs, SearchDialogShowsItsCaptionLabelsAndTexts) {
    Recorder recorder;
    CSearchLogicalDriveDlg dialog(1, recorder.Hooks());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Search Logical drive"));
    EXPECT_EQ(dialog.SearchMode(), 1);
    EXPECT_EQ(Child<QLabel>(dialog, 1076)->text(), QStringLiteral("Standard Search:"));
    EXPECT_EQ(Child<QLabel>(dialog, 1077)->text(), QStringLiteral("Advance Search:"));
    QStringList texts;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains(QStringLiteral(
        "Standard search is very fast and sufficient scan method. It performs in most of the "
        "cases. In case you are unable to find your lost drives through this method use \"Advance "
        "Search\" for better result.")));
    EXPECT_TRUE(texts.contains(QStringLiteral("This method takes more time to scan but has "
                                              "greater chance to discover lost logical drives.")));
}

// Search Logical Drive of both disk dialogs ends them with 5 and opens the search dialog with
// the dialog's mode; its two actions start the search with that mode, unchanged.
TEST(ActionDialogs, SearchLogicalDriveOpensTheSearchWithTheDialogsMode) {
    struct Case {
        DriveKind kind;
        int control;
        int32_t mode;
    };
    for (const Case& each :
         {Case{DriveKind::HardDisk, 1023, 0}, Case{DriveKind::RemovableDisk, 1020, 0},
          Case{DriveKind::DiskImage, 1093, 1}, Case{DriveKind::DiskImage, 1094, 1}}) {
        SCOPED_TRACE(each.control);
        Recorder recorder;
        auto dialog = MakeActionDialogFor(NodeOf(each.kind), {}, recorder.Hooks(), nullptr);
        auto* control = Child<QWidget>(*dialog, each.control);
        ASSERT_NE(control, nullptr);
        Activate(control);
        EXPECT_EQ(recorder.searchDialogs, std::vector<int32_t>{each.mode});
        EXPECT_EQ(dialog->result(), CActionDialogBase::kStartedResult);
        EXPECT_TRUE(recorder.started.empty());
        EXPECT_TRUE(recorder.searches.empty());
    }
}

TEST(ActionDialogs, SearchActionsStartTheSearchAndEndWithFive) {
    struct Case {
        int control;
        int32_t mode;
        bool advance;
    };
    for (const Case& each :
         {Case{1075, 0, false}, Case{1076, 1, false}, Case{1074, 1, true}, Case{1077, 0, true}}) {
        SCOPED_TRACE(each.control);
        Recorder recorder;
        CSearchLogicalDriveDlg dialog(each.mode, recorder.Hooks());
        auto* control = Child<QWidget>(dialog, each.control);
        ASSERT_NE(control, nullptr);
        Activate(control);
        EXPECT_EQ(recorder.searches,
                  (std::vector<std::pair<bool, int32_t>>{{each.advance, each.mode}}));
        EXPECT_EQ(dialog.result(), CActionDialogBase::kStartedResult);
        EXPECT_TRUE(recorder.started.empty());
    }
}

// Which button starts which job with which parameters; every started job ends the dialog
// with 5, through its button and through its bold label alike.
TEST(ActionDialogs, FileSystemActionsStartTheJobAndEndWithFive) {
    struct Case {
        DriveKind kind;
        int control;
        bool advance;
        uint8_t setup;
        bool raw;
    };
    const Case cases[] = {
        {DriveKind::VolumeImage, 1084, false, 1, false},
        {DriveKind::VolumeImage, 1087, true, 1, false},
        {DriveKind::LogicalDrive, 1011, false, 0, false},
        {DriveKind::LogicalDrive, 1015, true, 0, false},
        {DriveKind::HardDisk, 1024, false, 0, true},
        {DriveKind::RemovableDisk, 1021, false, 0, true},
        {DriveKind::DiskImage, 1092, false, 1, true},
        {DriveKind::CdRomDrive, 1025, false, 0, true},
        {DriveKind::CdRomImage, 1017, false, 1, true},
        {DriveKind::CdRomImage, 1191, false, 1, true},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.control);
        Recorder recorder;
        auto dialog = MakeActionDialogFor(NodeOf(each.kind, 11), {}, recorder.Hooks(), nullptr);
        auto* control = Child<QWidget>(*dialog, each.control);
        ASSERT_NE(control, nullptr);
        Activate(control);
        ASSERT_EQ(recorder.started.size(), 1u);
        const CThreadForFileSystem::Parameters& started = recorder.started[0];
        EXPECT_EQ(started.advanceScan, each.advance);
        EXPECT_FALSE(started.otherFileSystem);
        EXPECT_EQ(started.setupOption, each.setup);
        EXPECT_EQ(started.rawSearch, each.raw);
        // Untouched, the raw search covers the whole source.
        EXPECT_EQ(started.regionFirstSector, 0u);
        EXPECT_EQ(started.regionLastSector, each.raw ? kSectors : 0u);
        EXPECT_EQ(dialog->result(), CActionDialogBase::kStartedResult);
        EXPECT_TRUE(recorder.questions.empty());
    }
}

TEST(ActionDialogs, ACancelledImageFileAndARefusedStartLeaveTheDialogOpen) {
    Recorder recorder;
    recorder.startSucceeds = false;
    auto dialog = MakeActionDialogFor(NodeOf(DriveKind::HardDisk), {}, recorder.Hooks(), nullptr);
    // No file chosen: nothing starts.
    QTest::mouseClick(Child<QLabel>(*dialog, 1022), Qt::LeftButton);
    EXPECT_EQ(recorder.proposedImageNames.size(), 1u);
    EXPECT_TRUE(recorder.images.empty());
    // A file chosen, but the image cannot start.
    recorder.imagePath = QStringLiteral("/tmp/disk.img");
    QTest::mouseClick(Child<QLabel>(*dialog, 1022), Qt::LeftButton);
    EXPECT_EQ(recorder.images.size(), 1u);
    EXPECT_NE(dialog->result(), CActionDialogBase::kStartedResult);
    EXPECT_TRUE(recorder.started.empty());
    Child<QAbstractButton>(*dialog, 1024)->click();
    EXPECT_EQ(recorder.started.size(), 1u);
    EXPECT_NE(dialog->result(), CActionDialogBase::kStartedResult);

    CSearchLogicalDriveDlg search(0, recorder.Hooks());
    for (const int control : {1075, 1074}) {
        Child<QAbstractButton>(search, control)->click();
    }
    EXPECT_EQ(recorder.searches, (std::vector<std::pair<bool, int32_t>>{{false, 0}, {true, 0}}));
    EXPECT_NE(search.result(), CActionDialogBase::kStartedResult);
}

// The previous-file-system combo of both volume dialogs: hidden until its link is clicked,
// preselected on the other file system, and taken only by an advance scan after a change and
// a yes.
TEST(ActionDialogs, PreviousFileSystemComboAndItsQuestion) {
    struct Case {
        DriveKind kind;
        uint8_t partitionType;
        int link;
        int combo;
        int standard;
        int advance;
        std::vector<int> picks;
        bool answerYes;
        uint32_t question; // 0: none
        bool other;
    };
    const Case cases[] = {
        {DriveKind::VolumeImage, 7, 1089, 1090, 1084, 1085, {1, 0}, false, 61488, false},
        {DriveKind::VolumeImage, 7, 1089, 1090, 1084, 1085, {1, 0}, true, 61488, true},
        {DriveKind::LogicalDrive, 11, 1070, 1071, 1011, 1012, {1}, true, 61487, true},
        {DriveKind::LogicalDrive, 7, 1070, 1071, 1011, 1012, {}, true, 0, false},
        {DriveKind::LogicalDrive, 7, 1070, 1071, 1011, 1012, {0, 1}, true, 0, false},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.combo * 10 + static_cast<int>(each.picks.size()));
        for (const bool advance : {true, false}) {
            Recorder recorder;
            recorder.answerYes = each.answerYes;
            auto dialog = MakeActionDialogFor(NodeOf(each.kind, each.partitionType), {},
                                              recorder.Hooks(), nullptr);
            auto* combo = Child<QComboBox>(*dialog, each.combo);
            auto* link = Child<QLabel>(*dialog, each.link);
            ASSERT_TRUE(combo != nullptr && link != nullptr);
            EXPECT_FALSE(combo->isVisibleTo(dialog.get()));
            QTest::mouseClick(link, Qt::LeftButton);
            EXPECT_TRUE(combo->isVisibleTo(dialog.get()));
            EXPECT_EQ(TextColor(link), QColor(128, 0, 128));
            ASSERT_EQ(combo->count(), 2);
            EXPECT_EQ(combo->itemText(0), QStringLiteral("FAT"));
            EXPECT_EQ(combo->itemText(1), QStringLiteral("NTFS"));
            EXPECT_EQ(combo->currentIndex(), each.partitionType == 7 ? 0 : 1);
            for (int index : each.picks) {
                combo->setCurrentIndex(index);
                emit combo->activated(index);
            }
            Child<QAbstractButton>(*dialog, advance ? each.advance : each.standard)->click();
            ASSERT_EQ(recorder.started.size(), 1u);
            // A standard scan never asks and never takes the choice.
            EXPECT_EQ(recorder.questions, advance && each.question != 0
                                              ? std::vector<uint32_t>{each.question}
                                              : std::vector<uint32_t>{});
            EXPECT_EQ(recorder.started[0].otherFileSystem, advance && each.other);
            EXPECT_EQ(recorder.started[0].advanceScan, advance);
            EXPECT_EQ(dialog->result(), CActionDialogBase::kStartedResult);
        }
    }
}

TEST(ActionDialogs, FileTypesLinkRunsTheCallersDialogAndTurnsPurple) {
    for (const DialogCase& each : DialogCases()) {
        SCOPED_TRACE(each.templateId);
        if (each.links.empty())
            continue;
        Recorder recorder;
        auto dialog = MakeDialog(each, recorder.Hooks());
        auto* link = Child<QLabel>(*dialog, std::get<0>(each.links.front()));
        ASSERT_NE(link, nullptr);
        QTest::mouseClick(link, Qt::LeftButton);
        EXPECT_EQ(recorder.fileTypeDialogs, 1);
        EXPECT_EQ(TextColor(link), QColor(128, 0, 128));
        EXPECT_TRUE(recorder.started.empty());
        EXPECT_EQ(dialog->result(), 0);
    }
}

TEST(ActionDialogs, TheRawSearchRegionIsTheOneTheRegionDialogTook) {
    struct Case {
        DriveKind kind;
        int link;
        int rawRecovery;
    };
    for (const Case& each :
         {Case{DriveKind::HardDisk, 1073, 1024}, Case{DriveKind::DiskImage, 1096, 1092}}) {
        SCOPED_TRACE(each.link);
        Recorder recorder;
        auto dialog = MakeActionDialogFor(NodeOf(each.kind, 11), {}, recorder.Hooks(), nullptr);
        auto* link = Child<QLabel>(*dialog, each.link);
        ASSERT_NE(link, nullptr);
        // OK takes the region; Cancel afterwards keeps it; the next dialog starts from it.
        recorder.regionAnswer = scan_action::Region{100, 2000};
        QTest::mouseClick(link, Qt::LeftButton);
        recorder.regionAnswer.reset();
        QTest::mouseClick(link, Qt::LeftButton);
        ASSERT_EQ(recorder.regionDialogs.size(), 2u);
        EXPECT_EQ(recorder.regionDialogs[0].first, kSectors);
        EXPECT_EQ(recorder.regionDialogs[0].second, (scan_action::Region{0, kSectors}));
        EXPECT_EQ(recorder.regionDialogs[1].second, (scan_action::Region{100, 2000}));
        EXPECT_EQ(TextColor(link), QColor(128, 0, 128));
        Activate(Child<QWidget>(*dialog, each.rawRecovery));
        ASSERT_EQ(recorder.started.size(), 1u);
        EXPECT_EQ(recorder.started[0].regionFirstSector, 100u);
        EXPECT_EQ(recorder.started[0].regionLastSector, 2000u);
    }
}

TEST(ActionDialogs, CreateImageFileImagesTheChosenRegionIntoTheChosenFile) {
    struct Case {
        DriveKind kind;
        int regionLink; // 0: the dialog has none
        int action;
    };
    const Case cases[] = {
        {DriveKind::HardDisk, 1039, 1019},
        {DriveKind::LogicalDrive, 1040, 1013},
        {DriveKind::CdRomDrive, 0, 1018},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.action);
        Recorder recorder;
        recorder.imagePath = QStringLiteral("/tmp/chosen.img");
        auto dialog = MakeActionDialogFor(NodeOf(each.kind, 7), {}, recorder.Hooks(), nullptr);
        scan_action::Region expected{0, kSectors};
        if (each.regionLink != 0) {
            recorder.regionAnswer = scan_action::Region{64, 4096};
            QTest::mouseClick(Child<QLabel>(*dialog, each.regionLink), Qt::LeftButton);
            expected = *recorder.regionAnswer;
        }
        Activate(Child<QWidget>(*dialog, each.action));
        ASSERT_EQ(recorder.images.size(), 1u);
        EXPECT_EQ(std::get<0>(recorder.images[0]), each.kind);
        EXPECT_EQ(std::get<1>(recorder.images[0]), expected);
        EXPECT_EQ(std::get<2>(recorder.images[0]), recorder.imagePath);
        ASSERT_EQ(recorder.proposedImageNames.size(), 1u);
        EXPECT_EQ(recorder.proposedImageNames[0],
                  QString::fromStdU16String(scan_action::ProposedImageName(NodeOf(each.kind, 7))));
        EXPECT_EQ(dialog->result(), CActionDialogBase::kStartedResult);
        EXPECT_TRUE(recorder.started.empty());
    }
}

TEST(ActionDialogs, HelpOpensTheGuideOfTheLanguageAtTheTopic) {
    TempDir folder;
    std::ofstream(folder.Path() / "Morwick Wrenfal Windows Data Recovery User Guide_ESP.html")
        << "<html></html>";
    for (const DialogCase& each : DialogCases()) {
        SCOPED_TRACE(each.templateId);
        Recorder recorder;
        ActionDialogHooks hooks = recorder.Hooks(folder.Path());
        hooks.language = 3;
        auto dialog = MakeDialog(each, hooks);
        Child<QAbstractButton>(*dialog, each.help)->click();
        EXPECT_EQ(recorder.topics, std::vector<uint32_t>{each.topic});
        EXPECT_TRUE(recorder.messages.empty());
    }
}

TEST(ActionDialogs, RunForANodeReturnsFiveOrTheCancelResult) {
    for (const int button : {1024, CActionDialogBase::kCancelId}) {
        Recorder recorder;
        ClickInModal(QStringLiteral("154"), button);
        const int result = RunActionDialogFor(NodeOf(DriveKind::HardDisk), QStringLiteral("Disk 0"),
                                              recorder.Hooks(), nullptr);
        EXPECT_EQ(result, button == CActionDialogBase::kCancelId
                              ? QDialog::Rejected
                              : CActionDialogBase::kStartedResult);
        EXPECT_EQ(recorder.started.size(), button == CActionDialogBase::kCancelId ? 0u : 1u);
    }
}

// Without a search-dialog hook the disk dialog ends and the search dialog runs modally over
// the same hooks; the disk dialog's own result is 5.
TEST(ActionDialogs, SearchLogicalDriveRunsTheSearchDialogModally) {
    Recorder recorder;
    ActionDialogHooks hooks = recorder.Hooks();
    hooks.runSearchDialog = nullptr;
    ClickInModal(QStringLiteral("181"), 1093);
    ClickInModal(QStringLiteral("177"), 1074);
    const int result = RunActionDialogFor(NodeOf(DriveKind::DiskImage),
                                          QStringLiteral("/images/disk.img"), hooks, nullptr);
    EXPECT_EQ(result, CActionDialogBase::kStartedResult);
    EXPECT_EQ(recorder.searches, (std::vector<std::pair<bool, int32_t>>{{true, 1}}));
}

} // namespace
