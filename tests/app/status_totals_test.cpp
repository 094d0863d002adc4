#include "app/frame/main_frame.h"
#include "app/frame/status_panes.h"

#include "platform/resources/string_table.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

// The totals' words follow the language loaded while the program runs.
TEST(StatusTotalsTest, WordsComeFromTheCurrentLanguage) {
    StringTable& strings = StringTable::Program();
    strings.UseEnglish();
    EXPECT_EQ(StatusPanes::TotalsText(strings.Get(StatusPanes::kTotalWord), 1536, 120, 15),
              QString("Total 1.50 KB in 120 file(s) in 15 folder(s)"));

    TempDir dir;
    {
        std::ofstream pack(dir.File("French.dll"));
        pack << "61568\tTotal\n61570\tdans\n61571\tdossier(s)\n61572\tfichier(s)\n";
    }
    ASSERT_TRUE(strings.LoadLanguage(1, dir.Path()));
    EXPECT_EQ(StatusPanes::TotalsText(strings.Get(StatusPanes::kTotalWord), 0, 0, 0),
              QString("Total 0.00 KB dans 0 fichier(s) dans 0 dossier(s)"));
    // "Marked" is not in the pack: English stands in for it.
    EXPECT_EQ(StatusPanes::TotalsText(strings.Get(StatusPanes::kMarkedWord), 0, 0, 0),
              QString("Marked 0.00 KB dans 0 fichier(s) dans 0 dossier(s)"));
    strings.UseEnglish();
}

} // namespace
