// Stand-ins for the board's devices under a temporary board root, for the device thread tests.
#pragma once

#include <linux/input.h>
#include <stdint.h>
#include <stdio.h>

#include <sys/types.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/thread_ctrl.h"
#include "devices/dio_if.h"
#include "testsupport/console.h"
#include "testsupport/temp_dir.h"

// A device thread body run on a thread of the test. Left running (a failed test), it is asked to
// quit, `unblock` wakes it from a blocking read, and it is joined.
class BodyThread
{
public:
    template <typename Body>
    BodyThread(ThreadCtrl *ctrl, Body body, std::function<void()> unblock = nullptr)
        : ctrl_(ctrl), unblock_(unblock), thread_(body)
    {}
    ~BodyThread();
    void join() { thread_.join(); }

private:
    ThreadCtrl *ctrl_;
    std::function<void()> unblock_;
    std::thread thread_;
};

// The writing end of a FIFO that stands in for an input event device.
class EventWriter
{
public:
    // Opens once the device's reader has opened it; false after `msecs`.
    bool open(const std::string &fifo, int msecs = 10000);
    ~EventWriter();
    void send(uint16_t type, uint16_t code, int32_t value) const;
    void sendBytes(const void *data, size_t len) const;
    void close();
    // Waits until the reader has read everything sent; false after `msecs`.
    bool waitDrained(int msecs) const;
    // Waits until the reader has closed the device; false after `msecs`.
    bool waitReaderClosed(int msecs) const;

private:
    int fd_ = -1;
};

// Records the 16-byte requests written to a FIFO standing in for "/dev/q7_io".
class IoRecorder
{
public:
    // Opens the reading end; call before the device's user opens it.
    explicit IoRecorder(const std::string &fifo);
    ~IoRecorder();
    // Collects requests until `count` have come; false after `msecs` or when the device was closed.
    bool waitForRequests(size_t count, int msecs);
    // Collects requests until the user has closed the device; false after `msecs`.
    bool collectUntilClosed(int msecs);
    std::vector<Q7_IO_REQ> requests;

private:
    // Reads until `enough` holds or the device is closed or `msecs` pass; true when closed.
    bool pump(int msecs, size_t wantBytes);
    int fd_;
    bool closed_ = false;
    std::vector<uint8_t> bytes_;
};

// The 16 bytes of one input event.
std::string inputEventBytes(uint16_t type, uint16_t code, int32_t value);

// Keeps writing `bytes` to a stand-in device every `everyMsecs` while it lives, never blocking (a
// full device drops them).
class KeepSending
{
public:
    KeepSending(int fd, std::string bytes, int everyMsecs);
    ~KeepSending();

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// How many descriptors process `pid` has open on `target` (a path as the links in /proc show it).
int openFdsOn(pid_t pid, const std::string &target);

// Samples the descriptors process `pid` has open on each of `targets` while it lives; most() is
// the highest count seen of one of them.
class FdWatch
{
public:
    FdWatch(pid_t pid, std::vector<std::string> targets);
    ~FdWatch();
    int most(const std::string &target);

private:
    std::vector<std::string> targets_;
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::map<std::string, int> most_;
    std::thread thread_;
};

bool operator==(const Q7_IO_REQ &a, const Q7_IO_REQ &b);
void PrintTo(const Q7_IO_REQ &r, std::ostream *os);

// Sets `quit` under `lock`, as the device menu does.
void askQuit(ThreadCtrl *ctrl);
// Waits until a device thread has deleted its own handle; false after `msecs`.
bool waitThreadEnded(ThreadCtrl *ctrl, int msecs);
// Open descriptors of this process.
int openFdCount();
// Drops the one line the platform prints when real-time scheduling is refused.
std::string withoutPlatformNotes(const std::string &text);
