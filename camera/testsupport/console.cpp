#include "testsupport/console.h"

#include <errno.h>
#include <stdio_ext.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

int64_t nowMsecs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

// An unlinked temporary file, open for reading and writing; -1 on failure.
int anonymousFile()
{
    const char *base = getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/q7console_XXXXXX";
    int fd = mkstemp(&tmpl[0]);
    if (fd < 0)
        ADD_FAILURE() << "mkstemp " << tmpl;
    else
        unlink(tmpl.c_str());
    return fd;
}

// Makes `fd` standard input; returns a copy of the old one for restoreStdin().
int redirectStdin(int fd)
{
    const int saved = dup(0);
    // What stdin has read ahead of the old input is not the new input's.
    __fpurge(stdin);
    dup2(fd, 0);
    ::close(fd);
    clearerr(stdin);
    return saved;
}

void restoreStdin(int saved)
{
    __fpurge(stdin);
    dup2(saved, 0);
    ::close(saved);
    clearerr(stdin);
}

} // namespace

ConsoleCapture::ConsoleCapture(FILE *stream) : stream_(stream), streamFd_(fileno(stream))
{
    fflush(stream_);
    savedFd_ = dup(streamFd_);
    fileFd_ = anonymousFile();
    dup2(fileFd_, streamFd_);
}

ConsoleCapture::~ConsoleCapture()
{
    std::string caught = text();
    dup2(savedFd_, streamFd_);
    if (::testing::Test::HasFailure() && write(streamFd_, caught.data(), caught.size()) < 0)
        perror("console capture");
    ::close(savedFd_);
    ::close(fileFd_);
}

std::string ConsoleCapture::text() const
{
    fflush(stream_);
    std::string out;
    char buf[4096];
    off_t at = 0;
    ssize_t n;
    while ((n = pread(fileFd_, buf, sizeof(buf), at)) > 0) {
        out.append(buf, (size_t)n);
        at += n;
    }
    return out;
}

bool ConsoleCapture::waitFor(const std::string &part, int msecs) const
{
    int64_t until = nowMsecs() + msecs;
    for (;;) {
        if (text().find(part) != std::string::npos)
            return true;
        if (nowMsecs() > until)
            return false;
        usleep(5000);
    }
}

ScriptedInput::ScriptedInput(const std::string &text)
{
    int fd = anonymousFile();
    if (fd >= 0 && (write(fd, text.data(), text.size()) != (ssize_t)text.size() ||
                    lseek(fd, 0, SEEK_SET) != 0))
        ADD_FAILURE() << "could not write the scripted input";
    savedFd_ = redirectStdin(fd);
}

ScriptedInput::~ScriptedInput()
{
    restoreStdin(savedFd_);
}

TypedInput::TypedInput()
{
    int fds[2] = {-1, -1};
    if (pipe(fds) != 0)
        ADD_FAILURE() << "pipe: " << strerror(errno);
    writeFd_ = fds[1];
    savedFd_ = redirectStdin(fds[0]);
}

TypedInput::~TypedInput()
{
    end();
    restoreStdin(savedFd_);
}

bool TypedInput::type(const std::string &text)
{
    return writeFd_ >= 0 && write(writeFd_, text.data(), text.size()) == (ssize_t)text.size();
}

void TypedInput::end()
{
    if (writeFd_ >= 0)
        ::close(writeFd_);
    writeFd_ = -1;
}

std::string printedBy(const std::function<void()> &fn, FILE *stream)
{
    ConsoleCapture capture(stream);
    fn();
    return capture.text();
}

std::string withConsole(const std::string &input, const std::function<void()> &fn)
{
    ScriptedInput in(input);
    return printedBy(fn);
}

size_t countOf(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1))
        n++;
    return n;
}
