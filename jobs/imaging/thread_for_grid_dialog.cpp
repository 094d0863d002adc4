#include "jobs/imaging/thread_for_grid_dialog.h"

#include "diskio/inventory/disk_name.h"

#include "diskio/records/disk_image_trailer_serializer.h"
#include "diskio/sources/volume_source.h"
#include "filesystems/scan_log.h"
#include "jobs/imaging/image_output_file.h"
#include "jobs/scan/scan_state.h"
#include "jobs/recovery/source_disk_question.h"
#include "platform/jobs/job_messages.h"
#include "platform/jobs/job_runner.h"
#include "platform/jobs/job_window.h"
#include "platform/resources/program_string.h"
#include "platform/text/utf_conversion.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string_view>
#include <utility>

namespace {

constexpr uint32_t kSectorBytes = SectorSource::kSectorBytes;
constexpr double kSectorsPerMegabyte = 2048.0;

std::u16string Text(uint32_t id) {
    return ProgramString(id);
}

std::u16string_view Format(uint32_t id) {
    return StringTable::Program().Get(id);
}

// Identify texts fill their fields and may lack a terminator.
std::u16string IdentifyText(const std::string& text, size_t limit) {
    std::string_view view(text);
    view = view.substr(0, std::min({limit, view.size(), view.find('\0')}));
    return Utf8ToUtf16(view);
}

uint64_t RegionSectors(uint64_t first, uint64_t last) {
    return last > first ? last - first : 0;
}

} // namespace

CThreadForGridDialog::CThreadForGridDialog(ScanState& state) : m_state(state) {}

void CThreadForGridDialog::SetImageParams(std::u16string imagePath, const DriveNode& node,
                                          uint64_t firstSector, uint64_t lastSector,
                                          JobWindow* notifyWindow) {
    m_parameters.imagePath = std::move(imagePath);
    m_parameters.node = node;
    m_parameters.firstSector = firstSector;
    m_parameters.lastSector = lastSector;
    m_parameters.notifyWindow = notifyWindow;
}

bool CThreadForGridDialog::Start(JobRunner& runner) const {
    return runner.Start([job = *this]() mutable { job.Run(); });
}

uint64_t CThreadForGridDialog::SectorsPerBlockFor(uint64_t firstSector, uint64_t lastSector) {
    const uint64_t sectors = RegionSectors(firstSector, lastSector);
    return std::max<uint64_t>(1, sectors / kBlockCount + (sectors % kBlockCount != 0 ? 1 : 0));
}

std::optional<SectorSource> CThreadForGridDialog::SourceOfNode(const DriveNode& node) {
    if (DiskImageTrailerSerializer::StoresDiskRecord(node.kind)) {
        const PhysicalDiskInfo* disk = node.Physical();
        if (disk == nullptr)
            return std::nullopt;
        return SectorSource::ForDrive(disk->drive);
    }
    switch (node.kind) {
    case DriveKind::DiskImage:
    case DriveKind::VolumeImage:
    case DriveKind::CdRomImage:
        return std::nullopt;
    default:
        return VolumeSourceOfNode(node, !node.imagePath.empty());
    }
}

std::u16string CThreadForGridDialog::Description(const DriveNode& node) {
    if (const PhysicalDiskInfo* disk = node.Physical()) {
        if (node.kind == DriveKind::HardDisk) {
            if (std::u16string name = UnidentifiedDiskName(*disk, DeviceTable::Process());
                !name.empty())
                return name;
        }
        std::u16string serial;
        std::u16string model;
        if (node.kind == DriveKind::HardDisk && disk->identify) {
            serial = IdentifyText(disk->identify->serialNumber, DiskIdentifyInfo::kMaxSerialNumber);
            model = IdentifyText(disk->identify->model, DiskIdentifyInfo::kMaxModel);
        }
        return Text(kSerialNumberId) + serial + u"  " + Text(kModelNumberLabelId) + model + u"  " +
               Text(kDiskSizeLabelId) + disk->sizeText;
    }
    if (const LogicalDriveInfo* volume = node.Logical()) {
        // A lettered drive shows its letter; the lost-drive search's volumes carry their name
        // where the letter would be.
        const std::u16string where =
            node.kind == DriveKind::LogicalDrive
                ? FormatText(u"%c:  ", volume->rootPath.empty() ? u'?' : volume->rootPath[0])
                : volume->rootPath + u"  ";
        return Text(kLogicalDriveLabelId) + where + Text(kFileSystemId) +
               FormatText(u"%s   ", volume->fileSystem) + Text(kDiskSizeLabelId) + volume->sizeText;
    }
    return {};
}

