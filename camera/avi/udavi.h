// Handle interface of the AVI library.
#pragma once

int LIBAVI_recoverFile(char *filePullPath);
const char *LIBAVI_recoverGetErrMsg(void);
