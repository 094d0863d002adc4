#pragma once

#include "app/previews/archive_text_preview.h"
#include "app/previews/preview_choice.h"
#include "jobs/recovery/found_file_clusters.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class FoundEntryStore;
class QWidget;
class RecoveredFileData;
class ScanState;

// Previews one found file of the scanned volume: the viewer is chosen by the file's name and
// reads the file through the cluster list recovery's readers give.
namespace FoundFilePreview {

// What a preview tells the person when the hex view takes over from the viewer a file's name
// chose.
enum class Notice {
    PictureNotDecoded,  // damaged, or not what its name says
    PictureKindNotRead, // no decoder reads pictures of its extension
    Unreadable,         // a picture or office file whose sectors could not be read
    ArchiveNotListed,   // no entry of the archive could be read
};

// The viewers a preview hands an entry to; the program's own by default, others in tests.
// Each runs under the preview's wait cursor and takes it off while it shows a modal window.
struct Viewers {
    // Shown ends the command; any other answer: the hex view instead.
    std::function<PreviewAnswer(QWidget* parent, const std::u16string& name, uint64_t size,
                                uint32_t sectorsPerCluster, RecoveredFileData& data)>
        picture;
    // Shown ends the command; any other answer: the hex view instead.
    std::function<PreviewAnswer(QWidget* parent, RecoveredFileData& data, uint64_t size,
                                std::u16string_view name)>
        office;
    // True when the library showed the text or the archive; false: the hex view instead.
    std::function<bool(const ArchiveTextPreviewRequest& request, uint8_t kind)> archiveOrText;
    std::function<void(const std::u16string& name, const FoundFileClusters& where)> hex;
    // Says why the hex view takes over, before it shows; unset: nothing is said.
    std::function<void(Notice notice, const std::u16string& name)> tell;

    static Viewers Program();
};

// The viewer for an entry of this name and size (a folder has only its hex view).
PreviewViewer ChooseViewer(std::u16string_view fileName, uint64_t size, bool isFolder);

enum class Outcome {
    Shown,
    NotAFile,   // no such entry
    NoVolume,   // no reader of the scanned volume
    NoData,     // its data cannot be located
    BeyondList, // lies past what a 32-bit list addresses: refused, for the log
    // An archive or text whose clusters hold more sectors than the library's 8-bit field
    // takes: shown in hex instead, for the log.
    HexForLargeClusters,
};

// What the person is told, by Notice: the message, then the log row's status.
inline constexpr uint32_t kNoticeMessageIds[] = {64550, 64551, 64552, 64553};
inline constexpr uint32_t kNoticeStatusIds[] = {64555, 64556, 64557, 64558};

// The message and the log row's status of a notice about file `name`, in the current language.
std::u16string NoticeMessage(Notice notice, std::u16string_view name);
std::u16string NoticeStatus(Notice notice);

// What the archive and text library is told of a file; nothing when its clusters hold more
// sectors than the record's 8-bit field can say (NTFS allows clusters of up to 2 MiB).
std::optional<ArchiveTextPreviewRequest>
ArchiveTextRequest(const std::u16string& name, uint64_t size, const FoundFileClusters& where);

// Whether the entry lies in a deleted folder (recovery reads such files from consecutive
// clusters). The walk up is bounded.
bool InDeletedFolder(const FoundEntryStore& store, std::size_t entry);

// The cluster list of `entry` on the scanned volume. A folder's lists its own clusters (none for
// the root) with their size.
FoundFileClusters EntryClusters(ScanState& state, const FoundEntryStore& store, std::size_t entry);

// The bytes of file `entry` as recovery reads them; nullptr without a volume reader.
std::unique_ptr<RecoveredFileData> EntryData(ScanState& state, const FoundEntryStore& store,
                                             std::size_t entry);

// Whether the file's bytes lie in no cluster list a viewer library could read: NTFS content
// resident in its record, or compressed. Such a file is shown from a private copy.
bool NeedsCopy(ScanState& state, const FoundEntryStore& store, std::size_t entry);

// What File > File Preview acts on: the drive tree's drive while the drive list is shown, the
// tree's folder while the folder tree has the focus, else the file list's selected rows.
enum class Target {
    Drive,
    Folder,
    SelectedFiles,
};
Target ChooseTarget(bool driveTreeShown, bool folderTreeFocused);

// Shows `entry` in its viewer (a folder in hex), modally over `parent`, under the wait cursor
// while it is prepared; returns when the viewer closes. A viewer that declines hands the entry
// to the hex view, telling why when it had a reason.
Outcome Show(ScanState& state, const FoundEntryStore& store, std::size_t entry,
             const Viewers& viewers = Viewers::Program(), QWidget* parent = nullptr);

} // namespace FoundFilePreview