// ---------------------------------------------------------------------------------------------
// Messages

void CThreadForGridDialog::LogRow(const std::u16string& description, const std::u16string& status,
                                  int image, const std::u16string& activity) const {
    Reporter().LogRow(activity, description, status, image);
}

void CThreadForGridDialog::SetText(int controlId, std::u16string text) const {
    Reporter().Send(MakeImageProgressText(controlId, std::move(text)));
}

void CThreadForGridDialog::ShowProcessed(uint64_t sectors) const {
    const uint64_t total = RegionSectors(m_parameters.firstSector, m_parameters.lastSector);
    SetText(kProcessedControl,
            FormatText(Format(kProcessedId), static_cast<double>(sectors) / kSectorsPerMegabyte,
                       static_cast<double>(total) / kSectorsPerMegabyte));
}

JobReporter CThreadForGridDialog::Reporter() const {
    return JobReporter(m_parameters.notifyWindow, &m_state.jobFlags);
}

// ---------------------------------------------------------------------------------------------
// The job

bool CThreadForGridDialog::Run() {
    const Parameters& p = m_parameters;
    Reporter().Send(MakeImageStart());
    m_state.jobFlags.stopRequested = false;
    m_state.parentAvailable = false;
    m_state.jobFlags.stoppable = true;
    m_sectorsDone = 0;

    const std::u16string description = Description(p.node);
    LogRow(description, Text(kPathId) + p.imagePath, ScanLog::kImageStarted, Text(kCreatingId));
    LogRow(FormatText(u"%s %llu , %s %llu", Text(kImagingStartingSectorId), p.firstSector,
                      Text(kImagingEndingSectorId), p.lastSector),
           {}, kImageSectors);
    LogRow(ScanLog::ProcessStarted(), ScanLog::StartedNow(), kImageProcessStarted);
    SetText(kDescriptionControl, description);
    m_sectorsPerBlock = SectorsPerBlockFor(p.firstSector, p.lastSector);
    const double blockMegabytes = static_cast<double>(m_sectorsPerBlock) / kSectorsPerMegabyte;
    SetText(kBlockSizeControl,
            Text(kBlockSizeId) + (blockMegabytes > 1
                                      ? FormatText(Format(kMegabytesFormatId), blockMegabytes)
                                      : FormatText(Format(kKilobytesFormatId),
                                                   static_cast<double>(m_sectorsPerBlock) / 2)));

    bool written = false;
    std::optional<SectorSource> source = SourceOfNode(p.node);
    ImageOutputFile output;
    const std::filesystem::path path(Utf16ToUtf8(p.imagePath));
    if (!source) {
        LogRow(Text(kCannotImageId), Text(kProcessFailedId), ScanLog::kImageAborted);
    } else {
        m_source = std::move(*source);
        const SourceDiskQuestion question{
            path,        m_source.UnderlyingPath(),
            p.sysfsRoot, FormatText(Format(kImageOnSourceDiskQuestionId), p.imagePath),
            {},          FormatText(Format(kImageOnSourceDiskId), p.imagePath)};
        if (!MayWriteOnSourceDisk(p.notifyWindow, question)) {
            LogRow(ScanLog::ProcessAborted(), ScanLog::AbortedNow(), ScanLog::kImageAborted);
        } else {
            written = CreateAndCopy(output, path);
        }
    }
    m_state.jobFlags.stoppable = false;
    Reporter().Send(MakeImageDone(written, p.imagePath));
    return written;
}

