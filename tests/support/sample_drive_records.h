#pragma once

#include "diskio/records/logical_drive_info.h"

// A volume record with every field set, each to a value of its own (non-ASCII texts, numbers
// whose bytes differ), so that a serializer test shows a field written to the wrong place.
inline LogicalDriveInfo SampleLogicalDriveInfo() {
    LogicalDriveInfo info;
    info.drive = 0x03;
    info.rootPath = u"D:\\";
    info.reserved = u"r\u00E9serv\u00E9";
    info.typeName = u"FIXED";
    info.freeBytes = 0x1122334455667788;
    info.totalBytes = 0x2233445566778899;
    info.fileSystem = u"NTFS";
    info.spanned = 0x05;
    info.disk = 0x81;
    info.firstSector = 0x0000000A0B0C0D0E;
    info.totalSectors = 0x0000000B0C0D0E0F;
    info.lastSector = 0x0000000C0D0E0F10;
    info.partitionType = 0x07;
    info.foundVolume.sectorsPerFat = 0x31323334;
    info.foundVolume.reservedSectors = 0x41424344;
    info.foundVolume.rootFolderSectors = 0x5152;
    info.foundVolume.sectorsPerCluster = 0x61;
    info.foundVolume.rootCluster = 0x71727374;
    info.foundVolume.folderClusters = {9, 10, 11};
    info.foundVolume.mftSector = 0x81828384;
    info.foundVolume.mftMirrorSector = 0x91929394;
    info.foundVolume.ntfsSectorsPerCluster = 0xA1A2;
    info.sizeText = u"1.50 TB";
    return info;
}
