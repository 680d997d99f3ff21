#include "platform_test_support.h"

#include <QCoreApplication>
#include <QEvent>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::vector<std::string> &Arguments()
{
    static std::vector<std::string> args = ::testing::internal::GetArgvs();
    return args;
}
} // namespace

int &TestProgramArgc()
{
    static int argc = int(Arguments().size());
    return argc;
}

char **TestProgramArgv()
{
    static std::vector<char *> argv = [] {
        std::vector<char *> v;
        for (std::string &a : Arguments())
            v.push_back(a.data());
        v.push_back(nullptr);
        return v;
    }();
    return argv.data();
}

void RunPendingEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
