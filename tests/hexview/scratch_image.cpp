#include "tests/hexview/scratch_image.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

ScratchImage::ScratchImage(uint64_t sectors) {
    std::string pattern = (std::filesystem::temp_directory_path() / "hexview-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("no temporary folder");
    m_folder = pattern;
    m_path = m_folder / "disk.img";
    std::ofstream out(m_path, std::ios::binary);
    for (uint64_t s = 0; s < sectors; ++s) {
        const std::vector<uint8_t> bytes = SectorBytes(s);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
}

ScratchImage::~ScratchImage() {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

std::u16string ScratchImage::Path16() const {
    const std::string path = m_path.string();
    return std::u16string(path.begin(), path.end());
}

std::vector<uint8_t> ScratchImage::SectorBytes(uint64_t sector) {
    std::vector<uint8_t> bytes(512);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(sector * 7 + i + 1);
    bytes[0] = static_cast<uint8_t>(sector);
    bytes[1] = static_cast<uint8_t>(sector >> 8);
    return bytes;
}
