#include "TestMain.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTest>

namespace {

struct Entry
{
    const char* name;
    TestMain::Factory factory;
};

std::vector<Entry>& registry()
{
    static std::vector<Entry> entries;
    return entries;
}

} // namespace

void TestMain::registerClass(const char* name, Factory factory)
{
    registry().push_back({name, std::move(factory)});
}

int TestMain::run(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const QByteArray only = qgetenv("NORVALE_TEST_CLASS");
    int failures = 0;
    for (const Entry& entry : registry()) {
        if (!only.isEmpty() && only != entry.name) {
            continue;
        }
        auto object = entry.factory();
        failures += QTest::qExec(object.get(), argc, argv) != 0 ? 1 : 0;
    }
    return failures == 0 ? 0 : 1;
}

int main(int argc, char** argv)
{
    return TestMain::run(argc, argv);
}
