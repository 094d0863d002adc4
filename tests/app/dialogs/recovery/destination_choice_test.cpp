#include "app/dialogs/recovery/destination_choice.h"

#include <gtest/gtest.h>

namespace {

using Edit = DestinationChoice::Edit;

TEST(DestinationChoiceTest, StartsLocalWithoutZipIncludingDeletedAndOkDisabled) {
    DestinationChoice choice;
    const auto& controls = choice.GetControls();
    EXPECT_EQ(choice.Destination(), DestinationChoice::kLocal);
    EXPECT_EQ(choice.EntryChoice(), DestinationChoice::kIncludeDeleted);
    EXPECT_TRUE(controls.localEditEnabled);
    EXPECT_TRUE(controls.browseEnabled);
    EXPECT_FALSE(controls.ftpEditEnabled);
    EXPECT_FALSE(controls.ftpOptionsEnabled);
    EXPECT_TRUE(controls.zipEnabled);
    EXPECT_FALSE(controls.zipChecked);
    EXPECT_FALSE(controls.zipModeEnabled);
    EXPECT_FALSE(controls.eachFileChecked);
    EXPECT_FALSE(controls.singleFileChecked);
    EXPECT_FALSE(controls.okEnabled);

    const RecoveryDestinationAnswers answers = choice.Cancel();
    EXPECT_FALSE(answers.accepted);
    EXPECT_FALSE(answers.zip);
    EXPECT_EQ(answers.destination, 0);
    EXPECT_EQ(answers.singleArchive, 0);
    EXPECT_EQ(answers.entryChoice, 1);
}

TEST(DestinationChoiceTest, OkNeedsThePathOfTheCurrentDestinationOnly) {
    DestinationChoice choice;
    choice.OnEditChanged(Edit::Ftp, QStringLiteral("/backup"));
    EXPECT_FALSE(choice.GetControls().okEnabled) << "the FTP path does not serve a local target";
    choice.OnEditChanged(Edit::Local, QStringLiteral("/mnt/save"));
    EXPECT_TRUE(choice.GetControls().okEnabled);

    choice.OnFtp();
    EXPECT_TRUE(choice.GetControls().okEnabled);
    choice.OnEditChanged(Edit::Ftp, QString());
    EXPECT_FALSE(choice.GetControls().okEnabled);
    EXPECT_FALSE(choice.Accept().accepted) << "OK is not possible while disabled";
    choice.OnEditChanged(Edit::Ftp, QStringLiteral("/data"));

    const RecoveryDestinationAnswers ftp = choice.Accept();
    EXPECT_TRUE(ftp.accepted);
    EXPECT_EQ(ftp.destination, DestinationChoice::kFtp);
    EXPECT_EQ(ftp.path, QStringLiteral("/data"));

    choice.OnLocal();
    const RecoveryDestinationAnswers local = choice.Accept();
    EXPECT_EQ(local.destination, DestinationChoice::kLocal);
    EXPECT_EQ(local.path, QStringLiteral("/mnt/save"));
}

TEST(DestinationChoiceTest, CdDvdEnablesOkWithoutAPathAndAnswersNoPath) {
    DestinationChoice choice;
    choice.OnEditChanged(Edit::Local, QStringLiteral("/mnt/save"));
    choice.OnCdDvd();
    const auto& controls = choice.GetControls();
    EXPECT_TRUE(controls.okEnabled);
    EXPECT_FALSE(controls.localEditEnabled);
    EXPECT_FALSE(controls.browseEnabled);
    EXPECT_FALSE(controls.ftpEditEnabled);
    EXPECT_FALSE(controls.ftpOptionsEnabled);
    EXPECT_TRUE(controls.zipEnabled);

    choice.OnEditChanged(Edit::Local, QString());
    EXPECT_TRUE(choice.GetControls().okEnabled);
    const RecoveryDestinationAnswers answers = choice.Accept();
    EXPECT_TRUE(answers.accepted);
    EXPECT_EQ(answers.destination, DestinationChoice::kCdDvd);
    EXPECT_TRUE(answers.path.isEmpty());
}

TEST(DestinationChoiceTest, ZipToggleEnablesTheModesPicksEachFileAndClearsThemWhenOff) {
    DestinationChoice choice;
    choice.OnZipToggled(true);
    EXPECT_TRUE(choice.Zip());
    EXPECT_TRUE(choice.GetControls().zipChecked);
    EXPECT_TRUE(choice.GetControls().zipModeEnabled);
    EXPECT_TRUE(choice.GetControls().eachFileChecked);
    EXPECT_FALSE(choice.GetControls().singleFileChecked);

    choice.OnZipMode(true);
    EXPECT_EQ(choice.SingleArchive(), DestinationChoice::kSingleFile);
    EXPECT_TRUE(choice.GetControls().singleFileChecked);
    EXPECT_FALSE(choice.GetControls().eachFileChecked);

    choice.OnZipToggled(false);
    EXPECT_FALSE(choice.Zip());
    EXPECT_FALSE(choice.GetControls().zipModeEnabled);
    EXPECT_FALSE(choice.GetControls().eachFileChecked);
    EXPECT_FALSE(choice.GetControls().singleFileChecked);
    choice.OnZipMode(true);
    EXPECT_FALSE(choice.GetControls().singleFileChecked) << "modes are dead while zip is off";

    // Checked again, the shown mode and the answer agree on "each file individually".
    choice.OnZipToggled(true);
    EXPECT_EQ(choice.SingleArchive(), DestinationChoice::kEachFile);
    EXPECT_TRUE(choice.GetControls().eachFileChecked);
}

TEST(DestinationChoiceTest, FtpForcesZipOffWhateverWasChosenAndLocalDoesNotBringItBack) {
    DestinationChoice choice;
    choice.OnZipToggled(true);
    choice.OnZipMode(true);
    choice.OnFtp();
    const auto& controls = choice.GetControls();
    EXPECT_FALSE(choice.Zip());
    EXPECT_FALSE(controls.zipEnabled);
    EXPECT_FALSE(controls.zipChecked);
    EXPECT_FALSE(controls.zipModeEnabled);
    EXPECT_FALSE(controls.eachFileChecked);
    EXPECT_FALSE(controls.singleFileChecked);
    EXPECT_TRUE(controls.ftpEditEnabled);
    EXPECT_TRUE(controls.ftpOptionsEnabled);
    EXPECT_FALSE(controls.localEditEnabled);
    EXPECT_FALSE(controls.browseEnabled);

    choice.OnZipToggled(true);
    EXPECT_FALSE(choice.Zip()) << "the disabled zip box cannot be checked";
    choice.OnEditChanged(Edit::Ftp, QStringLiteral("/up"));
    EXPECT_FALSE(choice.Accept().zip);

    choice.OnLocal();
    EXPECT_TRUE(choice.GetControls().zipEnabled);
    EXPECT_FALSE(choice.GetControls().zipChecked);
    EXPECT_FALSE(choice.GetControls().zipModeEnabled);

    choice.OnCdDvd();
    EXPECT_TRUE(choice.GetControls().zipEnabled);
    EXPECT_FALSE(choice.Zip());
}

TEST(DestinationChoiceTest, ZipChoiceSurvivesSwitchingBetweenLocalAndCdDvd) {
    DestinationChoice choice;
    choice.OnZipToggled(true);
    choice.OnZipMode(true);
    choice.OnCdDvd();
    EXPECT_TRUE(choice.GetControls().zipChecked);
    EXPECT_TRUE(choice.GetControls().singleFileChecked);
    choice.OnLocal();
    EXPECT_TRUE(choice.GetControls().zipModeEnabled);
    choice.OnEditChanged(Edit::Local, QStringLiteral("/x"));
    const RecoveryDestinationAnswers answers = choice.Accept();
    EXPECT_TRUE(answers.zip);
    EXPECT_EQ(answers.singleArchive, DestinationChoice::kSingleFile);
}

TEST(DestinationChoiceTest, EntryChoiceTakesTheThreeValuesOnly) {
    DestinationChoice choice;
    choice.OnEntryChoice(DestinationChoice::kOnlyDeleted);
    EXPECT_EQ(choice.EntryChoice(), 2);
    choice.OnEntryChoice(3);
    EXPECT_EQ(choice.EntryChoice(), 2);
    choice.OnEntryChoice(DestinationChoice::kExcludeDeleted);
    EXPECT_EQ(choice.Cancel().entryChoice, 0);
}

TEST(DestinationChoiceTest, PathIsCutToTheLongestTheJobTakes) {
    DestinationChoice choice;
    choice.OnEditChanged(Edit::Local, QString(300, QLatin1Char('p')));
    EXPECT_EQ(choice.Accept().path.size(), DestinationChoice::kMaxPath);
}

} // namespace
