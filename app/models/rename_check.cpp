#include "app/models/rename_check.h"

namespace {

constexpr std::u16string_view kForbiddenCharacters = u"\"*/:<>?\\|";
constexpr uint32_t kBadCharacterMessage = 61565;
constexpr uint32_t kTooLongMessage = 61566;
constexpr uint32_t kEmptyMessage = 61567;

} // namespace

RenameCheck ValidateRenamedName(std::u16string_view name) {
    if (name.find_first_of(kForbiddenCharacters) != std::u16string_view::npos) {
        return RenameCheck::BadCharacter;
    }
    if (name.empty()) {
        return RenameCheck::Empty;
    }
    if (name.size() > kMaxRenamedNameLength) {
        return RenameCheck::TooLong;
    }
    return RenameCheck::Ok;
}

uint32_t RenameCheckMessageId(RenameCheck check) {
    switch (check) {
    case RenameCheck::Ok:
        return 0;
    case RenameCheck::BadCharacter:
        return kBadCharacterMessage;
    case RenameCheck::Empty:
        return kEmptyMessage;
    case RenameCheck::TooLong:
        return kTooLongMessage;
    }
    return 0;
}
