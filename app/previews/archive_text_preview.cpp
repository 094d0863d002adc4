#include "app/previews/archive_text_preview.h"

#include "app/previews/preview_choice.h"
#include "archiveview/rar_zip_display.h"
#include "platform/text/utf_conversion.h"

std::optional<uint8_t> ArchiveTextPreviewKind(std::u16string_view extension) {
    // The extension alone is a name without a dot: the choice takes it whole.
    switch (ChoosePreviewViewer(Utf16ToUtf8(extension), 0, false)) {
    case PreviewViewer::Archive:
        return kPreviewKindArchive;
    case PreviewViewer::Text:
        return kPreviewKindText;
    default:
        return std::nullopt;
    }
}

std::vector<uint32_t> PreviewClusterArray(const ClusterList& clusters, uint8_t sectorsPerCluster) {
    std::vector<uint32_t> array = clusters.clusters;
    const uint64_t clusterBytes = static_cast<uint64_t>(sectorsPerCluster) * 512;
    if (clusterBytes == 0) {
        return array;
    }
    for (size_t index = 0; index < array.size(); ++index) {
        if (static_cast<uint64_t>(index) * clusterBytes >= clusters.validLength) {
            array[index] = ClusterList::kSparseCluster;
        }
    }
    return array;
}

PreviewFileInfo MakePreviewFileInfo(const ArchiveTextPreviewRequest& request,
                                    const std::vector<uint32_t>& clusters) {
    PreviewFileInfo info{};
    info.fileSize = request.fileSize;
    info.driveCode = request.driveCode;
    info.partitionType = request.ntfs ? kPartitionTypeNtfs : 2;
    info.sectorsPerCluster = request.sectorsPerCluster;
    info.clusters = clusters.empty() ? nullptr : clusters.data();
    // A list longer than the record can count is cut; the walks stop where it ends.
    info.clusterCount =
        clusters.size() > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(clusters.size());
    info.dataStartSector = request.dataStartSector;
    info.isImageFile = request.imageFile ? 1 : 0;
    info.skipRead = 0;
    return info;
}

bool ShowArchiveOrTextPreview(const ArchiveTextPreviewRequest& request, uint8_t kind) {
    const std::vector<uint32_t> clusters =
        PreviewClusterArray(request.clusters, request.sectorsPerCluster);
    PreviewFileInfo info = MakePreviewFileInfo(request, clusters);
    CRarZipDisplay display;
    return display.ShowFilePreview(nullptr, request.fileName.c_str(), &info, kind,
                                   request.imagePath.c_str());
}
