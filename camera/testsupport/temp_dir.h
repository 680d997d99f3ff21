// Temporary folders of the tests, and the board root the program runs under.
#pragma once

#include <string>

// A fresh folder below $TMPDIR (or /tmp), removed with everything in it by the destructor.
class TempDir
{
public:
    explicit TempDir(const char *prefix = "q7test");
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

#ifndef _WIN32
// A board root in a temporary folder, set as Q7_ROOT while it lives: the card's three recording
// folders (/mmc/상시녹화, /mmc/이벤트녹화, /mmc/사진촬영) and /dev/input.
class BoardRoot
{
public:
    BoardRoot();
    ~BoardRoot();
    BoardRoot(const BoardRoot &) = delete;
    BoardRoot &operator=(const BoardRoot &) = delete;
    const std::string &root() const { return dir_.path(); }
    const std::string &path() const { return dir_.path(); }
    // The host path of a board path such as "/dev/q7_io".
    std::string path(const char *boardPath) const { return dir_.path() + boardPath; }
    // A FIFO at a board path (a stand-in for a device node).
    void makeFifo(const char *boardPath) const;

private:
    TempDir dir_;
};
#endif
