#include "platform/framework/AppIcon.h"

namespace vexol::platform::framework {

QIcon BuiltInApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) {
        icon.addFile(QStringLiteral(":/icons/%1x%1/vexol.png").arg(size), QSize(size, size));
    }
    return icon;
}

QIcon ApplicationIcon()
{
    const QIcon installed = QIcon::fromTheme(QStringLiteral("vexol"));
    return installed.isNull() ? BuiltInApplicationIcon() : installed;
}

} // namespace vexol::platform::framework
