#include "filesystems/recovered_file_data.h"

RecoveredFileData::~RecoveredFileData() = default;
