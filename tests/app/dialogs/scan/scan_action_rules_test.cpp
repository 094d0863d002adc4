#include "app/dialogs/scan/scan_action_rules.h"

#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace scan_action;

namespace {

DriveNode Disk(DriveKind kind, uint64_t sectors, std::u16string sizeText = u"1.00 GB") {
    DriveNode node;
    node.kind = kind;
    PhysicalDiskInfo disk;
    disk.totalSectors = sectors;
    disk.sizeText = std::move(sizeText);
    node.detail = disk;
    return node;
}

DriveNode Volume(DriveKind kind, uint64_t sectors, uint8_t partitionType = 7,
                 std::u16string imagePath = {}) {
    DriveNode node;
    node.kind = kind;
    node.imagePath = std::move(imagePath);
    LogicalDriveInfo volume;
    volume.totalSectors = sectors;
    volume.lastSector = 5000 + sectors - 1;
    volume.partitionType = partitionType;
    volume.rootPath = u"E:\\";
    volume.fileSystem = u"NTFS";
    volume.reserved = u"DATA";
    node.detail = volume;
    return node;
}

TEST(ScanActionRules, DialogAndDefaultRegionByKind) {
    struct Case {
        DriveNode node;
        ActionDialog dialog;
        Region region;
    };
    const Case cases[] = {
        {Disk(DriveKind::HardDisk, 1000), ActionDialog::DiskAction, {0, 1000}},
        {Volume(DriveKind::LogicalDrive, 800), ActionDialog::ScanActionImage, {0, 800}},
        // Found volumes read their size from their own record, with or without an image.
        {Volume(DriveKind::FoundVolume, 700), ActionDialog::ScanActionImage, {0, 700}},
        {Volume(DriveKind::RebuiltVolume, 600), ActionDialog::ScanActionImage, {0, 600}},
        {Volume(DriveKind::FoundVolume, 500, 7, u"/img/d.img"), ActionDialog::ScanAction, {0, 500}},
        {Volume(DriveKind::RebuiltVolume, 400, 7, u"/img/d.img"),
         ActionDialog::ScanAction,
         {0, 400}},
        {Disk(DriveKind::RemovableDisk, 300), ActionDialog::DiskAction, {0, 300}},
        {Disk(DriveKind::CdRomDrive, 200), ActionDialog::CdRecoveryAction, {0, 200}},
        {Disk(DriveKind::DiskImage, 100), ActionDialog::DiskImageAction, {0, 100}},
        {Volume(DriveKind::VolumeImage, 90, 7, u"/img/v.img"), ActionDialog::ScanAction, {0, 90}},
        {Disk(DriveKind::CdRomImage, 80), ActionDialog::RawRecoveryAction, {0, 80}},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(static_cast<int>(each.node.kind));
        EXPECT_EQ(ActionDialogFor(each.node), each.dialog);
        EXPECT_EQ(DefaultRegion(each.node), each.region);
    }
    EXPECT_EQ(DefaultRegion(DriveNode{}), Region{});
}

TEST(ScanActionRules, CurrentFileSystemByPartitionType) {
    for (int type = 0; type < 256; ++type) {
        const bool ntfs = type == 7 || type == 66 || type == 134 || type == 135;
        EXPECT_EQ(CurrentFileSystem(static_cast<uint8_t>(type)), ntfs ? kNtfs : kFat) << type;
    }
}

TEST(ScanActionRules, OtherFileSystemOnlyBySelectionChangeAndOnlyWhenConfirmed) {
    struct Case {
        uint8_t partitionType;
        std::vector<int> selections;
        bool answerYes;
        int initialIndex;
        bool flagBefore;
        uint32_t question; // 0: none asked
        bool flagTaken;
    };
    const Case cases[] = {
        // Opening the combo without a change leaves the flag clear.
        {7, {}, true, 0, false, 0, false},
        {11, {}, true, 1, false, 0, false},
        {7, {1, 0}, false, 0, true, kNtfsButFatQuestionId, false},
        {7, {1, 0}, true, 0, true, kNtfsButFatQuestionId, true},
        {4, {1}, true, 1, true, kFatButNtfsQuestionId, true},
        // Choosing the drive's own file system clears the flag again.
        {7, {0, 1}, true, 0, false, 0, false},
        {1, {1, 0}, true, 1, false, 0, false},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.partitionType);
        FileSystemChoice choice(each.partitionType);
        EXPECT_EQ(choice.InitialComboIndex(), each.initialIndex);
        for (int index : each.selections)
            choice.OnSelectionChange(index);
        EXPECT_EQ(choice.OtherFileSystem(), each.flagBefore);
        uint32_t asked = 0;
        EXPECT_EQ(choice.ConfirmForAdvanceScan([&](uint32_t id) {
            asked = id;
            return each.answerYes;
        }),
                  each.flagTaken);
        EXPECT_EQ(asked, each.question);
        EXPECT_EQ(choice.OtherFileSystem(), each.flagTaken);
    }
}

