// Test main for the Qt test binaries: one QApplication on the offscreen platform for all tests.
// Stored window placements and snapshots go to a folder of the run's own, never to the user's; programs the
// tests start inherit it.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    const QTemporaryDir settings;
    if (!settings.isValid()) return 1;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", settings.path().toLocal8Bit());  // snapshots too
#ifdef _WIN32
    // Qt splits the platform's arguments at ':', so a file behind a drive letter cannot be named;
    // the placement tests that need the laptop's screen talk to a pty and run only on Linux.
    qputenv("QT_QPA_PLATFORM", "offscreen");
#else
    // The smallest screen the tool is made for (the offscreen default of 800 x 600 is smaller than
    // the main window), so placements are tested as an engineer's laptop would restore them.
    QFile screen(settings.filePath(QStringLiteral("screen.json")));
    if (!screen.open(QIODevice::WriteOnly) ||
        screen.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1024, "height": 768,
                      "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})") < 0)
        return 1;
    screen.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screen.fileName().toLocal8Bit());
#endif
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
