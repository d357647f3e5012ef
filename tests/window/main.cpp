#include "ProgramIdentity.h"

#include <QApplication>

#include <gtest/gtest.h>

// One QApplication for the whole run, on the offscreen platform unless the
// caller chose another.
int main(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(kApplicationName);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
