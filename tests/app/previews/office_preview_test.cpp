#include "app/previews/access_preview_dlg.h"
#include "app/previews/office_file_preview.h"
#include "app/previews/office_preview.h"
#include "app/previews/office_preview_dlg.h"
#include "app/previews/office_preview_texts.h"
#include "app/program_text.h"
#include "filesystems/fat/fat_file_data.h"
#include "jobs/scan/scan_state.h"
#include "jobs/scan/thread_for_file_system.h"
#include "platform/text/format_text.h"
#include "platform/resources/string_table.h"
#include "preview/child_process.h"
#include "preview/mdb_tools_table_source.h"
#include "preview/office_converter.h"
#include "resources/string_ids.h"
#include "tests/app/modal_driver.h"
#include "tests/support/fixture_image.h"
#include "tests/support/found_tree.h"
#include "tests/support/mapped_drive.h"
#include "tests/support/scan_into_tree.h"
#include "tests/support/scoped_env.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path kScreenshots = fs::path(MORWICK_BUILD_DIR) / "screenshots";

// The office fixture volume scanned as drive C:, its files read as recovery reads them.
class OfficeVolume {
public:
    // Reads touching the `unreadable` sectors fail.
    explicit OfficeVolume(std::vector<DeviceSource::SectorRun> unreadable = {})
        : m_config("MORWICK_CONFIG", m_configDir.File("settings.conf").string()) {
        m_image = UnpackFixture("office_docs.img", m_work);
        if (m_image.empty()) {
            return;
        }
        m_drive.emplace(m_image, 4);
        m_drive->Map(std::nullopt, std::move(unreadable));
        m_state.SetSelectedDrive(&m_drive->Node());
        ScanIntoTree(m_state, m_tree);
    }
    ~OfficeVolume() { m_state.FreeVolume(); }

    const fs::path& Image() const { return m_image; }

    // The reader of the named file and its size; nullptr when the scan did not find it.
    std::unique_ptr<RecoveredFileData> Data(std::u16string_view name, uint64_t& size) {
        for (const FoundTree::Entry& entry : m_tree.Entries()) {
            if (entry.name == name && m_state.FatVolume() != nullptr) {
                size = entry.item.size;
                return std::make_unique<FatFileData>(*m_state.FatVolume(), entry.item, false);
            }
        }
        ADD_FAILURE() << "not found on the volume";
        return nullptr;
    }

private:
    TempDir m_work;
    TempDir m_configDir;
    ScopedEnv m_config;
    ScanState m_state;
    std::optional<MappedDrive> m_drive;
    FoundTree m_tree;
    fs::path m_image;
};

// Message boxes answered from a list, every text kept.
struct RecordedQuestions {
    std::deque<MessageBoxAnswer> answers;
    std::vector<QString> texts;

    void Install(OfficePreviewSetup& setup) {
        setup.ask = [this](const QString& text, MessageBoxButtons, MessageBoxIcon) {
            texts.push_back(text);
            if (answers.empty()) {
                return MessageBoxAnswer::Ok;
            }
            const MessageBoxAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        };
    }
};

fs::path Script(const TempDir& folder, const std::string& name, const std::string& body) {
    const fs::path path = folder.File(name);
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    ::chmod(path.c_str(), 0700);
    return path;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Whether any process's command line names `text` (the session profile, a marker).
bool ProcessMentions(const std::string& text) {
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::string line = ReadText(entry.path() / "cmdline");
        if (line.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// Fails and closes any modal window: for calls that must show none.
void ForbidModals(QObject* owner) {
    auto* timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            ADD_FAILURE() << "unexpected modal window " << modal->objectName().toStdString();
            modal->close();
        }
    });
    timer->start(50);
}

void SaveScreenshot(QWidget* window, const char* name) {
    fs::create_directories(kScreenshots);
    QTest::qWait(600); // pages are rendered after the view is shown
    const QString path = QString::fromStdString((kScreenshots / name).string());
    EXPECT_TRUE(window->grab().save(path)) << path.toStdString();
}

