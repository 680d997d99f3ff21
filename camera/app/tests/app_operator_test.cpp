// The built q7_app on a pseudo-terminal, driven as an operator at the serial terminal drives it:
// every line typed once the program waits for it, camera processes entered and left across a
// minute boundary, every device test restarted quickly with its device silent and sending, and
// junk lines (NUL bytes, long lines, tokens after numbers) at the prompts.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/input.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "stand_ins.h"
#include "testsupport/console.h"
#include "testsupport/files.h"
#include "testsupport/temp_dir.h"
#include "graphics/draw_gui.h"

namespace {

using Clock = std::chrono::steady_clock;

const char kMainMenu[] = " Main Menu\r\n =========\r\n\r\n 0: exit\r\n 1: main";
const char kRunTimeMenu[] = " Run-Time Menu\r\n";
const char kDeviceMenu[] = " Device Menu\r\n";
const char kContDir[] = "/mmc/\xEC\x83\x81\xEC\x8B\x9C\xEB\x85\xB9\xED\x99\x94"; // 상시녹화

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The program on the slave side of a pseudo-terminal, as on the board's serial line: canonical
// input, no echo and no output translation (so that what it prints arrives as it is).
class Terminal
{
public:
    Terminal(const std::string &root, const std::string &fakeStart)
    {
        signal(SIGPIPE, SIG_IGN);
        pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            termios t;
            tcgetattr(0, &t);
            t.c_lflag &= ~(tcflag_t)(ECHO | ECHOE | ECHOK | ECHONL);
            t.c_oflag &= ~(tcflag_t)ONLCR;
            tcsetattr(0, TCSANOW, &t);
            if (chdir(root.c_str()) != 0)
                _exit(126);
            setenv("Q7_ROOT", root.c_str(), 1);
            setenv("Q7_SIM_LOG", (root + "/sim.log").c_str(), 1);
            setenv("ALSA_CONFIG_PATH", Q7SIM_CONF_PATH, 1);
            setenv("Q7_SIM_TONE_HZ", "440", 1);
            setenv("Q7_SIM_PLAYBACK", (root + "/speaker.raw").c_str(), 1);
            setenv("Q7_SIM_MIXER_STATE", (root + "/mixer").c_str(), 1);
            // libfaketime goes ahead of a sanitizer's runtime; that order is fine here.
            std::string asan = getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "";
            asan += (asan.empty() ? "" : ":") + std::string("verify_asan_link_order=0");
            setenv("ASAN_OPTIONS", asan.c_str(), 1);
            execlp("faketime", "faketime", "-m", "--exclude-monotonic", fakeStart.c_str(),
                   Q7_APP_PATH, (char *)nullptr);
            _exit(127);
        }
        // The test's own view of the line: how much typed input the program has not read yet.
        slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
        reader_ = std::thread([this] {
            char buf[4096];
            while (!stop_) {
                pollfd p = {master_, POLLIN, 0};
                if (poll(&p, 1, 50) <= 0)
                    continue;
                ssize_t n = read(master_, buf, sizeof(buf));
                if (n <= 0)
                    break; // the program and its terminal are gone
                std::lock_guard<std::mutex> lk(lock_);
                out_.append(buf, (size_t)n);
            }
        });
    }
    ~Terminal()
    {
        if (status_ == kRunning && pid_ > 0) {
            kill(pid_, SIGKILL);
            if (app_ > 0)
                kill(app_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        stop_ = true;
        reader_.join();
        close(master_);
        close(slave_);
    }
    std::string output()
    {
        std::lock_guard<std::mutex> lk(lock_);
        return out_;
    }
    // Waits until the output holds `what` `count` times; false after `msecs`.
    bool waitFor(const std::string &what, size_t count, int msecs = 20000)
    {
        auto until = Clock::now() + std::chrono::milliseconds(msecs);
        while (countOf(output(), what) < count) {
            if (Clock::now() > until)
                return false;
            sleepMs(5);
        }
        return true;
    }
    size_t count(const std::string &what) { return countOf(output(), what); }
    // The recorder itself (faketime runs it as its child).
    pid_t app()
    {
        for (int i = 0; app_ <= 0 && i < 500; i++) {
            std::string children = readText("/proc/" + std::to_string(pid_) + "/task/" +
                                            std::to_string(pid_) + "/children");
            app_ = atoi(children.c_str());
            if (app_ <= 0)
                sleepMs(10);
        }
        return app_;
    }
    // Types `text` once the program's console thread is blocked reading its standard input (on a
    // terminal the program discards what was typed ahead, as the board does), and returns once
    // the program has read all of it and waits for more.
    void type(const std::string &text)
    {
        ASSERT_TRUE(waitReading()) << "the program does not read its console\n" << output();
        const long before = reads();
        ASSERT_EQ(write(master_, text.data(), text.size()), (ssize_t)text.size());
        auto until = Clock::now() + std::chrono::seconds(30);
        for (;;) {
            int pending = 1;
            ioctl(slave_, FIONREAD, &pending);
            if (pending == 0 && reads() > before && waitReading(0))
                return;
            ASSERT_LT(Clock::now(), until) << "the program did not take what was typed\n"
                                           << output();
            sleepMs(2);
        }
    }
    // Types the last line, after which the program ends.
    void typeLast(const std::string &text)
    {
        ASSERT_TRUE(waitReading());
        ASSERT_EQ(write(master_, text.data(), text.size()), (ssize_t)text.size());
    }
    // Whether the program's console thread waits in a read of its standard input (up to `msecs`).
    bool waitReading(int msecs = 20000)
    {
        const std::string want = std::to_string(SYS_read) + " 0x0 ";
        const std::string path = "/proc/" + std::to_string(app()) + "/syscall";
        auto until = Clock::now() + std::chrono::milliseconds(msecs);
        while (readText(path).compare(0, want.size(), want) != 0) {
            if (Clock::now() >= until)
                return false;
            sleepMs(2);
        }
        return true;
    }
    // Read calls the program's console thread has made.
    long reads()
    {
        std::string io =
            readText("/proc/" + std::to_string(app()) + "/task/" + std::to_string(app()) + "/io");
        size_t at = io.find("syscr: ");
        return at == std::string::npos ? -1 : atol(io.c_str() + at + 7);
    }
    // Exit status of the program, -1 when it had to be killed after `msecs`.
    int wait(int msecs)
    {
        auto until = Clock::now() + std::chrono::milliseconds(msecs);
        int status;
        while (waitpid(pid_, &status, WNOHANG) != pid_) {
            if (Clock::now() > until) {
                kill(pid_, SIGKILL);
                if (app_ > 0)
                    kill(app_, SIGKILL);
                waitpid(pid_, &status, 0);
                status_ = -1;
                return -1;
            }
            sleepMs(10);
        }
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return status_;
    }

private:
    static const int kRunning = -2;
    int master_ = -1;
    int slave_ = -1;
    pid_t pid_ = -1;
    pid_t app_ = -1;
    int status_ = kRunning;
    std::mutex lock_;
    std::string out_;
    std::atomic<bool> stop_{false};
    std::thread reader_;
};

// The board root: the card's folders, the plane, and stand-ins for every device of the tests.
struct Board {
    Board()
    {
        close(open((root + "/dev/fb2").c_str(), O_WRONLY | O_CREAT, 0644));
        // The test's own ends are not the program's: none of them is inherited.
        char name[128];
        if (openpty(&gpsMaster, &gpsSlave, name, nullptr, nullptr) == 0) {
            gpsLine = name;
            symlink(name, (root + "/dev/ttyO2").c_str());
            fcntl(gpsMaster, F_SETFL, fcntl(gpsMaster, F_GETFL) | O_NONBLOCK);
            fcntl(gpsMaster, F_SETFD, FD_CLOEXEC);
            fcntl(gpsSlave, F_SETFD, FD_CLOEXEC);
        }
        // FIFOs held open for reading and writing, so that the devices never hang up.
        for (const char *d : {"/dev/input/event0", "/dev/input/event1", "/dev/q7_io"}) {
            mkfifo((root + d).c_str(), 0600);
            holders[d] = open((root + d).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        }
    }
    ~Board()
    {
        for (auto &h : holders)
            close(h.second);
        close(gpsMaster);
        close(gpsSlave);
    }
    BoardRoot dir;
    std::string root = dir.root();
    int gpsMaster = -1, gpsSlave = -1;
    std::string gpsLine;
    std::map<std::string, int> holders;
};

// The program's plane as the test would draw the recorder's text on it.
std::vector<uint32_t> planeWithText(const std::string &utf8)
{
    std::vector<uint32_t> px(GRPX_WIDTH * GRPX_HEIGHT, GRPX_KEY_COLOR);
    char ks[128];
    draw_utf8_to_ks(utf8.c_str(), ks, sizeof(ks));
    draw_txt(px.data(), ks, 32, 24, 0xFFFF00, 0xFF00FF);
    return px;
}

std::vector<uint32_t> readPlane(const std::string &path)
{
    return readWords(path, GRPX_WIDTH * GRPX_HEIGHT);
}

std::vector<std::string> listDir(const std::string &dir)
{
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (struct dirent *e = readdir(d))
            if (e->d_name[0] != '.')
                names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Operator, AtTheSerialTerminal)
{
    Board board;
    ASSERT_FALSE(board.gpsLine.empty());
    // Twenty seconds before a minute: the first camera process records in 10:00, the second,
    // started after the minute, in 10:01.
    auto started = Clock::now();
    Terminal term(board.root, "2026-03-04 10:00:40");
    ASSERT_TRUE(term.waitFor(kMainMenu, 1)) << term.output();
    size_t menus = 1;
    const std::string nul(1, '\0');

    // ---- junk at the main menu: each line shows the menu once more, none is swallowed
    for (const std::string &junk :
         {nul + "\n", "x" + nul + "y\n", std::string(1000, 'z') + "\n", nul + nul + nul + "\n"}) {
        term.type(junk);
        ASSERT_TRUE(term.waitFor(kMainMenu, ++menus)) << testing::PrintToString(junk.substr(0, 8));
    }

    // ---- a camera process in 10:00: the resolution answered with a second token ("2 7"); the
    // 7 must not become the run-time menu's mosaic test
    term.type("3\n");
    ASSERT_TRUE(term.waitFor("sub cam resolution?\n(1.720p, 2.d1) : ", 1));
    term.type("2 7\n");
    ASSERT_TRUE(term.waitFor(kRunTimeMenu, 1)) << term.output();
    ASSERT_TRUE(term.waitReading());
    EXPECT_EQ(term.count(" SW Mosaic Menu\r\n"), 0u) << "the 7 was taken as a choice";
    // The encoder's bit rate answered "5 3": the 3 must not become the I-frame question.
    term.type("2\n");
    ASSERT_TRUE(term.waitFor("choice channel ? Main(0), Sub(1)", 1));
    term.type("0\n");
    ASSERT_TRUE(term.waitFor(" encoder Menu (0)\r\n", 1));
    term.type("1\n");
    ASSERT_TRUE(term.waitFor("ch 0 : bitrate? (1...10 Mbps) ", 1));
    term.type("5 3\n");
    ASSERT_TRUE(term.waitFor(" encoder Menu (0)\r\n", 2));
    ASSERT_TRUE(term.waitReading());
    EXPECT_EQ(term.count("I-frame interval?"), 0u) << "the 3 was taken as a choice";
    term.type(nul + "\n");
    ASSERT_TRUE(term.waitFor(" encoder Menu (0)\r\n", 3));
    term.type("0\n");
    ASSERT_TRUE(term.waitFor(kRunTimeMenu, 2));
    // The pre-record duration answered "4 2": the 2 must not set an event.
    term.type("4\n");
    ASSERT_TRUE(term.waitFor(" pre-rec Menu\r\n", 1));
    term.type("1\n");
    ASSERT_TRUE(term.waitFor("pre-recording Duration(sec) (cur:10) ? (00...15)", 1));
    term.type("4 2\n");
    ASSERT_TRUE(term.waitFor(" pre-rec Menu\r\n", 2));
    ASSERT_TRUE(term.waitReading());
    EXPECT_EQ(term.count("Event On time"), 0u) << "the 2 was taken as a choice";
    term.type(std::string(500, '2') + "\n"); // a long line acts once: one event
    ASSERT_TRUE(term.waitFor(" pre-rec Menu\r\n", 3));
    term.type("0\n");
    ASSERT_TRUE(term.waitFor(kRunTimeMenu, 3));
    // Junk at the other sub-menus of the run-time menu.
    const struct {
        const char *choice;
        const char *title;
    } subMenus[] = {
        {"1\n", " capture Menu\r\n"}, {"5\n", " SW OSD Menu\r\n"}, {"7\n", " SW Mosaic Menu\r\n"}};
    size_t runTime = 3;
    for (const auto &m : subMenus) {
        term.type(m.choice);
        ASSERT_TRUE(term.waitFor(m.title, 1)) << m.title;
        term.type(nul + "\n");
        ASSERT_TRUE(term.waitFor(m.title, 2)) << m.title;
        term.type(std::string(300, 'q') + "\n");
        ASSERT_TRUE(term.waitFor(m.title, 3)) << m.title;
        term.type("0\n");
        ASSERT_TRUE(term.waitFor(kRunTimeMenu, ++runTime)) << m.title;
    }
    term.type(nul + "\n");
    ASSERT_TRUE(term.waitFor(kRunTimeMenu, ++runTime));
    term.type("0\n");
    ASSERT_TRUE(term.waitFor(kMainMenu, ++menus));

    // ---- a camera process in 10:01 (its name on the plane); the earlier minute's file stays
    ASSERT_LT(Clock::now(), started + std::chrono::seconds(19)) << "too slow for the minute";
    std::this_thread::sleep_until(started + std::chrono::seconds(22));
    term.type("1\n");
    ASSERT_TRUE(term.waitFor(kRunTimeMenu, ++runTime));
    const std::string second = board.root + kContDir + "/M_REC_2026_03_04_10_01.avi";
    ASSERT_TRUE(term.waitFor("new filename " + second, 1, 10000)) << term.output();
    sleepMs(2000);
    std::vector<uint32_t> plane = readPlane(board.root + "/dev/fb2");
    term.type("0\n");
    ASSERT_TRUE(term.waitFor(kMainMenu, ++menus));
    EXPECT_TRUE(plane == planeWithText(second)) << "the plane does not show " << second;
    EXPECT_EQ(listDir(board.root + kContDir),
              (std::vector<std::string>{"M_REC_2026_03_04_10_01.avi", "REC_2026_03_04_10_00.avi"}));

    // ---- every device test restarted at once, again and again; the devices silent, then sending
    const std::string key = board.root + "/dev/input/event0";
    const std::string accel = board.root + "/dev/input/event1";
    const std::string io = board.root + "/dev/q7_io";
    {
        FdWatch watch(term.app(), {board.gpsLine, key, accel, io});
        std::unique_ptr<KeepSending> senders[3];
        for (int phase = 0; phase < 2; phase++) {
            if (phase == 1) {
                senders[0].reset(new KeepSending(
                    board.gpsMaster,
                    "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n",
                    20));
                senders[1].reset(new KeepSending(board.holders["/dev/input/event1"],
                                                 inputEventBytes(EV_ABS, ABS_X, 5) +
                                                     inputEventBytes(EV_SYN, SYN_REPORT, 0),
                                                 20));
                senders[2].reset(new KeepSending(board.holders["/dev/input/event0"],
                                                 inputEventBytes(EV_KEY, 62, 1), 50));
            }
            // What each test prints of its device while it sends.
            const struct {
                const char *choice;
                const char *heard;
            } tests[] = {{"7\n", "GPS : [GPRMC,123519"},
                         {"8\n", "BMA : X = 005"},
                         {"9\n", nullptr},
                         {"a\n", "EV_KEY: sd card inserted"}};
            for (const auto &t : tests) {
                const char *test = t.choice;
                for (int run = 0; run < 4; run++) {
                    SCOPED_TRACE(std::string(test, 1) + " run " + std::to_string(run));
                    size_t devices = term.count(kDeviceMenu);
                    size_t heard = t.heard ? term.count(t.heard) : 0;
                    term.type(test);
                    ASSERT_TRUE(term.waitFor(kDeviceMenu, devices + 1)) << term.output();
                    if (phase == 1 && t.heard) { // restarted while it reads what comes in
                        EXPECT_TRUE(term.waitFor(t.heard, heard + 1, 5000)) << t.heard;
                    }
                    if (run == 0) { // junk at the device menu
                        term.type(nul + "\n");
                        term.type(std::string(400, 'd') + "\n");
                    }
                    term.type("0\n");
                    ASSERT_TRUE(term.waitFor(kMainMenu, ++menus, 5000))
                        << "the menu did not come back:\n"
                        << term.output().substr(
                               term.output().size() > 3000 ? term.output().size() - 3000 : 0);
                }
            }
        }
        for (auto &s : senders)
            s.reset();
        EXPECT_LE(watch.most(board.gpsLine), 1) << "two GPS readers on the line";
        EXPECT_LE(watch.most(accel), 1) << "two accelerometer readers";
        EXPECT_LE(watch.most(key), 1) << "two key readers";
        // The GPS thread switches its module through the I/O driver too, and may still be ending
        // when the I/O test starts; two of either are never there.
        EXPECT_LE(watch.most(io), 2);
    }

    // ---- the audio and ENV menus, and the repair's path prompt
    term.type("6\n");
    ASSERT_TRUE(term.waitFor(" Audio Menu ", 1));
    term.type(nul + "\n");
    ASSERT_TRUE(term.waitFor(" Audio Menu ", 2));
    term.type("0\n");
    ASSERT_TRUE(term.waitFor(kMainMenu, ++menus));
    term.type("c\n");
    ASSERT_TRUE(term.waitFor(" 1: print evn\r\n", 1));
    term.type("x" + nul + "1\n");
    ASSERT_TRUE(term.waitFor(" 1: print evn\r\n", 2));
    term.type("0\n");
    ASSERT_TRUE(term.waitFor(kMainMenu, ++menus));
    term.type("b\n");
    ASSERT_TRUE(term.waitFor(" Enter file write path : ", 1));
    term.type(board.root + kContDir + "/REC_2026_03_04_10_00.avi" + std::string(200, 'x') + "\n");
    ASSERT_TRUE(term.waitFor(kMainMenu, ++menus));
    term.type("b\n");
    ASSERT_TRUE(term.waitFor(" Enter file write path : ", 2));
    term.type(board.root + kContDir + "/REC_2026_03_04_10_00.avi" + nul + ".bak\n");
    ASSERT_TRUE(term.waitFor(kMainMenu, ++menus));

    term.typeLast("0\n");
    EXPECT_EQ(term.wait(20000), 0) << term.output();

    const std::string out = term.output();
    EXPECT_EQ(countOf(out, "Event On time"), 1u);
    EXPECT_EQ(countOf(out, "I-frame interval?"), 0u);
    EXPECT_EQ(countOf(out, " [app] err: the path is longer than 127 characters, refused"), 1u);
    EXPECT_EQ(countOf(out, " [app] err: the path holds a NUL byte, refused"), 1u);
    EXPECT_EQ(out.find("ASSERT"), std::string::npos) << out;
    EXPECT_EQ(out.find("has not ended yet"), std::string::npos) << "every restart started";
    const std::string log = readText(board.root + "/sim.log");
    EXPECT_EQ(countOf(log, "Vcap_init width=720 height=480"), 1u);
    EXPECT_EQ(countOf(log, "Venc_setDynamicParam ch=0 stream=0 kind=0 bitRate=5000000"), 1u);
    EXPECT_EQ(countOf(log, "Vsys_create"), 2u);
    // The repair never ran on a cut or NUL-broken path: the earlier file is as recorded.
    EXPECT_EQ(out.find("WARNING"), std::string::npos) << out;
}

} // namespace
