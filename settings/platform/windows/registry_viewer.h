// The viewer on Windows: its LANGUAGE value in the registry, its main window by title.
#pragma once

#include "platform/viewer.h"

class RegistryViewerProbe : public ViewerProbe
{
public:
    QString languageValue() const override;
    bool isRunning() const override;
};

// Where the viewer keeps its LANGUAGE value, under HKEY_LOCAL_MACHINE.
extern const wchar_t kViewerRegistryKey[];
