#include "locale/resources.h"

#include <QtGlobal>

void InitSettingsResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(settings);
        return true;
    }();
    (void)done;
}
