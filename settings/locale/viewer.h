// The maker's PC viewer, as far as the settings tool cares: its LANGUAGE registry value and
// whether its main window is open.
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

// On Linux the viewer runs under Wine: its registry value is in the prefix's system.reg
// ($WINEPREFIX, default ~/.wine), its window is an X11 top-level window. No prefix or no X
// display means no viewer.
class WineViewerProbe : public ViewerProbe
{
  public:
    QString languageValue() const override;
    bool isRunning() const override;

    static QString winePrefix();
};

extern const char kViewerWindowTitle[];