// The real converter over the fixture's three documents: the slow conversions of the suite,
// kept in this one test.
TEST(OfficeConversionTest, ShowsTheWordsOfEachDocument) {
    if (!OfficeConverter().Installed()) {
        GTEST_SKIP() << "LibreOffice's soffice is not installed (scripts/setup.sh installs it)";
    }
    if (RunCommand("command -v pdftotext >/dev/null") != 0) {
        GTEST_SKIP() << "pdftotext is not installed (poppler-utils)";
    }
    struct Case {
        const char16_t* name;
        std::vector<std::string> words;
        const char* screenshot;
    };
    const Case cases[] = {
        {u"report.doc", {"Morwick quarterly report", "wrenfal harvest"}, "office_preview.png"},
        {u"figures.xls", {"Northfield", "1207", "983"}, nullptr},
        {u"slides.ppt", {"Lantern slide heading"}, nullptr},
    };
    OfficeVolume volume;
    const OfficePreviewSetup& setup = OfficePreviewSetup::Program();
    const std::optional<fs::path> profile = OfficeConverter::SessionProfile();
    ASSERT_TRUE(profile);
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.name).toStdString());
        uint64_t size = 0;
        std::unique_ptr<RecoveredFileData> data = volume.Data(c.name, size);
        ASSERT_NE(data, nullptr);
        fs::path pdf;
        std::string text;
        int pages = 0;
        // Should the hook give up before the dialog comes, the dialog must not stay open.
        QObject guard;
        QTimer::singleShot(180s, &guard, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                ADD_FAILURE() << "the preview stayed open";
                modal->close();
            }
        });
        // A loaded machine converts slowly: the dialog may take a while to come.
        constexpr int kAttempts = 12000;
        WhenModal(
            QString::number(COfficePreviewDlg::kDialogId),
            [&](QWidget* modal) {
                auto* dialog = qobject_cast<COfficePreviewDlg*>(modal);
                ASSERT_NE(dialog, nullptr);
                pdf = dialog->FilePath();
                pages = dialog->PageCount();
                EXPECT_EQ(RunCommand("pdftotext " + ShellQuote(pdf.string()) + " -", &text), 0);
                auto* title =
                    dialog->findChild<QLabel*>(QString::number(COfficePreviewDlg::kTitleId));
                EXPECT_TRUE(title != nullptr && title->text() == QStringLiteral("Quillbrook"));
                if (c.screenshot != nullptr) {
                    SaveScreenshot(dialog, c.screenshot);
                }
                // Escape leaves it open; the "X" button closes it.
                QTest::keyClick(dialog, Qt::Key_Escape);
                EXPECT_TRUE(dialog->isVisible());
                dialog->findChild<QAbstractButton*>(QString::number(COfficePreviewDlg::kCloseId))
                    ->click();
            },
            kAttempts);
        const int result = PreviewOfficeFile(nullptr, *data, size, c.name, setup);
        EXPECT_NE(result, 0) << "a shown document ends the command";
        EXPECT_GT(pages, 0);
        for (const std::string& word : c.words) {
            EXPECT_NE(text.find(word), std::string::npos) << word << " in: " << text;
        }
        ASSERT_FALSE(pdf.empty());
        EXPECT_FALSE(fs::exists(pdf)) << "the PDF is deleted";
        EXPECT_FALSE(fs::exists(pdf.parent_path())) << "the temporary folder is removed";
        EXPECT_EQ(ChildProcess::RunningCount(), 0);
        EXPECT_FALSE(ProcessMentions(profile->string())) << "a converter was left running";
    }
}

