// Test main: one application object for the whole process. Tests of widgets get a
// QApplication (offscreen unless told otherwise); every other test runs as the core does,
// with a QCoreApplication and no window system.

#ifdef GLIMROW_TEST_WIDGETS
#include <QApplication>
#else
#include <QCoreApplication>
#endif

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
#ifdef GLIMROW_TEST_WIDGETS
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
