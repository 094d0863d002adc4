#pragma once

#include "app/frame/handler_table.h"

// The frame's menu and toolbar commands by id; a command without a handler is one the frame
// leaves to others (the views' own context menus, the drive menu's Properties).
using CommandHandlerTable = HandlerTable<>;
