// The end of a disk-image file, over any bytes: the first 8 bytes give the file's size, the
// ninth how many nodes the drive list holds (255: every number taken), the rest the trailer.
// A trailer that reads writes back to bytes that read to the same node, and writing that gives
// the same bytes again. An image is accepted exactly when its trailer passes the check, the file
// holds a sector before it and a number is free; the node it becomes is an image kind, sized
// from the file less the trailer, reading no drive, numbered apart from the listed nodes.
#include "diskio/sources/disk_image_file.h"
#include "diskio/records/disk_image_trailer_serializer.h"

#include <cstdlib>
#include <list>
#include <set>
#include <span>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void RoundTrip(std::span<const uint8_t> trailer) {
    DriveNode first;
    const bool read = DiskImageTrailerSerializer::Read(trailer, first);
    Check(!read || trailer.size() >= DiskImageTrailerSerializer::kSize);
    if (!read)
        return;
    const std::vector<uint8_t> written = DiskImageTrailerSerializer::Write(first);
    Check(written.size() == DiskImageTrailerSerializer::kSize);
    DriveNode second;
    Check(DiskImageTrailerSerializer::Read(written, second));
    Check(second == first);
    Check(DiskImageTrailerSerializer::Write(second) == written);
}

std::list<DriveNode> Listed(uint8_t shape) {
    std::list<DriveNode> nodes;
    const unsigned count = shape == 255 ? 256 : shape;
    for (unsigned i = 0; i < count; ++i) {
        nodes.emplace_back();
        // Numbers out of order, from both ends, with the disk codes among them.
        nodes.back().number = static_cast<uint8_t>(shape == 255 ? i : (i * 37 + shape) & 0xFF);
    }
    return nodes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 9)
        return 0;
    uint64_t fileBytes = 0;
    for (int i = 0; i < 8; ++i)
        fileBytes |= uint64_t{data[i]} << (8 * i);
    const std::list<DriveNode> listed = Listed(data[8]);
    const std::span<const uint8_t> trailer(data + 9, size - 9);

    RoundTrip(trailer);
    const bool valid = disk_image_file::CheckImageTrailer(trailer);
    const ImageFileLoad load =
        disk_image_file::ImageNodeFromTrailer(trailer, fileBytes, u"/images/fuzz.img", listed);
    std::set<uint8_t> numbers;
    for (const DriveNode& node : listed)
        numbers.insert(node.number);
    const bool room = fileBytes >= disk_image_file::kTrailerBytes + 512;
    if (!valid || !room) {
        Check(load.refusal == ImageFileRefusal::NotAnImage && !load.node);
        return 0;
    }
    bool numberLeft = false;
    for (unsigned n = 0; n < 256 && !numberLeft; ++n)
        numberLeft = numbers.count(static_cast<uint8_t>(n)) == 0 && !(n >= 0x80 && n <= 0x97);
    if (!numberLeft) {
        Check(load.refusal == ImageFileRefusal::NoNumberLeft && !load.node);
        return 0;
    }
    Check(load.refusal == ImageFileRefusal::None && load.node.has_value());
    const DriveNode& node = *load.node;
    Check(numbers.count(node.number) == 0 && !(node.number >= 0x80 && node.number <= 0x97));
    Check(node.imagePath == u"/images/fuzz.img");
    const uint64_t sectors = (fileBytes - disk_image_file::kTrailerBytes) / 512;
    switch (node.kind) {
    case DriveKind::DiskImage:
    case DriveKind::CdRomImage:
        Check(node.Physical() != nullptr && node.Physical()->totalSectors == sectors &&
              node.Physical()->drive == disk_image_file::kNoDrive);
        Check(node.kind == DriveKind::DiskImage || !node.Physical()->identify);
        break;
    case DriveKind::VolumeImage:
        Check(node.Logical() != nullptr && node.Logical()->totalSectors == sectors &&
              node.Logical()->firstSector == 0 && node.Logical()->lastSector == sectors - 1 &&
              node.Logical()->disk == disk_image_file::kNoDrive &&
              node.Logical()->foundVolume.folderClusters.empty());
        break;
    default:
        Check(false);
    }
    // The node an image becomes is no image the program makes again.
    Check(!disk_image_file::CheckImageTrailer(DiskImageTrailerSerializer::Write(node)));
    return 0;
}
