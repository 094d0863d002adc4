#include "app/models/found_entry_edit.h"

#include <string>

bool EditFoundEntry(FoundEntryStore& store, std::size_t entry, const QVariant& value, int role,
                    RenameCheck& refusal) {
    refusal = RenameCheck::Ok;
    if (role == Qt::CheckStateRole) {
        store.SetCheck(entry, value.toInt() == Qt::Checked);
        return true;
    }
    if (role == Qt::EditRole) {
        const std::u16string name = value.toString().toStdU16String();
        refusal = ValidateRenamedName(name);
        return refusal == RenameCheck::Ok && store.RenameEntry(entry, name);
    }
    return false;
}
