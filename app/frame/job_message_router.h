#pragma once

#include "app/frame/handler_table.h"
#include "platform/jobs/job_messages.h"

// The frame's job messages by id: each runs the one handler registered for it; messages without
// one are left to the views.
using JobMessageRouter = HandlerTable<JobMessage&>;
