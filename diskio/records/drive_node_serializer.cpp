#include "diskio/records/drive_node_serializer.h"

#include "platform/text/byte_reader.h"
#include "platform/text/byte_writer.h"

#include <variant>

static_assert(DriveNodeSerializer::kSize == 530);

std::vector<uint8_t> DriveNodeSerializer::Write(const DriveNode& node, bool hasNext) {
    std::vector<uint8_t> bytes(kSize, 0);
    ByteWriter writer(bytes);
    const bool hasDetail = !std::holds_alternative<std::monostate>(node.detail);
    writer.PutU32(kOffsetNext, hasNext ? 1 : 0);
    writer.PutU8(kOffsetNumber, node.number);
    writer.PutU8(kOffsetKind, static_cast<uint8_t>(node.kind));
    writer.PutU32(kOffsetDetail, hasDetail ? 1 : 0);
    writer.PutUtf16Field(kOffsetImagePath, node.imagePath, kImagePathUnits);
    return bytes;
}

bool DriveNodeSerializer::Read(std::span<const uint8_t> bytes, DriveNode& out, Links& links) {
    if (bytes.size() < kSize) {
        return false;
    }
    const ByteReader reader(bytes.first(kSize));
    uint32_t next = 0;
    uint32_t detail = 0;
    uint8_t kind = 0;
    DriveNode node;
    if (!reader.ReadU32(kOffsetNext, next) || !reader.ReadU8(kOffsetNumber, node.number) ||
        !reader.ReadU8(kOffsetKind, kind) || !reader.ReadU32(kOffsetDetail, detail) ||
        !reader.ReadStoredUtf16Field(kOffsetImagePath, kImagePathUnits, node.imagePath)) {
        return false;
    }
    if (kind > kHighestKind) {
        return false;
    }
    node.kind = static_cast<DriveKind>(kind);
    out = std::move(node);
    links.hasNext = next != 0;
    links.hasDetail = detail != 0;
    return true;
}

bool DriveNodeSerializer::Read(std::span<const uint8_t> bytes, DriveNode& out) {
    Links links;
    return Read(bytes, out, links);
}
