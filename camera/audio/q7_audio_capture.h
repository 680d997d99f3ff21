// Recording capture of the microphone.
#pragma once

int Audio_capture_start(void);
int Audio_capture_stop(void);
