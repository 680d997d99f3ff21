#pragma once

// The settings tool's debug log: one line per message on standard error, never shown to the
// user (the Windows tool wrote these with OutputDebugStringW).
#if defined(__GNUC__)
void SkinLog(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
#else
void SkinLog(const char* fmt, ...);
#endif
