// The viewer on Linux runs under Wine: its registry value is in the prefix's system.reg
// ($WINEPREFIX, default ~/.wine), its window is an X11 top-level window. No prefix or no X
// display means no viewer.
#pragma once

#include "platform/viewer.h"

class WineViewerProbe : public ViewerProbe
{
public:
    QString languageValue() const override;
    bool isRunning() const override;

    static QString winePrefix();
};
