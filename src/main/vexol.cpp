// Preview of the foundation until the main window arrives: a window titled with the
// application title that shows some of the application's texts in the user's language,
// bitmap resource 1 drawn through CDib, and a button that reports the failure
// ID-10002-0101 through AppMessageBox. With VEXOL_SCREENSHOT naming a file, the window
// is saved there once shown and the program ends.
#include "look/AppMessageBox.h"
#include "platform/framework/Resources.h"
#include "still/CDib.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>

namespace {

QString LoadText(UINT id)
{
    std::string text;
    LoadString(id, text);
    // Prompt strings: only the part before "\n" is shown.
    return QString::fromUtf8(text.substr(0, text.find('\n')));
}

// Paints one bitmap resource, enlarged to about 256 pixels wide.
class BitmapView : public QWidget
{
public:
    explicit BitmapView(WORD id)
    {
        if (m_dib.LoadFromResource(id)) {
            const SIZE size = m_dib.GetSize();
            const int scale = std::max(1, 256 / std::max(1, int(size.cx)));
            setFixedSize(size.cx * scale, size.cy * scale);
        } else {
            setFixedSize(256, 32);
        }
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        if (!m_dib.GetData()) {
            painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("(bitmap 1)"));
            return;
        }
        m_dib.Draw(&painter, RECT{0, 0, width(), height()});
    }

private:
    CDib m_dib;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);

    QWidget window;
    window.setWindowTitle(LoadText(57344));
    auto* layout = new QVBoxLayout(&window);
    for (UINT id : {57345u, 32793u, 20012u, 20003u, 10002u, 10007u}) {
        auto* label = new QLabel(QString::number(id) + QStringLiteral("  ") + LoadText(id));
        label->setTextFormat(Qt::PlainText);
        layout->addWidget(label);
    }
    layout->addWidget(new BitmapView(1), 0, Qt::AlignHCenter);
    auto* report = new QPushButton(QStringLiteral("ID-10002-0101"));
    QObject::connect(report, &QPushButton::clicked, [] {
        AppMessageBox box;
        box.Show(MakeMessageCode(0x0101, 10002));
    });
    layout->addWidget(report);
    window.show();

    const char* screenshot = std::getenv("VEXOL_SCREENSHOT");
    if (screenshot && *screenshot) {
        QTimer::singleShot(200, &window, [&window, screenshot] {
            const bool saved = window.grab().save(QString::fromLocal8Bit(screenshot), "PNG");
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
