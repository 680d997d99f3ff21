// The maker's PC viewer, as far as the settings tool cares: its LANGUAGE registry value and
// whether its main window is open. platform::Viewer() is the PC's own.
#pragma once

#include <QString>

class ViewerProbe
{
public:
    virtual ~ViewerProbe() = default;
    // LANGUAGE under HKEY_LOCAL_MACHINE "SOFTWARE\KESTRAVON\"; empty when missing.
    virtual QString languageValue() const = 0;
    // A top-level window titled "KESTRAVON DASHCAM PC VIEWER" exists.
    virtual bool isRunning() const = 0;
};

extern const char kViewerWindowTitle[];
