#include "diskio/sources/image_file_reader.h"

#include "platform/devices/device_handle.h"

bool ImageFileReader::ReadBytes(const std::string& path, uint64_t byteOffset, void* buffer,
                                size_t byteCount) {
    DeviceHandle file = DeviceHandle::OpenPath(path);
    return file.ReadAt(byteOffset, buffer, byteCount);
}

bool ImageFileReader::ReadSectors(const std::string& path, uint64_t baseOffset, uint64_t sector,
                                  void* buffer, uint32_t sectorCount) {
    if (sector > (UINT64_MAX - baseOffset) / 512)
        return false;
    return ReadBytes(path, baseOffset + sector * 512, buffer,
                     static_cast<size_t>(sectorCount) * 512);
}
