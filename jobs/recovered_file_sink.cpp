#include "jobs/recovered_file_sink.h"

RecoveredFileSink::~RecoveredFileSink() = default;