class OfficePreviewTest : public ::testing::Test {
protected:
    // A converter that writes its document's path to "document" and `body` after it.
    void UseConverter(const std::string& body,
                      std::chrono::milliseconds limit = OfficeConverter::kTimeLimit) {
        const fs::path script = Script(m_scripts, "convert",
                                       "for a; do last=$a; done; printf '%s' \"$last\" >'" +
                                           m_scripts.File("document").string() + "'\n" + body);
        m_setup.converterCommand = {script.string()};
        m_setup.converterTimeLimit = limit;
    }
    bool ConverterStarted() const { return fs::exists(m_scripts.File("document")); }
    fs::path ConvertedDocument() const { return ReadText(m_scripts.File("document")); }

    int Preview(std::u16string_view name) {
        uint64_t size = 0;
        std::unique_ptr<RecoveredFileData> data = m_volume.Data(name, size);
        if (data == nullptr) {
            return -1;
        }
        return PreviewOfficeFile(nullptr, *data, size, name, m_setup);
    }

    OfficeVolume m_volume;
    TempDir m_scripts;
    OfficePreviewSetup m_setup;
    RecordedQuestions m_questions;
};

TEST_F(OfficePreviewTest, HangingConverterIsEndedWithinItsLimit) {
    const fs::path grandchild = m_scripts.File("grandchild");
    UseConverter("sleep 61 & echo $! >'" + grandchild.string() + "'; sleep 61", 1s);
    m_questions.Install(m_setup);
    QObject owner;
    ForbidModals(&owner);
    // The window stays alive meanwhile, and a second preview is refused without a view.
    int nested = -1;
    QTimer::singleShot(300, [&] { nested = Preview(u"figures.xls"); });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Preview(u"report.doc"), 0) << "a timed-out conversion asks for the hex view";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(nested, 1);
    EXPECT_TRUE(m_questions.texts.empty());
    ASSERT_TRUE(ConverterStarted());
    EXPECT_FALSE(fs::exists(ConvertedDocument().parent_path()));
    const std::string pid = ReadText(grandchild);
    ASSERT_FALSE(pid.empty());
    EXPECT_FALSE(fs::exists("/proc/" + pid.substr(0, pid.find('\n'))));
    EXPECT_FALSE(ProcessMentions("sleep 61"));
    EXPECT_EQ(ChildProcess::RunningCount(), 0);
}

std::vector<uint8_t> AllBytes(RecoveredFileData& data) {
    std::vector<uint8_t> bytes;
    RecoveredFileData::Piece piece;
    while (data.Next(piece)) {
        bytes.insert(bytes.end(), piece.data, piece.data + piece.length);
    }
    return bytes;
}

std::vector<uint8_t> FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A document with a sector that cannot be read is not shown with zeros in its place: no
// converter starts, and the caller is told so for its hex view. The same document read whole
// reaches the converter as the volume holds it.
TEST_F(OfficePreviewTest, UnreadableSectorsSendTheDocumentToTheHexView) {
    uint64_t size = 0;
    std::unique_ptr<RecoveredFileData> clean = m_volume.Data(u"report.doc", size);
    ASSERT_NE(clean, nullptr);
    const std::vector<uint8_t> bytes = AllBytes(*clean);
    ASSERT_EQ(bytes.size(), size);
    ASSERT_GT(bytes.size(), 3 * 512u);
    const std::vector<uint8_t> image = FileBytes(m_volume.Image());
    const auto second =
        std::search(image.begin(), image.end(), bytes.begin() + 512, bytes.begin() + 1024);
    ASSERT_NE(second, image.end());
    const uint64_t offset = static_cast<uint64_t>(second - image.begin());
    ASSERT_EQ(offset % 512, 0u);
    const fs::path copy = m_scripts.File("copy.doc");
    UseConverter("cp \"$last\" '" + copy.string() + "'");

    OfficeVolume damaged({{offset / 512, 1}});
    std::unique_ptr<RecoveredFileData> data = damaged.Data(u"report.doc", size);
    ASSERT_NE(data, nullptr);
    bool unreadable = false;
    EXPECT_EQ(PreviewOfficeFile(nullptr, *data, size, u"report.doc", m_setup, &unreadable), 0);
    EXPECT_TRUE(unreadable);
    EXPECT_FALSE(ConverterStarted());

    std::unique_ptr<RecoveredFileData> whole = m_volume.Data(u"report.doc", size);
    unreadable = true;
    EXPECT_EQ(PreviewOfficeFile(nullptr, *whole, size, u"report.doc", m_setup, &unreadable), 0)
        << "the stand-in converter makes no PDF";
    EXPECT_FALSE(unreadable);
    EXPECT_EQ(FileBytes(copy), bytes);
}

