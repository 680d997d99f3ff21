#include "testsupport/temp_dir.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

TempDir::TempDir(const char *prefix)
{
    const char *base = getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/" + prefix + "_XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back(0);
    if (mkdtemp(buf.data()) != nullptr) {
        path_ = buf.data();
    } else {
        // A path that cannot be written, rather than files dropped at the top of the disk.
        ADD_FAILURE() << "mkdtemp " << tmpl << ": " << strerror(errno);
        path_ = "/nonexistent";
    }
}

TempDir::~TempDir()
{
    if (path_ == "/nonexistent")
        return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    if (ec)
        ADD_FAILURE() << "could not remove " << path_ << ": " << ec.message();
}

BoardRoot::BoardRoot() : dir_("q7root")
{
    for (const char *d : {"/mmc/상시녹화", "/mmc/이벤트녹화", "/mmc/사진촬영", "/dev/input"}) {
        std::error_code ec;
        std::filesystem::create_directories(path(d), ec);
        if (ec)
            ADD_FAILURE() << "could not make " << path(d) << ": " << ec.message();
    }
    setenv("Q7_ROOT", root().c_str(), 1);
}

BoardRoot::~BoardRoot()
{
    unsetenv("Q7_ROOT");
}

void BoardRoot::makeFifo(const char *boardPath) const
{
    if (mkfifo(path(boardPath).c_str(), 0600) != 0)
        ADD_FAILURE() << "mkfifo " << boardPath << ": " << strerror(errno);
}
