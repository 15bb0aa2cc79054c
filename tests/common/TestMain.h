#pragma once

// One test executable per folder: each tst_*.cpp of the folder registers its test class with
// NORVALE_TEST_CLASS and the folder's executable runs them all. NORVALE_TEST_CLASS=<Name> in
// the environment runs one class only (its own command-line options still apply).

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace TestMain {

using Factory = std::function<std::unique_ptr<QObject>()>;
void registerClass(const char* name, Factory factory);
int run(int argc, char** argv);

template<typename T>
struct Registration
{
    explicit Registration(const char* name)
    {
        registerClass(name, [] { return std::make_unique<T>(); });
    }
};

} // namespace TestMain

#define NORVALE_TEST_CLASS(Class)                                                                  \
    static const TestMain::Registration<Class> s_testRegistration_##Class(#Class);
