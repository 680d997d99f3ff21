#include "stand_ins.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <stdint.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <sstream>

#include <gtest/gtest.h>

namespace {

int64_t nowMsecs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

} // namespace

BodyThread::~BodyThread()
{
    if (thread_.joinable()) {
        askQuit(ctrl_);
        if (unblock_)
            unblock_();
        thread_.join();
    }
}

bool EventWriter::open(const std::string &fifo, int msecs)
{
    // A device that has closed its end makes a write fail with EPIPE, not end the test.
    signal(SIGPIPE, SIG_IGN);
    // A non-blocking open for writing fails with ENXIO until the reader is there.
    int64_t until = nowMsecs() + msecs;
    for (;;) {
        fd_ = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd_ >= 0)
            return true;
        if (errno != ENXIO || nowMsecs() > until)
            return false;
        usleep(5000);
    }
}

EventWriter::~EventWriter()
{
    close();
}

void EventWriter::send(uint16_t type, uint16_t code, int32_t value) const
{
    struct input_event ev;
    memset(&ev, 0, sizeof(ev));
    ev.type = type;
    ev.code = code;
    ev.value = value;
    sendBytes(&ev, sizeof(ev));
}

void EventWriter::sendBytes(const void *data, size_t len) const
{
    // Writes up to PIPE_BUF bytes are atomic, so a reader sees whole events.
    ssize_t n = write(fd_, data, len);
    if (n != (ssize_t)len)
        ADD_FAILURE() << "event write: " << strerror(errno);
}

void EventWriter::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool EventWriter::waitDrained(int msecs) const
{
    int64_t until = nowMsecs() + msecs;
    for (;;) {
        int pending = -1;
        if (ioctl(fd_, FIONREAD, &pending) == 0 && pending == 0)
            return true;
        if (nowMsecs() > until)
            return false;
        usleep(5000);
    }
}

bool EventWriter::waitReaderClosed(int msecs) const
{
    pollfd pfd = {fd_, POLLOUT, 0};
    int64_t until = nowMsecs() + msecs;
    for (;;) {
        // A FIFO's writer sees POLLERR once no reader is left.
        if (poll(&pfd, 1, 10) > 0 && (pfd.revents & POLLERR))
            return true;
        if (nowMsecs() > until)
            return false;
    }
}

IoRecorder::IoRecorder(const std::string &fifo)
{
    fd_ = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd_ < 0)
        ADD_FAILURE() << "open " << fifo << ": " << strerror(errno);
}

IoRecorder::~IoRecorder()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool IoRecorder::pump(int msecs, size_t wantBytes)
{
    // POLLHUP comes only after a writer has opened the FIFO and the last one has closed it.
    int64_t until = nowMsecs() + msecs;
    while (!closed_ && bytes_.size() < wantBytes) {
        int64_t left = until - nowMsecs();
        if (left <= 0)
            break;
        pollfd pfd = {fd_, POLLIN, 0};
        if (poll(&pfd, 1, (int)left) <= 0)
            continue;
        uint8_t buf[512];
        ssize_t n = read(fd_, buf, sizeof(buf));
        if (n > 0)
            bytes_.insert(bytes_.end(), buf, buf + n);
        else if (pfd.revents & POLLHUP)
            closed_ = true;
    }
    requests.clear();
    for (size_t at = 0; at + sizeof(Q7_IO_REQ) <= bytes_.size(); at += sizeof(Q7_IO_REQ)) {
        Q7_IO_REQ r;
        memcpy(&r, &bytes_[at], sizeof(r));
        requests.push_back(r);
    }
    return closed_;
}

bool IoRecorder::waitForRequests(size_t count, int msecs)
{
    pump(msecs, count * sizeof(Q7_IO_REQ));
    return requests.size() >= count;
}

bool IoRecorder::collectUntilClosed(int msecs)
{
    bool closed = pump(msecs, SIZE_MAX);
    if (closed && bytes_.size() % sizeof(Q7_IO_REQ) != 0)
        ADD_FAILURE() << "a partial request of " << bytes_.size() % sizeof(Q7_IO_REQ) << " bytes";
    return closed;
}

bool operator==(const Q7_IO_REQ &a, const Q7_IO_REQ &b)
{
    return a.line == b.line && a.dir == b.dir && a.unused == b.unused && a.value == b.value;
}

void PrintTo(const Q7_IO_REQ &r, std::ostream *os)
{
    *os << "{line " << r.line << ", dir " << r.dir << ", " << r.unused << ", value " << r.value
        << "}";
}

void askQuit(ThreadCtrl *ctrl)
{
    OSA_mutexLock(&ctrl->lock);
    ctrl->quit = 1;
    OSA_mutexUnlock(&ctrl->lock);
}

bool waitThreadEnded(ThreadCtrl *ctrl, int msecs)
{
    int64_t until = nowMsecs() + msecs;
    for (;;) {
        OSA_mutexLock(&ctrl->lock);
        bool ended = ctrl->thrHndl.valid == 0;
        OSA_mutexUnlock(&ctrl->lock);
        if (ended)
            return true;
        if (nowMsecs() > until)
            return false;
        usleep(5000);
    }
}

int openFdCount()
{
    int n = 0;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        n++;
    }
    return n;
}

std::string inputEventBytes(uint16_t type, uint16_t code, int32_t value)
{
    struct input_event ev;
    memset(&ev, 0, sizeof(ev));
    ev.type = type;
    ev.code = code;
    ev.value = value;
    return std::string((const char *)&ev, sizeof(ev));
}

KeepSending::KeepSending(int fd, std::string bytes, int everyMsecs)
    : thread_([this, fd, bytes, everyMsecs] {
          while (!stop_) {
              if (write(fd, bytes.data(), bytes.size()) < 0 && errno != EAGAIN)
                  break;
              usleep((useconds_t)everyMsecs * 1000);
          }
      })
{}

KeepSending::~KeepSending()
{
    stop_ = true;
    thread_.join();
}

namespace {

std::map<std::string, int> openFds(pid_t pid)
{
    std::map<std::string, int> open;
    std::string dir = "/proc/" + std::to_string(pid) + "/fd";
    if (DIR *d = opendir(dir.c_str())) {
        while (struct dirent *e = readdir(d)) {
            char link[PATH_MAX];
            ssize_t n = readlink((dir + "/" + e->d_name).c_str(), link, sizeof(link));
            if (n > 0)
                open[std::string(link, (size_t)n)]++;
        }
        closedir(d);
    }
    return open;
}

} // namespace

int openFdsOn(pid_t pid, const std::string &target)
{
    return openFds(pid)[target];
}

FdWatch::FdWatch(pid_t pid, std::vector<std::string> targets) : targets_(targets)
{
    thread_ = std::thread([this, pid] {
        while (!stop_) {
            std::map<std::string, int> now = openFds(pid);
            {
                std::lock_guard<std::mutex> lk(lock_);
                for (const std::string &t : targets_)
                    most_[t] = std::max(most_[t], now[t]);
            }
            usleep(500);
        }
    });
}

FdWatch::~FdWatch()
{
    stop_ = true;
    thread_.join();
}

int FdWatch::most(const std::string &target)
{
    std::lock_guard<std::mutex> lk(lock_);
    return most_[target];
}

std::string withoutPlatformNotes(const std::string &text)
{
    std::istringstream in(text);
    std::string out, line;
    while (std::getline(in, line)) {
        if (line.rfind(" [osa] ", 0) == 0)
            continue;
        out += line;
        if (!in.eof())
            out += '\n';
    }
    return out;
}
