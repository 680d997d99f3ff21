// Runs code of the program with scripted console input and captures what it prints.
#pragma once

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <functional>
#include <string>

// Runs `fn` with standard input reading `input` (then its end); returns its standard output.
inline std::string withConsole(const std::string &input, const std::function<void()> &fn)
{
    char path[] = "/tmp/q7inputXXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, input.data(), input.size()), (ssize_t)input.size());
    close(fd);
    EXPECT_NE(freopen(path, "r", stdin), nullptr);
    unlink(path);
    testing::internal::CaptureStdout();
    fn();
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

inline size_t countOf(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1))
        n++;
    return n;
}

// A board root in a temporary folder, with the card's folders, for the duration of a test.
class BoardRoot {
  public:
    BoardRoot()
    {
        char dir[] = "/tmp/q7rootXXXXXX";
        path_ = mkdtemp(dir);
        std::string cmd = "mkdir -p '" + path_ + "/mmc/상시녹화' '" + path_ + "/mmc/이벤트녹화' '" +
                          path_ + "/mmc/사진촬영' '" + path_ + "/dev/input'";
        EXPECT_EQ(system(cmd.c_str()), 0);
        setenv("Q7_ROOT", path_.c_str(), 1);
    }
    ~BoardRoot()
    {
        unsetenv("Q7_ROOT");
        std::string cmd = "rm -rf '" + path_ + "'";
        if (system(cmd.c_str()) != 0)
            ADD_FAILURE() << "could not remove " << path_;
    }
    const std::string &path() const { return path_; }

  private:
    std::string path_;
};
