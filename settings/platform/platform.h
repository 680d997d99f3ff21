// What the settings tool asks of the system it runs on. platform/windows implements it with the
// Windows calls the tool was written for, platform/linux with their Linux stand-ins; the build
// compiles one of the two, and nothing else in settings/ asks which.
//
// Paths cross this interface in Qt's form ('/' separators, "E:/SETTING/" on Windows); each side
// converts to its system's form where it calls the system.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class ViewerProbe;
struct CurrentTimeZone;
struct RegistryKey;

namespace platform {

// The debug log's sink (OutputDebugStringW). The message as the tool logged it, line feeds and
// all; nothing written here is shown to the user.
void WriteDebugOutput(const QString &message);

// The maker's PC viewer: its LANGUAGE registry value and its main window.
const ViewerProbe &Viewer();

// The PC's time zone database, as the keys and values under
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Time Zones (kTimeZonesKey),
// in enumeration order.
QList<RegistryKey> TimeZoneDatabase();
// The PC's current zone as GetTimeZoneInformation tells it; database is what TimeZoneDatabase()
// returned (a side that has no zone query of its own looks the zone up there).
CurrentTimeZone CurrentZone(const QList<RegistryKey> &database);

// Font files the skin's faces come from when the system does not have them (Tahoma).
QStringList SkinFontFiles();

// The running program file (GetModuleFileNameW).
QString ProgramFilePath();
// The files that make up the program, as paths relative to its folder, the program file first:
// what relocation copies and what the format puts back on the card, so that the copy runs.
QStringList ProgramFileSet(const QString &programPath);
// The root of the drive that holds path, with its trailing separator ("C:/", or "/").
QString DriveRoot(const QString &path);
// The current user's local application-data folder (CSIDL_LOCAL_APPDATA), without a trailing
// separator; empty when the system does not tell it.
QString LocalAppDataFolder();
// CreateDirectoryW, level by level for the folders above that are missing: true when the
// folder exists afterwards.
bool CreateFolder(const QString &path);
// CopyFileW with overwriting allowed, made safe: the copy goes to a temporary file beside `to`
// that replaces it once complete, so `to` keeps its old contents if the copy fails. A missing
// source leaves `to` alone (false); copying a file onto itself does nothing (true).
bool CopyOver(const QString &from, const QString &to);
// Starts program with one argument in workingDir, shown, without waiting for it
// (ShellExecuteW "open"). False when it could not be started.
bool StartProgram(const QString &program, const QString &argument, const QString &workingDir);
// A path as the system writes it ("E:\SETTING\" on Windows), for the log.
QString NativePath(const QString &path);

} // namespace platform
