#include <QCoreApplication>
#include <gtest/gtest.h>

// QProcess needs an application object for its events.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