TEST(ScanActionRules, ParametersByDialogAndAction) {
    using enum ActionDialog;
    using enum ScanJobAction;
    const Region raw{7, 900};
    struct Case {
        ActionDialog dialog;
        ScanJobAction action;
        bool offered;
        bool advance;
        bool other; // with the flag set
        uint8_t setup;
        bool rawSearch;
    };
    const Case cases[] = {
        {ScanAction, StandardScan, true, false, false, 1, false},
        {ScanAction, AdvanceScan, true, true, true, 1, false},
        {ScanAction, RawDataRecovery, false, false, false, 0, false},
        {ScanActionImage, StandardScan, true, false, false, 0, false},
        {ScanActionImage, AdvanceScan, true, true, true, 0, false},
        {DiskAction, RawDataRecovery, true, false, false, 0, true},
        {DiskAction, StandardScan, false, false, false, 0, false},
        {DiskImageAction, RawDataRecovery, true, false, false, 1, true},
        {CdRecoveryAction, RawDataRecovery, true, false, false, 0, true},
        {RawRecoveryAction, RawDataRecovery, true, false, false, 1, true},
        {RawRecoveryAction, AdvanceScan, false, false, false, 0, false},
        {SearchLogicalDrive, RawDataRecovery, false, false, false, 0, false},
        {SearchLogicalDrive, StandardScan, false, false, false, 0, false},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(static_cast<int>(each.dialog) * 10 + static_cast<int>(each.action));
        const auto parameters = ParametersFor(each.dialog, each.action, true, raw);
        ASSERT_EQ(parameters.has_value(), each.offered);
        if (!parameters)
            continue;
        EXPECT_EQ(parameters->advanceScan, each.advance);
        EXPECT_EQ(parameters->otherFileSystem, each.other);
        EXPECT_EQ(parameters->setupOption, each.setup);
        EXPECT_EQ(parameters->rawSearch, each.rawSearch);
        const Region region = each.rawSearch ? raw : Region{};
        EXPECT_EQ(parameters->regionFirstSector, region.firstSector);
        EXPECT_EQ(parameters->regionLastSector, region.lastSector);
        EXPECT_EQ(parameters->notifyWindow, nullptr);
    }
    EXPECT_FALSE(ParametersFor(ScanAction, AdvanceScan, false, raw)->otherFileSystem);
}

// Only the two disk dialogs search for lost drives, each with its own mode.
TEST(ScanActionRules, SearchModeByDialog) {
    using enum ActionDialog;
    const std::pair<ActionDialog, std::optional<int32_t>> cases[] = {
        {DiskAction, 0},
        {DiskImageAction, 1},
        {ScanAction, std::nullopt},
        {ScanActionImage, std::nullopt},
        {CdRecoveryAction, std::nullopt},
        {RawRecoveryAction, std::nullopt},
        {SearchLogicalDrive, std::nullopt},
    };
    for (const auto& [dialog, mode] : cases) {
        EXPECT_EQ(SearchModeFor(dialog), mode) << static_cast<int>(dialog);
    }
}

