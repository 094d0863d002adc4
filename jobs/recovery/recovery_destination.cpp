#include "jobs/recovery/recovery_destination.h"

RecoveryDestination::~RecoveryDestination() = default;
