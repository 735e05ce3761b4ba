#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // The harness starts processes with QProcess, which wants an application object.
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
