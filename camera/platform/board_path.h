// Every absolute path of the program goes through board_path: on a PC the board's file system
// is a folder named by the environment variable Q7_ROOT, which is put in front of the path.
// On the board Q7_ROOT is unset (or empty) and paths are used as they are.
#pragma once

#include <string>

std::string board_path(const char *path);

// Runs a shell command with system(). The board's own tools may be missing on a PC; callers
// ignore the result where the program does.
int board_shell(const char *command);
