#include "jobs/recovery_destination.h"

RecoveryDestination::~RecoveryDestination() = default;
