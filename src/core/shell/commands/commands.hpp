// Every handler behind the window's menus and controls, for the front ends in one include.
#pragma once

#include "shell/commands/archive_commands.hpp"
#include "shell/commands/archive_import.hpp"
#include "shell/commands/export_commands.hpp"
#include "shell/commands/form_load.hpp"
#include "shell/commands/frame_commands.hpp"
#include "shell/commands/history_commands.hpp"
#include "shell/commands/image_commands.hpp"
#include "shell/commands/live_commands.hpp"
#include "shell/commands/open_commands.hpp"
#include "shell/commands/record_commands.hpp"
#include "shell/commands/share_commands.hpp"
#include "shell/commands/ssdv_commands.hpp"
