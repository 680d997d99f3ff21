#pragma once

// The skin's messages to the settings tool's debug log (DebugLog of file/debug_log.h): one line
// per message on standard error, never shown to the user.
#if defined(__GNUC__)
void SkinLog(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
#else
void SkinLog(const char* fmt, ...);
#endif
