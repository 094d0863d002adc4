#include "tests/support/archive_fixtures.h"

#include "tests/support/fixture_image.h"
#include "tests/support/shell_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, '\t')) {
        fields.push_back(field);
    }
    return fields;
}

std::vector<std::vector<std::string>> Rows(std::istream& in, const std::string& where,
                                           size_t fieldCount) {
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        auto fields = Fields(line);
        EXPECT_EQ(fields.size(), fieldCount) << where << ": " << line;
        if (fields.size() == fieldCount) {
            rows.push_back(std::move(fields));
        }
    }
    return rows;
}

std::vector<std::vector<std::string>> Rows(const std::filesystem::path& path, size_t fieldCount) {
    std::ifstream in(path);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    return Rows(in, path.string(), fieldCount);
}

std::vector<OracleEntry> OracleEntries(const std::vector<std::vector<std::string>>& rows) {
    std::vector<OracleEntry> entries;
    for (const auto& row : rows) {
        entries.push_back({row[0], std::stoull(row[1]), std::stoull(row[2]), row[3]});
    }
    return entries;
}

} // namespace

std::vector<OracleEntry> ReadOracleListing(std::string_view archive) {
    return OracleEntries(Rows(FixturesFolder() / (std::string(archive) + ".listing"), 4));
}

std::vector<OracleEntry> ListWithOracle(const std::filesystem::path& archive) {
    std::string output;
    const int status =
        RunCommand("python3 " + ShellQuote((FixturesFolder() / "list_archives.py").string()) +
                       " listing " + ShellQuote(archive.string()),
                   &output);
    EXPECT_EQ(status, 0) << "list_archives.py cannot list " << archive;
    std::istringstream in(output);
    return OracleEntries(Rows(in, archive.string(), 4));
}

std::vector<ArchiveClusters> ReadArchiveClusters(std::string_view name) {
    std::vector<ArchiveClusters> result;
    for (const auto& row : Rows(FixturesFolder() / (std::string(name) + ".clusters"), 5)) {
        ArchiveClusters clusters;
        clusters.path = row[0];
        clusters.size = std::stoull(row[1]);
        clusters.dataStartSector = std::stoull(row[2]);
        clusters.sectorsPerCluster = static_cast<uint8_t>(std::stoul(row[3]));
        std::stringstream list(row[4]);
        uint32_t cluster = 0;
        while (list >> cluster) {
            clusters.clusters.push_back(cluster);
        }
        result.push_back(std::move(clusters));
    }
    return result;
}

ArchiveClusters ClustersOf(const std::vector<ArchiveClusters>& rows, std::string_view archive) {
    for (const auto& row : rows) {
        if (row.path == archive) {
            return row;
        }
    }
    ADD_FAILURE() << "no cluster list for " << archive;
    return {};
}

const std::vector<ArchiveVolume>& ArchiveVolumes() {
    static const std::vector<ArchiveVolume> volumes = {
        {"archives_fat",
         false,
         {"zip_python.zip", "zip_infozip.zip", "zip_large.zip", "rar4_hosts.rar", "rar5.rar"}},
        {"archives_ntfs", true, {"zip_python.zip", "rar4_hosts.rar"}},
    };
    return volumes;
}

void ForEachArchiveOnVolumes(
    const TempDir& folder,
    const std::function<void(const ArchiveVolume&, const std::filesystem::path& image,
                             const ArchiveClusters&)>& visit) {
    for (const auto& volume : ArchiveVolumes()) {
        const auto image = UnpackFixture(std::string(volume.image) + ".img", folder);
        ASSERT_FALSE(image.empty()) << volume.image;
        const auto rows = ReadArchiveClusters(volume.image);
        for (const auto& archive : volume.archives) {
            SCOPED_TRACE(std::string(volume.image) + " " + archive);
            visit(volume, image, ClustersOf(rows, archive));
        }
    }
}

std::string DosStampAsOracleText(uint32_t dosDateTime) {
    const uint32_t date = dosDateTime >> 16;
    const uint32_t time = dosDateTime & 0xFFFF;
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1980 + (date >> 9),
                  (date >> 5) & 0x0F, date & 0x1F, time >> 11, (time >> 5) & 0x3F,
                  (time & 0x1F) * 2);
    return text;
}