TEST(ScanActionRules, ProposedImageNames) {
    DriveNode disk = Disk(DriveKind::HardDisk, 1000, u"74.53 GB");
    DiskIdentifyInfo identify;
    // Device strings can fill their field with no terminator, or carry one early.
    identify.serialNumber = "WD-WCAM12345678901234567";
    identify.model = std::string("WDC WD800/JD\x01", 13) + std::string(40, 'X');
    disk.Physical()->identify = identify;
    DriveNode early = Disk(DriveKind::HardDisk, 10, u"5 MB");
    DiskIdentifyInfo shortened;
    shortened.serialNumber = std::string("S1\0junk", 7);
    shortened.model = "M";
    early.Physical()->identify = shortened;
    DriveNode cd = Disk(DriveKind::CdRomDrive, 100, u"650 MB");
    cd.Physical()->drive = 4;
    DriveNode labelled = Volume(DriveKind::LogicalDrive, 10);
    labelled.Logical()->reserved = u"a/b\tc";

    struct Case {
        DriveNode node;
        std::u16string name;
    };
    const Case cases[] = {
        {disk, u"WD-WCAM1234567890123-WDC WD800_JD_" + std::u16string(27, u'X') + u"-74.53 GB"},
        {early, u"S1-M-5 MB"},
        {Disk(DriveKind::RemovableDisk, 10, u"1.9 GB"), u"Removable Drive - 1.9 GB"},
        {cd, u"E Drive-CDFS-650 MB"},
        {Volume(DriveKind::LogicalDrive, 10), u"E Drive-NTFS-DATA"},
        {Volume(DriveKind::FoundVolume, 10), u"E Drive-NTFS-DATA"},
        {labelled, u"E Drive-NTFS-a_b_c"},
        {Disk(DriveKind::DiskImage, 10), u""},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(Utf16ToUtf8(each.name));
        EXPECT_EQ(ProposedImageName(each.node), each.name);
    }
}

TEST(ScanActionRules, HelpFileByLanguageAndTheMissingGuide) {
    const std::u16string base = u"Morwick Wrenfal Windows Data Recovery User Guide";
    const std::vector<std::pair<uint32_t, std::u16string>> names = {
        {0, base + u".html"},          {1, base + u"_FRA.html"}, {2, base + u"_DEU.html"},
        {3, base + u"_ESP.html"},      {4, base + u"_ITA.html"}, {5, base + u".html"},
        {0xFFFFFFFF, base + u".html"},
    };
    for (const auto& [language, name] : names)
        EXPECT_EQ(HelpFileNameFor(language), name) << language;

    TempDir folder;
    std::vector<uint32_t> messages;
    std::vector<std::pair<std::filesystem::path, uint32_t>> opened;
    const HelpHooks hooks{[&](uint32_t id) { messages.push_back(id); },
                          [&](const std::filesystem::path& guide, uint32_t topic) {
                              opened.emplace_back(guide, topic);
                          }};
    EXPECT_FALSE(OpenHelp(folder.Path(), 2, 1130, hooks));
    EXPECT_EQ(messages, std::vector<uint32_t>{kHelpMissingId});
    EXPECT_TRUE(opened.empty());

    const std::filesystem::path guide = folder.Path() / Utf16ToUtf8(HelpFileNameFor(2));
    std::ofstream(guide) << "<html></html>";
    EXPECT_TRUE(OpenHelp(folder.Path(), 2, 1130, hooks));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].first, guide);
    EXPECT_EQ(opened[0].second, 1130u);
    EXPECT_EQ(messages.size(), 1u);
}

} // namespace
