#include "app/models/rename_check.h"
#include "resources/string_ids.h"

namespace {

constexpr std::u16string_view kForbiddenCharacters = u"\"*/:<>?\\|";

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
        return kBadCharacterMessageId;
    case RenameCheck::Empty:
        return kEmptyMessageId;
    case RenameCheck::TooLong:
        return kTooLongMessageId;
    }
    return 0;
}
