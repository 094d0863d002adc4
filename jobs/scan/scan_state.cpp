#include "jobs/scan/scan_state.h"

#include "diskio/sources/read_attempts_setting.h"
#include "filesystems/fat/fat_file_system.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "platform/settings/settings_store.h"

#include <optional>

ScanState::ScanState() {
    m_environment.flags = &jobFlags;
    m_environment.signatures = &activeSearch;
    m_environment.signatureSearchEnabled = kDefaultSignatureSearch != 0;
    ReadAttemptsSetting::Bind(&readAttempts);
}

ScanState::~ScanState() {
    // The sector layer must not keep reading a field that is going away.
    ReadAttemptsSetting::Bind(nullptr);
    m_volume = std::monostate();
}

// ---------------------------------------------------------------------------------------------
// The current volume

CFatFileSystem* ScanState::FatVolume() const {
    const auto* fat = std::get_if<std::unique_ptr<CFatFileSystem>>(&m_volume);
    return fat != nullptr ? fat->get() : nullptr;
}

CNtfsFileSystem* ScanState::NtfsVolume() const {
    const auto* ntfs = std::get_if<std::unique_ptr<CNtfsFileSystem>>(&m_volume);
    return ntfs != nullptr ? ntfs->get() : nullptr;
}

ClusterVolume* ScanState::Volume() const {
    if (CFatFileSystem* fat = FatVolume())
        return fat;
    return NtfsVolume();
}

bool ScanState::HasVolume() const {
    return Volume() != nullptr;
}

CFatFileSystem& ScanState::NewFatVolume() {
    // The old reader goes first: two readers never exist side by side.
    FreeVolume();
    auto reader = std::make_unique<CFatFileSystem>(m_environment);
    CFatFileSystem& made = *reader;
    m_volume = std::move(reader);
    return made;
}

CNtfsFileSystem& ScanState::NewNtfsVolume() {
    FreeVolume();
    auto reader = std::make_unique<CNtfsFileSystem>(m_environment);
    CNtfsFileSystem& made = *reader;
    m_volume = std::move(reader);
    return made;
}

void ScanState::FreeVolume() {
    m_volume = std::monostate();
}

void ScanState::AdoptVolume(std::unique_ptr<CFatFileSystem> volume) {
    FreeVolume();
    if (volume)
        m_volume = std::move(volume);
}

void ScanState::AdoptVolume(std::unique_ptr<CNtfsFileSystem> volume) {
    FreeVolume();
    if (volume)
        m_volume = std::move(volume);
}

uint32_t ScanState::VolumeFoundCount() const {
    const ClusterVolume* volume = Volume();
    return volume != nullptr ? volume->FoundCount() : 0;
}

// ---------------------------------------------------------------------------------------------
// Settings

void ScanState::LoadSettings(const SettingsStore& store) {
    if (std::optional<uint32_t> value = store.GetDword(kLanguageName))
        language = *value;
    if (std::optional<uint32_t> value = store.GetDword(kSaveLogName))
        saveLogOnClose = *value;
    if (std::optional<uint32_t> value = store.GetDword(kSignatureSearchName))
        signatureSearch = *value;
    if (std::optional<uint32_t> value = store.GetDword(kReadAttemptsName))
        readAttempts = *value;
    if (std::optional<std::u16string> value = store.GetString(kLogPathName)) {
        if (value->size() > kMaxLogPathUnits)
            value->resize(kMaxLogPathUnits);
        logPath = std::move(*value);
    }
}

bool ScanState::SaveSettings(SettingsStore& store) const {
    const bool stored =
        store.SetDword(kLanguageName, language) && store.SetDword(kSaveLogName, saveLogOnClose) &&
        store.SetDword(kReadAttemptsName, readAttempts) && store.SetString(kLogPathName, logPath);
    return stored && store.Save();
}

// ---------------------------------------------------------------------------------------------
// Ends of jobs and scans

void ScanState::ResetScanFlags() {
    jobFlags.stopRequested = false;
    jobFlags.stoppable = false;
    parentAvailable = false;
    if (VolumeFoundCount() > 0)
        resultsAvailable = true;
}

void ScanState::FreeFoundLists() {
    signatureLists.user.clear();
    signatureLists.user.shrink_to_fit();
    pendingNames.clear();
    pendingNames.shrink_to_fit();
    filterExtensions.clear();
    filterExtensions.shrink_to_fit();
}