bool CThreadForGridDialog::CreateAndCopy(ImageOutputFile& output,
                                         const std::filesystem::path& path) {
    const Parameters& p = m_parameters;
    switch (output.Create(path, m_source.UnderlyingPath())) {
    case ImageOutputFile::Outcome::CannotOpen:
        LogRow(Text(kCannotOpenFileId), Text(kPathId) + p.imagePath, ScanLog::kImageAborted);
        return false;
    case ImageOutputFile::Outcome::IsTheSource:
        LogRow(FormatText(Format(kIsTheSourceId), p.imagePath), Text(kProcessFailedId),
               ScanLog::kImageAborted);
        return false;
    case ImageOutputFile::Outcome::Created:
        break;
    }
    const CopyEnd end = CopySectors(output);
    m_source.Close();
    if (end == CopyEnd::WriteFailed) {
        ReportWriteFailure(output.Error());
        return false;
    }
    const std::vector<uint8_t> trailer = DiskImageTrailerSerializer::Write(p.node);
    if (!output.Write(trailer) || !output.Close()) {
        ReportWriteFailure(output.Error());
        return false;
    }
    if (end == CopyEnd::Stopped) {
        Reporter().ShowMessage(Text(kAbortedBoxId) + p.imagePath, MessageBoxIcon::Error, false);
        LogRow(ScanLog::ProcessAborted(), ScanLog::AbortedNow(), ScanLog::kImageAborted);
    } else {
        ShowProcessed(m_sectorsDone);
        Reporter().ShowMessage(Text(kCompletedBoxId) + p.imagePath, MessageBoxIcon::Information,
                               false);
        LogRow(ScanLog::ProcessCompleted(), ScanLog::CompletedNow(), ScanLog::kImageCompleted);
    }
    LogRow(FormatText(u"%s %.2f MB", Text(kImageSizeId),
                      static_cast<double>(m_sectorsDone) / kSectorsPerMegabyte),
           {}, ScanLog::kImageStarted);
    return true;
}

void CThreadForGridDialog::ReportWriteFailure(int error) const {
    const std::u16string text = FormatText(Format(kCannotWriteImageFileId), m_parameters.imagePath,
                                           Utf8ToUtf16(std::strerror(error)));
    LogRow(text, Text(kProcessFailedId), ScanLog::kImageAborted);
    LogRow(FormatText(Format(kPartialImageId), m_parameters.imagePath), {}, ScanLog::kImagePartial);
    Reporter().ShowMessage(text, MessageBoxIcon::Error, false);
}

CThreadForGridDialog::CopyEnd CThreadForGridDialog::CopySectors(ImageOutputFile& output) {
    m_chunk.assign(size_t{kChunkSectors} * kSectorBytes, 0);
    for (int row = 0; row < kGridRows; ++row) {
        for (int column = 0; column < kGridColumns; ++column) {
            Reporter().Send(MakeSectorMapReading(row, column));
            if (!CopyRegion(output)) {
                Reporter().Send(MakeSectorMapFailed(row, column));
                return CopyEnd::WriteFailed;
            }
            Reporter().Send(m_blockFailed ? MakeSectorMapFailed(row, column)
                                          : MakeSectorMapDone(row, column));
            if (Reporter().Stopped())
                return CopyEnd::Stopped;
        }
    }
    return CopyEnd::Finished;
}

bool CThreadForGridDialog::CopyRegion(ImageOutputFile& output) {
    const Parameters& p = m_parameters;
    m_blockFailed = false;
    const uint64_t total = RegionSectors(p.firstSector, p.lastSector);
    if (m_sectorsDone >= total)
        return true;
    // The last blocks read what is left; the run's block size stays as it is.
    const uint64_t block = std::min(m_sectorsPerBlock, total - m_sectorsDone);
    for (uint64_t copied = 0; copied < block && !Reporter().Stopped();) {
        const auto count = static_cast<uint32_t>(std::min<uint64_t>(kChunkSectors, block - copied));
        const uint64_t sector = p.firstSector + m_sectorsDone;
        SetText(kReadingSectorControl, FormatText(Format(kImagingReadingSectorId), sector));
        uint8_t* buffer = m_chunk.data();
        m_failedSectors.clear();
        if (m_source.ReadSalvaging(sector, count, buffer, &m_failedSectors) != 0) {
            m_blockFailed = true;
            for (const uint64_t failed : m_failedSectors) {
                ShowProcessed(m_sectorsDone + (failed - sector));
                SetText(kReadingSectorControl, FormatText(Format(kImagingReadingSectorId), failed));
                LogRow(FormatText(Format(kErrorReadingSectorId), static_cast<long long>(failed)),
                       {}, ScanLog::kImageReadError);
            }
        }
        if (!output.Write(std::span<const uint8_t>(buffer, size_t{count} * kSectorBytes)))
            return false;
        m_sectorsDone += count;
        copied += count;
    }
    ShowProcessed(m_sectorsDone);
    return true;
}
