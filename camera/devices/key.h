// Key input device: the board's button (KEY_F1) and the memory card's insertion and removal.
#pragma once

#include "app/q7_app_main.h"

// Reads the key device until KEY_F1 is pressed (1) or `quit` is set or the device fails (0).
int key_main(ThreadCtrl *ctrl);
int key_exit(int fd);
int key_thr_create(ThreadCtrl *ctrl);
