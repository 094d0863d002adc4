#include "app/dialogs/settings/advance_settings_rules.h"

#include "jobs/scan/scan_state.h"
#include "platform/settings/settings_store.h"

#include <optional>

namespace advance_settings {

Values Load(const SettingsStore& settings, const ScanState& state) {
    Values values;
    values.saveLog = state.saveLogOnClose.load() != 0;
    values.signatureSearch = state.signatureSearch.load() != 0;
    values.readAttempts = state.readAttempts.load();
    values.logPath = state.logPath;
    // A fresh reader of the file: the values it holds now, whatever this run changed in memory.
    SettingsStore file(settings.File());
    if (!settings.File().empty() && file.Load()) {
        if (std::optional<uint32_t> value = file.GetDword(ScanState::kSaveLogName))
            values.saveLog = *value != 0;
        if (std::optional<uint32_t> value = file.GetDword(ScanState::kReadAttemptsName))
            values.readAttempts = *value;
        if (std::optional<std::u16string> value = file.GetString(ScanState::kLogPathName))
            values.logPath = std::move(*value);
    }
    if (values.logPath.size() > ScanState::kMaxLogPathUnits)
        values.logPath.resize(ScanState::kMaxLogPathUnits);
    values.readAttempts = ReadAttemptsAt(ReadAttemptsPosition(values.readAttempts));
    return values;
}

int ReadAttemptsPosition(uint32_t readAttempts) {
    if (readAttempts < kMinReadAttempts || readAttempts > kMaxReadAttempts)
        return 0;
    return static_cast<int>(readAttempts - kMinReadAttempts);
}

uint32_t ReadAttemptsAt(int position) {
    if (position < 0 || position > static_cast<int>(kMaxReadAttempts - kMinReadAttempts))
        return kMinReadAttempts;
    return kMinReadAttempts + static_cast<uint32_t>(position);
}

bool Store(const Values& values, SettingsStore& settings, ScanState& state) {
    state.saveLogOnClose = values.saveLog ? 1 : 0;
    state.signatureSearch = values.signatureSearch ? 1 : 0;
    state.readAttempts = ReadAttemptsAt(ReadAttemptsPosition(values.readAttempts));
    state.logPath = values.logPath.substr(0, ScanState::kMaxLogPathUnits);
    if (settings.File().empty())
        return false;
    const bool stored = settings.SetDword(ScanState::kSaveLogName, state.saveLogOnClose) &&
                        settings.SetDword(ScanState::kReadAttemptsName, state.readAttempts) &&
                        settings.SetString(ScanState::kLogPathName, state.logPath);
    return stored && settings.Save();
}

} // namespace advance_settings