TEST_F(OfficePreviewTest, DeclinesWhatItCannotShow) {
    struct Case {
        const char* what;
        const char16_t* name;
        std::string converter;
        bool started;
        std::optional<uint32_t> message;
    };
    const Case cases[] = {
        {"a .doc without the compound signature", u"plain.doc", "exit 0", false, std::nullopt},
        {"a converter that makes no PDF", u"report.doc", "exit 0", true, std::nullopt},
        {"a converter that fails", u"slides.ppt", "exit 77", true, std::nullopt},
        {"a converter that writes no PDF but text", u"figures.xls",
         "printf 'text' >\"${last%.*}.pdf\"", true, std::nullopt},
        {"no converter", u"figures.xls", "", false,
         office_preview_text::NotInstalledId(OfficeKind::Excel)},
    };
    for (const Case& c : cases) {
        fs::remove(m_scripts.File("document"));
        m_questions.texts.clear();
        if (c.converter.empty()) {
            m_setup.converterCommand = {"/nonexistent/soffice"};
        } else {
            UseConverter(c.converter);
        }
        m_questions.Install(m_setup);
        QObject owner;
        ForbidModals(&owner);
        EXPECT_EQ(Preview(c.name), 0) << c.what;
        EXPECT_EQ(ConverterStarted(), c.started) << c.what;
        if (c.message) {
            ASSERT_EQ(m_questions.texts.size(), 1u) << c.what;
            EXPECT_EQ(m_questions.texts[0], ProgramText(*c.message)) << c.what;
        } else {
            EXPECT_TRUE(m_questions.texts.empty()) << c.what;
        }
        if (c.started) {
            EXPECT_FALSE(fs::exists(ConvertedDocument().parent_path())) << c.what;
        }
    }
}

TEST_F(OfficePreviewTest, AsksWhileTheApplicationRuns) {
    struct Case {
        const char* what;
        std::vector<bool> running;
        std::deque<MessageBoxAnswer> answers;
        int result;
        size_t prompts;
        bool started;
    };
    const Case cases[] = {
        {"not running", {false}, {}, 0, 0, true},
        {"retried until closed",
         {true, true, false},
         {MessageBoxAnswer::Retry, MessageBoxAnswer::Retry},
         0,
         2,
         true},
        {"cancelled", {true}, {MessageBoxAnswer::Cancel}, 1, 1, false},
    };
    for (const Case& c : cases) {
        fs::remove(m_scripts.File("document"));
        UseConverter("exit 0");
        m_questions.texts.clear();
        m_questions.answers = c.answers;
        m_questions.Install(m_setup);
        std::deque<bool> running(c.running.begin(), c.running.end());
        int terminations = 0;
        m_setup.isAppRunning = [&](OfficeKind kind, bool terminate) {
            EXPECT_EQ(kind, OfficeKind::Word);
            if (terminate) {
                return ++terminations < 3;
            }
            const bool now = running.empty() ? false : running.front();
            if (!running.empty()) {
                running.pop_front();
            }
            return now;
        };
        EXPECT_EQ(Preview(u"report.doc"), c.result) << c.what;
        EXPECT_EQ(m_questions.texts.size(), c.prompts) << c.what;
        for (const QString& text : m_questions.texts) {
            EXPECT_EQ(text, ProgramText(office_preview_text::RunningPromptId(OfficeKind::Word)));
        }
        EXPECT_EQ(ConverterStarted(), c.started) << c.what;
        // After a preview the application is ended until the probe finds none.
        EXPECT_EQ(terminations, c.started ? 3 : 0) << c.what;
    }
}

