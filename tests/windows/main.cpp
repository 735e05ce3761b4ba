#include "windowfixture.h"

#include <QApplication>

namespace tavrel::test {
emu::Testbed& testbed()
{
    static emu::Testbed bed;
    return bed;
}
}  // namespace tavrel::test

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    tavrel::test::testbed();
    return RUN_ALL_TESTS();
}
