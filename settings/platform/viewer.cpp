#include "platform/viewer.h"

const char kViewerWindowTitle[] = "KESTRAVON DASHCAM PC VIEWER";
