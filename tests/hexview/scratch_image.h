#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// An image file in a fresh temporary folder whose sector n holds the byte pattern of n, so a
// read shows which sector it came from. Removed with the object.
class ScratchImage {
public:
    explicit ScratchImage(uint64_t sectors);
    ~ScratchImage();
    ScratchImage(const ScratchImage&) = delete;
    ScratchImage& operator=(const ScratchImage&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::u16string Path16() const;
    const std::filesystem::path& Folder() const { return m_folder; }

    // The 512 bytes the image holds at `sector`.
    static std::vector<uint8_t> SectorBytes(uint64_t sector);

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_path;
};
