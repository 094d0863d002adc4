#pragma once

#include "diskio/sources/block_buffer.h"
#include "diskio/records/drive_node.h"
#include "diskio/sources/sector_source.h"
#include "filesystems/job_reporter.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class ImageOutputFile;
class JobRunner;
class JobWindow;
class ScanState;
struct JobMessage;

// The imaging job: copies a region of a drive's sectors, in order, into a disk-image file and
// appends the 1024-byte trailer that describes the drive (DiskImageTrailerSerializer), so that
// the program can open the file like a drive later. The region [first, last) is numbered as
// the drive node numbers its sectors: a volume's sectors count from its own start, and a
// volume placed on a disk is read from that disk (VolumeSourceOfNode).
//
// The region is split into 75 x 40 blocks of SectorsPerBlockFor(first, last) sectors, each
// painted on the progress dialog's sector map as it is read; a block is read in chunks of up
// to 2048 sectors, and a chunk that fails is read again sector by sector. A sector that still
// fails is zeros in the image, logged with its number, and turns its block red; the copy goes
// on. A stop request ends the copy after the chunk being read: the image keeps the sectors
// copied so far and still gets its trailer.
//
// An image file that would lie on the disk being copied (MayWriteOnSourceDisk) is made only
// after the person's Yes: its writes could overwrite the lost data.
//
// Every write and the close are checked: a failure ends the job as failed, names the partial
// file and opens nothing. The job reports only through the notify window: WM_IMAGE_START and
// WM_IMAGE_DONE, the sector-map messages, the dialog's texts (kJobSetImageProgressText), log
// rows and message boxes.
class CThreadForGridDialog {
public:
    struct Parameters {
        std::u16string imagePath;
        // A copy of the source's drive-list node: the job never looks at the list.
        DriveNode node;
        uint64_t firstSector = 0;
        // One past the region's last sector.
        uint64_t lastSector = 0;
        JobWindow* notifyWindow = nullptr;
        // Where the system lists disks and partitions, to tell whether the image file lies
        // on the disk being copied.
        std::filesystem::path sysfsRoot = "/sys";
    };

    static constexpr int kGridRows = 40;
    static constexpr int kGridColumns = 75;
    static constexpr uint64_t kBlockCount = uint64_t{kGridRows} * kGridColumns;
    static constexpr uint32_t kChunkSectors = 2048;

    // Controls of the progress dialog the job sets texts of.
    static constexpr int kDescriptionControl = 1003;
    static constexpr int kBlockSizeControl = 1010;
    static constexpr int kReadingSectorControl = 1006;
    static constexpr int kProcessedControl = 1005;

    // Images of the rows that have no ScanLog constant.
    static constexpr int kImageSectors = 0;
    static constexpr int kImageProcessStarted = 7;

    explicit CThreadForGridDialog(ScanState& state);

    void SetImageParams(std::u16string imagePath, const DriveNode& node, uint64_t firstSector,
                        uint64_t lastSector, JobWindow* notifyWindow);
    void SetParameters(const Parameters& parameters) { m_parameters = parameters; }
    const Parameters& GetParameters() const { return m_parameters; }

    // Hands a copy of this job to the runner; false when a job runs already.
    bool Start(JobRunner& runner) const;
    // The job on the calling thread. True when the image file holds its sectors and trailer
    // (also after a stop): what WM_IMAGE_DONE tells the window.
    bool Run();

    // Sectors per block of a region: enough for 3000 blocks to cover it, at least 1. A run keeps
    // its value to the end (the sector map's tooltips show it); the last blocks simply read
    // fewer sectors, or none.
    static uint64_t SectorsPerBlockFor(uint64_t firstSector, uint64_t lastSector);
    uint64_t SectorsPerBlock() const { return m_sectorsPerBlock; }
    // Sectors copied by the last run.
    uint64_t SectorsDone() const { return m_sectorsDone; }

    // Where the job reads a node's sectors: disks, removable disks and CD/DVD drives by their
    // drive code, volumes as VolumeSourceOfNode places them (through their image file when the
    // node has one). Nothing for images of drives and for nodes without their detail.
    static std::optional<SectorSource> SourceOfNode(const DriveNode& node);
    // The drive's text of the progress dialog (control 1003).
    static std::u16string Description(const DriveNode& node);

private:
    enum class CopyEnd {
        Finished,
        Stopped,
        WriteFailed,
    };

    // Creates the image file and copies into it; true when it holds its sectors and trailer.
    bool CreateAndCopy(ImageOutputFile& output, const std::filesystem::path& path);
    CopyEnd CopySectors(ImageOutputFile& output);
    // One block; false when a write failed.
    bool CopyRegion(ImageOutputFile& output);
    JobReporter Reporter() const;
    // A log row with its columns in the order this job fills them.
    void LogRow(const std::u16string& description, const std::u16string& status, int image,
                const std::u16string& activity = {}) const;
    void SetText(int controlId, std::u16string text) const;
    void ShowProcessed(uint64_t sectors) const;
    void ReportWriteFailure(int error) const;

    ScanState& m_state;
    Parameters m_parameters;
    SectorSource m_source;
    uint64_t m_sectorsPerBlock = 1;
    uint64_t m_sectorsDone = 0;
    bool m_blockFailed = false;
    BlockBuffer m_chunk;
    std::vector<uint64_t> m_failedSectors; // of the chunk being copied
};
