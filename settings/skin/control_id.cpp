#include "skin/control_id.h"

#include <QVariant>
#include <QWidget>

namespace {
const char *const kIdProperty = "q7ControlId";
}

void SetControlId(QWidget *control, int id)
{
    control->setProperty(kIdProperty, id);
}

int ControlId(const QWidget *control)
{
    const QVariant v = control->property(kIdProperty);
    return v.isValid() ? v.toInt() : -1;
}

QWidget *FindControl(const QWidget *parent, int id)
{
    for (QWidget *w : parent->findChildren<QWidget *>()) {
        if (ControlId(w) == id)
            return w;
    }
    return nullptr;
}
