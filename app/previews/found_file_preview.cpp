#include "app/previews/found_file_preview.h"

#include "app/previews/archive_text_preview.h"
#include "app/previews/office_file_preview.h"
#include "app/dialogs/common/wait_cursor.h"
#include "app/dialogs/common/wait_cursor_lift.h"
#include "app/models/found_entry_store.h"
#include "app/previews/picture_preview.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_data.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "hexview/display_hex_viewer.h"
#include "jobs/scan/scan_state.h"
#include "platform/text/format_text.h"
#include "platform/resources/string_table.h"
#include "platform/text/utf_conversion.h"
#include "preview/temporary_document.h"

#include <QApplication>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace FoundFilePreview {

namespace {

constexpr int kMaxFolderDepth = 256;

void ShowHex(const std::u16string& name, const FoundFileClusters& where) {
    DisplayHexViewer viewer;
    const std::u16string imagePath = Utf8ToUtf16(where.imagePath);
    viewer.OpenTheFile(qApp, name.c_str(), where.drive,
                       static_cast<int32_t>(where.list.clusters.size()),
                       static_cast<int64_t>(std::min<uint64_t>(where.list.byteLength, INT64_MAX)),
                       static_cast<int64_t>(std::min<uint64_t>(where.list.validLength, INT64_MAX)),
                       where.list.clusters.data(), where.partitionType,
                       static_cast<int64_t>(where.dataStartSector), where.sectorsPerCluster,
                       where.fromImage ? 1 : 0, imagePath.c_str());
}

// The file's bytes as recovery reads them, in a private file padded to whole sectors (the
// libraries read sectors), or nullptr when it cannot be written.
std::unique_ptr<TemporaryDocument> CopyOf(RecoveredFileData& data, uint64_t size) {
    std::unique_ptr<TemporaryDocument> copy = TemporaryDocument::Create("bin");
    if (copy == nullptr || !copy->Write(data, false))
        return nullptr;
    std::error_code error;
    const uint64_t written = std::filesystem::file_size(copy->Path(), error);
    if (error)
        return nullptr;
    // Bytes past the file's size are not part of it; missing ones read as zeros.
    const uint64_t bytes = std::max(written, size);
    std::filesystem::resize_file(copy->Path(), (bytes + 511) / 512 * 512, error);
    return error ? nullptr : std::move(copy);
}

} // namespace

std::optional<ArchiveTextPreviewRequest>
ArchiveTextRequest(const std::u16string& name, uint64_t size, const FoundFileClusters& where) {
    // A cut value would read every cluster from the wrong sectors.
    if (where.sectorsPerCluster > UINT8_MAX)
        return std::nullopt;
    ArchiveTextPreviewRequest request;
    request.fileName = name;
    request.clusters = where.list;
    request.fileSize = size;
    request.sectorsPerCluster = static_cast<uint8_t>(where.sectorsPerCluster);
    request.dataStartSector = where.dataStartSector;
    request.ntfs = where.partitionType == FoundFileClusters::kNtfsNumbering;
    request.driveCode = where.drive;
    request.imageFile = where.fromImage;
    request.imagePath = Utf8ToUtf16(where.imagePath);
    return request;
}

Viewers Viewers::Program() {
    Viewers viewers;
    viewers.picture = &ShowPicturePreview;
    viewers.office = [](QWidget* parent, RecoveredFileData& data, uint64_t size,
                        std::u16string_view name) {
        bool unreadable = false;
        const int result =
            PreviewOfficeFile(parent, data, size, name, OfficePreviewSetup::Program(), &unreadable);
        if (unreadable)
            return PreviewAnswer::Unreadable;
        return result != 0 ? PreviewAnswer::Shown : PreviewAnswer::Declined;
    };
    // The libraries read as they show, modally.
    viewers.archiveOrText = [](const ArchiveTextPreviewRequest& request, uint8_t kind) {
        const WaitCursorLift lift;
        return ShowArchiveOrTextPreview(request, kind);
    };
    viewers.hex = [](const std::u16string& name, const FoundFileClusters& where) {
        const WaitCursorLift lift;
        ShowHex(name, where);
    };
    return viewers;
}

