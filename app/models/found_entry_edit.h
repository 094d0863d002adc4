#pragma once

#include "app/models/found_entry_store.h"
#include "app/models/rename_check.h"

#include <QVariant>

#include <cstddef>

// What the file list's and the folder tree's setData do to an entry of the store: a check-box
// state writes through (the store cascades it), a new name replaces the old one only when
// ValidateRenamedName allows it. True when the store took the change; a refused name leaves the
// old one and sets `refusal` to why. Any other role changes nothing.
bool EditFoundEntry(FoundEntryStore& store, std::size_t entry, const QVariant& value, int role,
                    RenameCheck& refusal);
