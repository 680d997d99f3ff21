#include "locale/viewer.h"

const char kViewerWindowTitle[] = "KESTRAVON DASHCAM PC VIEWER";
