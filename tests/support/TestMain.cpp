// Test main: every test program runs with a QApplication on the offscreen platform,
// in a private registry hive so that no test touches the user's settings.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir hiveDir;
    ::setenv("VEXOL_REGISTRY", QDir(hiveDir.path()).filePath("registry.reg").toUtf8().constData(), 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