// Tables a test gives, every read kept.
class FakeTableSource : public AccessTableSource {
public:
    FakeTableSource(std::vector<std::string> names, std::vector<std::string>& reads)
        : m_names(std::move(names)), m_reads(reads) {}
    bool Installed() const override { return true; }
    TableList ListTables(const fs::path& database) override {
        EXPECT_TRUE(fs::exists(database));
        struct stat info {};
        ::stat(database.c_str(), &info);
        EXPECT_EQ(info.st_mode & 0777, 0400u) << "read-only while shown";
        TableList list;
        list.ok = true;
        list.names = m_names;
        return list;
    }
    Table ReadTable(const fs::path&, const std::string& name) override {
        m_reads.push_back(name);
        Table table;
        if (name == "Broken") {
            table.error = {"cannot read it", "fake", 7};
            return table;
        }
        table.ok = true;
        table.columns = {"OrderID", "Product", "Quantity"};
        for (int i = 1; i <= 60; ++i) {
            table.rows.push_back({std::to_string(10247 + i), name + " item " + std::to_string(i),
                                  std::to_string(i * 3)});
        }
        // The export of a large table stops at its cap.
        table.cut = name == "Huge";
        return table;
    }

private:
    std::vector<std::string> m_names;
    std::vector<std::string>& m_reads;
};

QStringList Children(QTreeWidgetItem* root) {
    QStringList texts;
    for (int i = 0; i < root->childCount(); ++i) {
        texts << root->child(i)->text(0);
    }
    return texts;
}

TEST_F(OfficePreviewTest, ListsAccessTablesAndShowsTheFirst) {
    std::vector<std::string> reads;
    m_setup.tableSource = [&reads] {
        return std::make_unique<FakeTableSource>(
            std::vector<std::string>{"MSysObjects", "Order Details", "MSysACEs", "Customers",
                                     "msysqueries", "Broken"},
            reads);
    };
    m_questions.Install(m_setup);
    fs::path database;
    WhenModal(QString::number(CAccessPreviewDlg::kDialogId), [&](QWidget* modal) {
        auto* dialog = qobject_cast<CAccessPreviewDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        database = dialog->FilePath();
        QTreeWidgetItem* root = dialog->Tree()->topLevelItem(0);
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(root->text(0), ProgramText(kTablesId));
        EXPECT_EQ(Children(root), (QStringList{"[Order Details]", "Customers", "Broken"}));
        EXPECT_EQ(dialog->Tree()->currentItem(), root->child(0));
        EXPECT_EQ(dialog->GridCaption(), QStringLiteral("[Order Details]"));
        EXPECT_EQ(reads, std::vector<std::string>{"Order Details"});
        EXPECT_EQ(dialog->Grid()->rowCount(), 60);
        EXPECT_EQ(dialog->Grid()->columnCount(), 3);
        EXPECT_EQ(dialog->Grid()->item(0, 1)->text(), QStringLiteral("Order Details item 1"));
        EXPECT_EQ(dialog->Grid()->editTriggers(), QAbstractItemView::NoEditTriggers);
        // The root changes nothing; another table is read and shown.
        dialog->Tree()->setCurrentItem(root);
        EXPECT_EQ(reads.size(), 1u);
        EXPECT_EQ(dialog->GridCaption(), QStringLiteral("[Order Details]"));
        dialog->Tree()->setCurrentItem(root->child(1));
        EXPECT_EQ(dialog->GridCaption(), QStringLiteral("Customers"));
        EXPECT_TRUE(m_questions.texts.empty());
        dialog->Tree()->setCurrentItem(root->child(2));
        ASSERT_EQ(m_questions.texts.size(), 1u);
        EXPECT_TRUE(m_questions.texts[0].startsWith(
            QStringLiteral("UpdateGridDetailsDescription : cannot read it\n")))
            << m_questions.texts[0].toStdString();
        EXPECT_EQ(dialog->Grid()->rowCount(), 0);
        EXPECT_EQ(dialog->GridCaption(), QStringLiteral("Broken"));
        dialog->close();
    });
    EXPECT_EQ(Preview(u"orders.mdb"), 1) << "a shown database ends the command";
    EXPECT_EQ(reads, (std::vector<std::string>{"Order Details", "Customers", "Broken"}));
    ASSERT_FALSE(database.empty());
    EXPECT_FALSE(fs::exists(database.parent_path()));
}

