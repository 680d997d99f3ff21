// Every absolute path of the program goes through board_path: on a PC the board's file system
// is a folder named by the environment variable Q7_ROOT, which is put in front of the path.
// On the board Q7_ROOT is unset (or empty) and paths are used as they are.
#pragma once

#include <string>

std::string board_path(const char *path);

// Writes `text` to the board file (a sysfs attribute) at the board path `path`, without a shell
// and without creating it: 0, or -1 when it cannot be opened or written, which callers ignore
// where the board may not have the attribute.
int board_write_attr(const char *path, const char *text);

// Runs a shell command with system(); only for fixed commands of the board's own tools (sync,
// fw_q7env), never with a path or typed text in them. The tools may be missing on a PC; callers
// ignore the result where the program does.
int board_shell(const char *command);
