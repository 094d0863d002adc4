#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The committed picture fixtures: tests/fixtures/pictures.tar.xz unpacked and read into memory,
// file name to bytes. Empty, with the running test failed, when the archive cannot be read.
std::map<std::string, std::vector<uint8_t>> LoadPictureFixtures();

// One manifest row of the picture fixtures (pictures.manifest).
struct PictureCase {
    std::string file;
    uint32_t type = 0;
    std::string rgbSha256;
    std::string alphaSha256; // "-": the picture has no alpha plane
    int tolerance = 0;
    std::string transparentIndex; // "-" or a number
    std::string frames;           // "-" or a number
    std::string dpi;              // "-" or "<x>x<y>"
    std::string reference;        // "-" or the file of expected R, G, B bytes
};

std::vector<PictureCase> ParsePictureManifest(const std::vector<uint8_t>& text);