std::u16string NoticeMessage(Notice notice, std::u16string_view name) {
    const std::u16string_view text =
        StringTable::Program().Get(kNoticeMessageIds[static_cast<size_t>(notice)]);
    if (notice != Notice::PictureKindNotRead)
        return std::u16string(text);
    std::string extension(PreviewExtension(Utf16ToUtf8(name)));
    for (char& letter : extension)
        if (letter >= 'a' && letter <= 'z')
            letter = static_cast<char>(letter - 'a' + 'A');
    return FormatText(text, extension);
}

std::u16string NoticeStatus(Notice notice) {
    return std::u16string(
        StringTable::Program().Get(kNoticeStatusIds[static_cast<size_t>(notice)]));
}

PreviewViewer ChooseViewer(std::u16string_view fileName, uint64_t size, bool isFolder) {
    return ChoosePreviewViewer(Utf16ToUtf8(fileName), size, isFolder);
}

Target ChooseTarget(bool driveTreeShown, bool folderTreeFocused) {
    if (driveTreeShown)
        return Target::Drive;
    return folderTreeFocused ? Target::Folder : Target::SelectedFiles;
}

bool InDeletedFolder(const FoundEntryStore& store, std::size_t entry) {
    if (entry >= store.Size())
        return false;
    uint64_t parent = store.At(entry).item.parentId;
    for (int depth = 0; depth < kMaxFolderDepth; ++depth) {
        const std::size_t folder = store.FindFolderById(parent);
        if (folder == FoundEntryStore::kNone || folder == entry)
            return false;
        const FoundItem& item = store.At(folder).item;
        if (item.deleted != 0)
            return true;
        if (item.parentId == item.entryId)
            return false;
        parent = item.parentId;
    }
    return false;
}

FoundFileClusters EntryClusters(ScanState& state, const FoundEntryStore& store, std::size_t entry) {
    if (entry >= store.Size())
        return {};
    const FoundItem& item = store.At(entry).item;
    const bool root = entry == 0 && store.HasRoot();
    if (store.Kind() == FoundEntryStore::VolumeKind::Ntfs) {
        CNtfsFileSystem* volume = state.NtfsVolume();
        if (volume == nullptr)
            return {};
        FoundFileClusters where = NtfsFoundFileClusters(*volume, item);
        if (item.IsFolder()) {
            // A folder's index is shown as far as its runs reach, the root's not at all.
            if (root || where.status != FoundFileClusters::Status::Ok)
                where.list = {};
            where.status = FoundFileClusters::Status::Ok;
            where.list.byteLength =
                uint64_t{where.sectorsPerCluster} * 512 * where.list.clusters.size();
            where.list.validLength = where.list.byteLength;
        }
        return where;
    }
    CFatFileSystem* volume = state.FatVolume();
    if (volume == nullptr)
        return {};
    const bool folderDeleted = InDeletedFolder(store, entry);
    if (!item.IsFolder())
        return FatFoundFileClusters(*volume, item, folderDeleted);
    if (root) {
        FoundItem none = item;
        none.firstCluster = 0;
        return FatFoundFolderClusters(*volume, none, false);
    }
    return FatFoundFolderClusters(*volume, item, item.deleted != 0 || folderDeleted);
}

std::unique_ptr<RecoveredFileData> EntryData(ScanState& state, const FoundEntryStore& store,
                                             std::size_t entry) {
    if (entry >= store.Size())
        return nullptr;
    // The reader of the kind the entries were found by, or none.
    const bool ntfs = store.Kind() == FoundEntryStore::VolumeKind::Ntfs;
    ClusterVolume* volume = ntfs ? static_cast<ClusterVolume*>(state.NtfsVolume())
                                 : static_cast<ClusterVolume*>(state.FatVolume());
    if (volume == nullptr)
        return nullptr;
    return volume->FileData(store.At(entry).item, !ntfs && InDeletedFolder(store, entry));
}

