#pragma once

#include "diskio/records/drive_node.h"
#include "platform/text/byte_reader.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <vector>

// The drive nodes of a scan-information file, in list order, each node's 530 bytes followed by
// its detail:
//  - a hard disk or an image of one (kinds 0 and 6): the 77-byte disk record and a 76-byte
//    identify block (76 zero bytes when the disk has no identify data; the disk record's
//    marker tells which);
//  - any other kind: a 397-byte slot. Volumes (kinds 1, 2, 3, 7) hold their volume record
//    there, followed by the folder-cluster array (4 bytes per entry) when its marker is set;
//    removable disks and CD/DVD drives and images (kinds 4, 5, 8) hold their 77-byte disk
//    record at the slot's start and zeros after it, so the array marker reads as 0. They have
//    no identify block: identify data such a node holds is not stored.
// A node whose detail is not the record its kind carries stores zeros in the detail's place,
// with the node's detail marker clear, and reads back without detail: a reader skips the
// detail's fixed bytes of a node without the marker and takes no array after them.
class StoredDriveList {
public:
    static constexpr size_t kIdentifyBytes = 76;
    static constexpr size_t kSlotBytes = 397;

    // The stored bytes of one node and of a whole list. A volume's folder-cluster array longer
    // than the volume record's limit is cut to it, so the bytes always read back.
    static std::vector<uint8_t> WriteNode(const DriveNode& node);
    static std::vector<uint8_t> Write(const std::list<DriveNode>& nodes);

    // Reads one node at `offset`, which moves past it. Fails, leaving `out` and `offset` as
    // they were, at a node or detail that does not lie wholly inside, a kind outside 0 to 8, or
    // an array count above the limit or reaching past the end.
    static bool ReadNode(const ByteReader& bytes, size_t& offset, DriveNode& out);
    // Reads `count` nodes; fails, leaving `out` and `offset` as they were, when any fails.
    static bool Read(const ByteReader& bytes, size_t& offset, size_t count,
                     std::list<DriveNode>& out);
};