// A table whose rows stop at the export's cap says so under the grid; a whole one says nothing.
TEST_F(OfficePreviewTest, ACutTableSaysItIsCut) {
    std::vector<std::string> reads;
    m_setup.tableSource = [&reads] {
        return std::make_unique<FakeTableSource>(std::vector<std::string>{"Huge", "Small"}, reads);
    };
    m_questions.Install(m_setup);
    QString cutNote;
    QString wholeNote = QStringLiteral("unset");
    WhenModal(QString::number(CAccessPreviewDlg::kDialogId), [&](QWidget* modal) {
        auto* dialog = qobject_cast<CAccessPreviewDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->GridCaption(), QStringLiteral("Huge"));
        EXPECT_EQ(dialog->Grid()->rowCount(), 60);
        cutNote = dialog->CutNote();
        auto* note = dialog->findChild<QLabel*>(QStringLiteral("cut note"));
        EXPECT_TRUE(note != nullptr && note->isVisible());
        dialog->Tree()->setCurrentItem(dialog->Tree()->topLevelItem(0)->child(1));
        wholeNote = dialog->CutNote();
        EXPECT_TRUE(note != nullptr && note->isHidden());
        dialog->close();
    });
    EXPECT_EQ(Preview(u"orders.mdb"), 1);
    EXPECT_EQ(cutNote,
              QString::fromStdU16String(FormatText(StringTable::Program().Get(kTableCutId), 60)));
    EXPECT_TRUE(cutNote.contains(QStringLiteral("60")));
    EXPECT_TRUE(wholeNote.isEmpty());
}

// The database of the fixture, written from the format, read by the real mdbtools.
TEST_F(OfficePreviewTest, ShowsTheTablesMdbtoolsReads) {
    if (!MdbToolsTableSource().Installed()) {
        GTEST_SKIP() << "mdbtools is not installed (scripts/setup.sh installs it)";
    }
    m_questions.Install(m_setup);
    WhenModal(QString::number(CAccessPreviewDlg::kDialogId), [&](QWidget* modal) {
        auto* dialog = qobject_cast<CAccessPreviewDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        QTreeWidgetItem* root = dialog->Tree()->topLevelItem(0);
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(Children(root), (QStringList{"[Order Details]", "Customers"}));
        EXPECT_EQ(dialog->GridCaption(), QStringLiteral("[Order Details]"));
        QTableWidget* grid = dialog->Grid();
        ASSERT_EQ(grid->rowCount(), 4);
        ASSERT_EQ(grid->columnCount(), 3);
        EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), QStringLiteral("Product"));
        EXPECT_EQ(grid->item(0, 1)->text(), QStringLiteral("Queso Cabrales"));
        EXPECT_EQ(grid->item(3, 2)->text(), QStringLiteral("35"));
        SaveScreenshot(dialog, "access_preview.png");
        dialog->Tree()->setCurrentItem(root->child(1));
        ASSERT_EQ(grid->rowCount(), 2);
        EXPECT_EQ(grid->item(1, 1)->text(), QStringLiteral("Berglunds snabbk\u00f6p"));
        dialog->close();
    });
    EXPECT_EQ(Preview(u"orders.mdb"), 1);
    EXPECT_TRUE(m_questions.texts.empty());
    EXPECT_EQ(ChildProcess::RunningCount(), 0);
}