bool NeedsCopy(ScanState& state, const FoundEntryStore& store, std::size_t entry) {
    if (entry >= store.Size() || store.At(entry).item.IsFolder() ||
        store.Kind() != FoundEntryStore::VolumeKind::Ntfs || state.NtfsVolume() == nullptr)
        return false;
    const NtfsFileData data(*state.NtfsVolume(), store.At(entry).item);
    return data.Available() && (data.IsResident() || data.IsCompressed());
}

Outcome Show(ScanState& state, const FoundEntryStore& store, std::size_t entry,
             const Viewers& viewers, QWidget* parent) {
    if (entry >= store.Size())
        return Outcome::NotAFile;
    const std::u16string& name = store.At(entry).name;
    const FoundItem& item = store.At(entry).item;
    const PreviewViewer viewer = ChooseViewer(name, item.size, item.IsFolder());
    const WaitCursor wait;
    const auto tell = [&viewers, &name](Notice notice) {
        if (viewers.tell)
            viewers.tell(notice, name);
    };

    // Pictures and office documents take the file's bytes as recovery reads them.
    if (viewer == PreviewViewer::Picture || viewer == PreviewViewer::Office) {
        const std::unique_ptr<RecoveredFileData> data = EntryData(state, store, entry);
        if (data == nullptr)
            return Outcome::NoVolume;
        if (!data->Available())
            return Outcome::NoData;
        PreviewAnswer answer = PreviewAnswer::Declined;
        if (viewer == PreviewViewer::Picture) {
            const uint32_t sectorsPerCluster = EntryClusters(state, store, entry).sectorsPerCluster;
            answer = viewers.picture(parent, name, item.size, sectorsPerCluster, *data);
        } else {
            answer = viewers.office(parent, *data, item.size, name);
        }
        switch (answer) {
        case PreviewAnswer::Shown:
            return Outcome::Shown;
        case PreviewAnswer::Declined:
            break;
        case PreviewAnswer::NotDecoded:
            tell(Notice::PictureNotDecoded);
            break;
        case PreviewAnswer::KindNotRead:
            tell(Notice::PictureKindNotRead);
            break;
        case PreviewAnswer::Unreadable:
            tell(Notice::Unreadable);
            break;
        }
    }

    // The libraries read the clusters themselves: a file that has none is read from its copy,
    // which lives until the viewer closes.
    std::unique_ptr<TemporaryDocument> copy;
    FoundFileClusters where;
    if (NeedsCopy(state, store, entry)) {
        const std::unique_ptr<RecoveredFileData> data = EntryData(state, store, entry);
        copy = CopyOf(*data, item.size);
        if (copy == nullptr)
            return Outcome::NoData;
        where = CopiedFileClusters(copy->Path().string(), item.size);
    } else {
        where = EntryClusters(state, store, entry);
    }
    switch (where.status) {
    case FoundFileClusters::Status::NoVolume:
        return Outcome::NoVolume;
    case FoundFileClusters::Status::NoData:
        return Outcome::NoData;
    case FoundFileClusters::Status::BeyondList:
        return Outcome::BeyondList;
    case FoundFileClusters::Status::Ok:
        break;
    }
    Outcome shown = Outcome::Shown;
    if (viewer == PreviewViewer::Archive || viewer == PreviewViewer::Text) {
        const uint8_t kind =
            viewer == PreviewViewer::Archive ? kPreviewKindArchive : kPreviewKindText;
        const std::optional<ArchiveTextPreviewRequest> request =
            ArchiveTextRequest(name, item.size, where);
        if (!request)
            shown = Outcome::HexForLargeClusters;
        else if (viewers.archiveOrText(*request, kind))
            return Outcome::Shown;
        else if (viewer == PreviewViewer::Archive)
            tell(Notice::ArchiveNotListed);
    }
    viewers.hex(name, where);
    return shown;
}

} // namespace FoundFilePreview
