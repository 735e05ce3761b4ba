#include "keyemu/testbed.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace tavrel::test {
emu::Testbed& testbed()
{
    static emu::Testbed bed;
    return bed;
}
}  // namespace tavrel::test

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    tavrel::test::testbed();
    return RUN_ALL_TESTS();
}
