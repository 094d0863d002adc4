#include "jobs/recovery/recovered_file_sink.h"

RecoveredFileSink::~RecoveredFileSink() = default;
