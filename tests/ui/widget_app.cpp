// One QApplication for every test of the program: widgets need it, and Qt allows only one.
#include <gtest/gtest.h>

#include <QApplication>

namespace {

class WidgetApp : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "tavrel-test";
        static char* argv[] = {name, nullptr};
        m_app = new QApplication(argc, argv);
    }
    void TearDown() override
    {
        delete m_app;
        m_app = nullptr;
    }

private:
    QApplication* m_app = nullptr;
};

[[maybe_unused]] const ::testing::Environment* const widgetApp = ::testing::AddGlobalTestEnvironment(new WidgetApp);

}  // namespace
