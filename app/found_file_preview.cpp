#include "app/found_file_preview.h"

#include "app/models/found_entry_store.h"
#include "hexview/display_hex_viewer.h"
#include "jobs/scan_state.h"
#include "platform/utf_conversion.h"

#include <QApplication>

#include <algorithm>

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

} // namespace

Viewer ChooseViewer(std::u16string_view) {
    return Viewer::Hex;
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
    if (store.Kind() == FoundEntryStore::VolumeKind::Ntfs) {
        CNtfsFileSystem* volume = state.NtfsVolume();
        return volume != nullptr ? NtfsFoundFileClusters(*volume, item) : FoundFileClusters{};
    }
    CFatFileSystem* volume = state.FatVolume();
    return volume != nullptr ? FatFoundFileClusters(*volume, item, InDeletedFolder(store, entry))
                             : FoundFileClusters{};
}

Outcome Show(ScanState& state, const FoundEntryStore& store, std::size_t entry) {
    if (entry >= store.Size())
        return Outcome::NotAFile;
    const FoundFileClusters where = EntryClusters(state, store, entry);
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
    const std::u16string& name = store.At(entry).name;
    // A folder has only its hex view.
    switch (store.At(entry).item.IsFolder() ? Viewer::Hex : ChooseViewer(name)) {
    case Viewer::Hex:
        ShowHex(name, where);
        break;
    }
    return Outcome::Shown;
}

} // namespace FoundFilePreview
