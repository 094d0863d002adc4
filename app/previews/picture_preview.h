#pragma once

#include "app/previews/preview_choice.h"

#include <cstdint>
#include <string>
#include <vector>

class QWidget;
class RecoveredFileData;

// The picture preview of a found file, for the Preview command.

// Pictures larger than this go to the hex view.
inline constexpr uint64_t kPicturePreviewLimit = kPreviewBufferLimit;

// Whether the preview's choice by extension is the picture viewer.
bool IsPictureName(const std::u16string& name);

// The file's bytes as the preview holds them: zero-filled memory of
// ((size / 512 + 1) / sectorsPerCluster + 1) clusters, the pieces of `data` copied in one after
// the other and never past its end. Empty for sectorsPerCluster 0. `unreadable`, when given,
// is set when a piece could not be read from the disk (it came as zeros).
std::vector<uint8_t> ReadPictureBuffer(uint64_t size, uint32_t sectorsPerCluster,
                                       RecoveredFileData& data, bool* unreadable = nullptr);

// Shows the found file `name` of `size` bytes, read through `data`, in the image viewer, modally
// over `parent`, and returns Shown once the dialog has closed. Otherwise nothing is shown, for
// the caller's hex view: Declined when the name is not a picture's, the file is larger than
// kPicturePreviewLimit or sectorsPerCluster is 0; Unreadable when sectors of it could not be
// read; NotDecoded when no decoder accepts it, KindNotRead when besides no decoder reads
// pictures of its extension.
PreviewAnswer ShowPicturePreview(QWidget* parent, const std::u16string& name, uint64_t size,
                                 uint32_t sectorsPerCluster, RecoveredFileData& data);
