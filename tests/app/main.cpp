#include "ProgramIdentity.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

// A core application, as the program has for everything but its window.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(kApplicationName);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
