#include "filesystems/found_item_serializer.h"

#include "platform/text/byte_reader.h"
#include "platform/text/byte_writer.h"

std::vector<uint8_t> FoundItemSerializer::Write(const FoundItem& item) {
    std::vector<uint8_t> bytes(kSize, 0);
    ByteWriter writer(bytes);
    writer.PutU32(kOffsetTreeItem, item.treeItem);
    writer.PutU64(kOffsetSize, item.size);
    writer.PutU64(kOffsetParentId, item.parentId);
    writer.PutU64(kOffsetEntryId, item.entryId);
    writer.PutU64(kOffsetFirstCluster, item.firstCluster);
    writer.PutU8(kOffsetAttributes, item.attributes);
    writer.PutU32(kOffsetAccessLow, item.accessLow);
    writer.PutU32(kOffsetLastAccess, item.lastAccess);
    writer.PutU32(kOffsetModifiedTime, item.modifiedTime);
    writer.PutU32(kOffsetModifiedDate, item.modifiedDate);
    writer.PutU32(kOffsetCreatedTime, item.createdTime);
    writer.PutU32(kOffsetCreatedDate, item.createdDate);
    writer.PutU8(kOffsetCheckState, item.checkState);
    writer.PutU8(kOffsetDeleted, item.deleted);
    writer.PutU8(kOffsetNoData, item.noData);
    writer.PutU8(kOffsetContiguousData, item.contiguousData);
    return bytes;
}

bool FoundItemSerializer::Read(std::span<const uint8_t> bytes, FoundItem& out) {
    if (bytes.size() < kSize)
        return false;
    const ByteReader reader(bytes.first(kSize));
    FoundItem item;
    bool ok =
        reader.ReadU32(kOffsetTreeItem, item.treeItem) && reader.ReadU64(kOffsetSize, item.size) &&
        reader.ReadU64(kOffsetParentId, item.parentId) &&
        reader.ReadU64(kOffsetEntryId, item.entryId) &&
        reader.ReadU64(kOffsetFirstCluster, item.firstCluster) &&
        reader.ReadU8(kOffsetAttributes, item.attributes) &&
        reader.ReadU32(kOffsetAccessLow, item.accessLow) &&
        reader.ReadU32(kOffsetLastAccess, item.lastAccess) &&
        reader.ReadU32(kOffsetModifiedTime, item.modifiedTime) &&
        reader.ReadU32(kOffsetModifiedDate, item.modifiedDate) &&
        reader.ReadU32(kOffsetCreatedTime, item.createdTime) &&
        reader.ReadU32(kOffsetCreatedDate, item.createdDate) &&
        reader.ReadU8(kOffsetCheckState, item.checkState) &&
        reader.ReadU8(kOffsetDeleted, item.deleted) && reader.ReadU8(kOffsetNoData, item.noData) &&
        reader.ReadU8(kOffsetContiguousData, item.contiguousData);
    if (!ok)
        return false;
    out = item;
    return true;
}
