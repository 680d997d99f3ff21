#include "testsupport/temp_dir.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <random>
#include <vector>

#include <gtest/gtest.h>

TempDir::TempDir(const char *prefix)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec); // $TMPDIR or /tmp; Windows' own
    std::random_device seed;
    std::mt19937 pick(seed());
    // create_directory fails on a name that exists, so a folder is never shared.
    for (int attempt = 0; attempt < 100 && path_.empty(); attempt++) {
        const fs::path dir = base / (std::string(prefix) + "_" + std::to_string(pick()));
        if (fs::create_directory(dir, ec))
            path_ = dir.generic_string();
    }
    if (path_.empty()) {
        // A path that cannot be written, rather than files dropped at the top of the disk.
        ADD_FAILURE() << "no temporary folder below " << base << ": " << ec.message();
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

#ifndef _WIN32
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
#endif
