#pragma once

#include "app/previews/office_preview_setup.h"
#include "app/previews/preview_choice.h"

#include <cstdint>
#include <string_view>

class QWidget;
class RecoveredFileData;

// The office viewer's part of the Preview command, for one found Word, Excel, PowerPoint or
// Access file whose bytes `data` reads (FatFileData or NtfsFileData) and whose name on the
// volume is `name`; `size` is the file's size.
//
// Files larger than kMaxBytes, names whose extension is not DOC, XLS, PPT or MDB (any case),
// and files whose temporary copy cannot be written give 0 at once. Otherwise the file is
// copied into a private temporary document (a DOC, XLS or PPT only when its first bytes carry
// the compound-document signature; an MDB always), shown by COfficePreview with the title
// "Quillbrook", and the copy is emptied and deleted whatever happened.
//
// Returns COfficePreview::Preview's result: nonzero ends the command, 0 asks the caller for
// the hex view of the same file. A file of which sectors could not be read from the disk is
// not shown: 0, with `unreadable` set when given.
int PreviewOfficeFile(QWidget* parent, RecoveredFileData& data, uint64_t size,
                      std::u16string_view name,
                      const OfficePreviewSetup& setup = OfficePreviewSetup::Program(),
                      bool* unreadable = nullptr);

inline constexpr uint64_t kMaxOfficePreviewBytes = kPreviewBufferLimit;
