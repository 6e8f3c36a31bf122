// Control IDs of child windows: the number by which a dialog or view finds a child.
#pragma once

class QWidget;

namespace vexol::platform::framework {

void SetControlId(QWidget* widget, int id);
// The widget's control ID; 0 when it has none.
int ControlIdOf(const QWidget* widget);
// The direct child of `parent` with control ID `id`, or null.
QWidget* FindControl(const QWidget* parent, int id);

} // namespace vexol::platform::framework