TEST_F(OfficePreviewTest, DatabaseWithOnlySystemTablesShowsAnEmptyList) {
    std::vector<std::string> reads;
    m_setup.tableSource = [&reads] {
        return std::make_unique<FakeTableSource>(
            std::vector<std::string>{"MSysObjects", "MSysACEs"}, reads);
    };
    WhenModal(QString::number(CAccessPreviewDlg::kDialogId), [&](QWidget* modal) {
        auto* dialog = qobject_cast<CAccessPreviewDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->Tree()->topLevelItemCount(), 1);
        EXPECT_EQ(dialog->Tree()->topLevelItem(0)->childCount(), 0);
        dialog->close();
    });
    EXPECT_EQ(Preview(u"orders.mdb"), 1);
    EXPECT_TRUE(reads.empty());
}

TEST_F(OfficePreviewTest, DatabasesThatCannotBeOpenedGiveTheHexView) {
    struct Case {
        const char* what;
        const char16_t* name;
        bool fake;
        std::optional<uint32_t> message;
    };
    const Case cases[] = {
        {"bytes that are no database", u"garbage.mdb", false, std::nullopt},
        {"a first page but no tables for mdbtools", u"blank.mdb", false, std::nullopt},
        {"a password", u"locked.mdb", true, kPasswordProtectedId},
        {"a compound document named .mdb", u"report.doc", false, std::nullopt},
    };
    for (const Case& c : cases) {
        std::vector<std::string> reads;
        OfficePreviewSetup setup;
        RecordedQuestions questions;
        questions.Install(setup);
        if (c.fake) {
            setup.tableSource = [&reads] {
                return std::make_unique<FakeTableSource>(std::vector<std::string>{"T"}, reads);
            };
        }
        uint64_t size = 0;
        std::unique_ptr<RecoveredFileData> data = m_volume.Data(c.name, size);
        ASSERT_NE(data, nullptr);
        QObject owner;
        ForbidModals(&owner);
        // The name decides the kind: the document's bytes go to the Access preview.
        const std::u16string name =
            std::u16string(c.name).substr(0, std::u16string(c.name).rfind(u'.')) + u".mdb";
        EXPECT_EQ(PreviewOfficeFile(nullptr, *data, size, name, setup), 0) << c.what;
        EXPECT_TRUE(reads.empty()) << c.what;
        if (c.message) {
            ASSERT_EQ(questions.texts.size(), 1u) << c.what;
            EXPECT_EQ(questions.texts[0], ProgramText(*c.message)) << c.what;
        } else {
            EXPECT_TRUE(questions.texts.empty()) << c.what;
        }
        EXPECT_EQ(ChildProcess::RunningCount(), 0);
    }
}

TEST_F(OfficePreviewTest, OnlyOfficeNamesOfAllowedSizesArePreviewed) {
    struct Case {
        const char16_t* name;
        uint64_t size;
        bool started;
        const char* document;
    };
    const Case cases[] = {
        {u"report.DOC", 9216, true, "1234567890.DOC"},
        {u"report.doc...", 9216, true, "1234567890.doc"},
        {u"report.docx", 9216, false, ""},
        // A name without a dot is its own extension.
        {u"Doc", 9216, true, "1234567890.Doc"},
        {u"report.doc", kMaxOfficePreviewBytes, true, "1234567890.doc"},
        {u"report.doc", kMaxOfficePreviewBytes + 1, false, ""},
    };
    for (const Case& c : cases) {
        fs::remove(m_scripts.File("document"));
        UseConverter("exit 0");
        uint64_t size = 0;
        std::unique_ptr<RecoveredFileData> data = m_volume.Data(u"report.doc", size);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(PreviewOfficeFile(nullptr, *data, c.size, c.name, m_setup), 0);
        EXPECT_EQ(ConverterStarted(), c.started) << QString::fromUtf16(c.name).toStdString();
        if (c.started) {
            EXPECT_EQ(ConvertedDocument().filename().string(), c.document);
        }
    }
}

} // namespace
