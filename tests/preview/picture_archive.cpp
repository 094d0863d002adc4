#include "tests/preview/picture_archive.h"

#include "tests/support/fixture_image.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

namespace {

// Reads a ustar archive: 512-byte headers, name at 0, octal size at 124, data padded to 512.
std::map<std::string, std::vector<uint8_t>> ReadTar(const std::vector<uint8_t>& tar) {
    std::map<std::string, std::vector<uint8_t>> files;
    size_t at = 0;
    while (at + 512 <= tar.size() && tar[at] != 0) {
        const char* header = reinterpret_cast<const char*>(tar.data() + at);
        std::string name(header, strnlen(header, 100));
        const uint64_t size = std::strtoull(std::string(header + 124, 12).c_str(), nullptr, 8);
        const char kind = header[156];
        at += 512;
        if (at + size > tar.size()) {
            ADD_FAILURE() << "archive cut short at " << name;
            return {};
        }
        if (name.rfind("./", 0) == 0)
            name = name.substr(2);
        if (kind == '0' || kind == 0)
            files[name].assign(tar.begin() + static_cast<long>(at),
                               tar.begin() + static_cast<long>(at + size));
        at += (size + 511) / 512 * 512;
    }
    return files;
}

} // namespace

std::map<std::string, std::vector<uint8_t>> LoadPictureFixtures() {
    TempDir temp;
    const auto tar = UnpackFixture("pictures.tar", temp);
    if (tar.empty()) {
        ADD_FAILURE() << "pictures.tar.xz could not be unpacked";
        return {};
    }
    std::ifstream in(tar, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    return ReadTar(bytes);
}

std::vector<PictureCase> ParsePictureManifest(const std::vector<uint8_t>& text) {
    std::vector<PictureCase> cases;
    std::istringstream lines(std::string(text.begin(), text.end()));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields;
        std::istringstream cells(line);
        std::string cell;
        while (std::getline(cells, cell, '\t'))
            fields.push_back(cell);
        if (fields.size() != 9) {
            ADD_FAILURE() << "bad manifest row: " << line;
            continue;
        }
        PictureCase c;
        c.file = fields[0];
        c.type = static_cast<uint32_t>(std::stoul(fields[1]));
        c.rgbSha256 = fields[2];
        c.alphaSha256 = fields[3];
        c.tolerance = std::stoi(fields[4]);
        c.transparentIndex = fields[5];
        c.frames = fields[6];
        c.dpi = fields[7];
        c.reference = fields[8];
        cases.push_back(c);
    }
    return cases;
}
