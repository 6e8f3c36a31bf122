// Control IDs are kept in a dynamic property of the widget.
#include "platform/framework/ControlId.h"

#include <QVariant>
#include <QWidget>

namespace vexol::platform::framework {
namespace {
const char* const kControlIdProperty = "vexolControlId";
}

void SetControlId(QWidget* widget, int id)
{
    if (widget) {
        widget->setProperty(kControlIdProperty, id);
    }
}

int ControlIdOf(const QWidget* widget)
{
    return widget ? widget->property(kControlIdProperty).toInt() : 0;
}

QWidget* FindControl(const QWidget* parent, int id)
{
    if (!parent || id == 0) {
        return nullptr;
    }
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (ControlIdOf(child) == id) {
            return child;
        }
    }
    return nullptr;
}

} // namespace vexol::platform::framework
