// The recording pipeline on the simulated board with real H.264 clips and the simulated sound
// card: the built q7_app across a minute boundary, an event file, snapshots, power cuts, and
// start/stop cycles under load.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/input.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "app/q7_app_main.h"
#include "avi/udavi.h"
#include "platform/osa.h"
#include "platform/video_platform.h"
#include "rec_test_util.h"
#include "recorder/q7_ipc_bits.h"
#include "recorder/q7_prerec.h"
#include "recorder/q7_util.h"
#include "testsupport/console.h"

using namespace rectest;

namespace {

// Clips made once for the whole program: 1 s between key frames, as the board's encoder.
struct Clips {
    TempDir dir;
    std::string main, sub;
    Clips()
    {
        main = makeH264Clip(dir.path(), "main.h264", 320, 180, 4, 30);
        sub = makeH264Clip(dir.path(), "sub.h264", 256, 144, 4, 30);
    }
};

Clips &clips()
{
    static Clips *c = new Clips;
    return *c;
}

std::vector<std::string> soundEnv(const std::string &dir)
{
    return {"ALSA_CONFIG_PATH=" + std::string(Q7SIM_CONF_PATH), "Q7_SIM_TONE_HZ=440",
            "Q7_SIM_PLAYBACK=" + dir + "/speaker.raw", "Q7_SIM_MIXER_STATE=" + dir + "/mixer"};
}

// q7_app on the board root with `args`, optionally under faketime starting at `fakeStart`;
// standard input is a pipe whose write end is returned in *typing. The simulated board logs to
// sim.log in the root.
pid_t startApp(const Board &board, const std::string &fakeStart, int *typing,
               const std::vector<std::string> &args = {})
{
    signal(SIGPIPE, SIG_IGN); // a program that ended early fails the test, not the test program
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    std::vector<std::string> env = soundEnv(board.root());
    env.push_back("Q7_SIM_CLIP0=" + clips().main);
    env.push_back("Q7_SIM_CLIP1=" + clips().sub);
    std::string out = board.root() + "/console.log";
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[1]);
        dup2(fds[0], 0);
        int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(fd, 1);
        dup2(fd, 2);
        for (const std::string &e : env)
            setenv(e.substr(0, e.find('=')).c_str(), e.substr(e.find('=') + 1).c_str(), 1);
        setenv("Q7_ROOT", board.root().c_str(), 1);
        setenv("Q7_SIM_LOG", (board.root() + "/sim.log").c_str(), 1);
        if (fakeStart.empty()) {
            std::vector<const char *> argv = {Q7_APP_PATH};
            for (const std::string &a : args)
                argv.push_back(a.c_str());
            argv.push_back(nullptr);
            execv(Q7_APP_PATH, (char *const *)argv.data());
        } else {
            // libfaketime is preloaded ahead of a sanitizer's runtime; that order is fine here.
            std::string asan = getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "";
            asan += (asan.empty() ? "" : ":") + std::string("verify_asan_link_order=0");
            setenv("ASAN_OPTIONS", asan.c_str(), 1);
            execlp("faketime", "faketime", "-m", "--exclude-monotonic", fakeStart.c_str(),
                   Q7_APP_PATH, (char *)nullptr);
        }
        _exit(127);
    }
    close(fds[0]);
    *typing = fds[1];
    return pid;
}

void type(int fd, const std::string &text)
{
    if (write(fd, text.data(), text.size()) != (ssize_t)text.size())
        ADD_FAILURE() << "could not type " << text;
}

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The exit status, or -1 when it had to be killed after `limitSecs`.
int waitApp(pid_t pid, int limitSecs)
{
    for (int i = 0; i < limitSecs * 10; i++) {
        int status;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        sleepMs(100);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

// The first child of a process, or -1.
pid_t childOf(pid_t pid)
{
    for (int i = 0; i < 50; i++) {
        Bytes b =
            readFile("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
        int child = atoi(std::string(b.begin(), b.end()).c_str());
        if (child > 0)
            return child;
        sleepMs(20);
    }
    return -1;
}

TEST(RecorderApp, BothCamerasAcrossAMinuteBoundaryLeaveTwoFilesAndSnapshots)
{
    Board board;
    int typing = -1;
    pid_t pid = startApp(board, "2026-03-04 10:00:52", &typing);
    ASSERT_GT(pid, 0);
    type(typing, "3\n1\n"); // both cameras, 720p sub camera
    sleepMs(4000);
    type(typing, "6\n"); // snapshot
    sleepMs(12000);
    type(typing, "0\n0\n");
    close(typing);
    int status = waitApp(pid, 60);
    Bytes log = readFile(board.root() + "/console.log");
    std::string console(log.begin(), log.end());
    ASSERT_EQ(status, 0) << console;

    std::vector<std::string> files = listDir(board.cont());
    ASSERT_EQ(files,
              (std::vector<std::string>{"REC_2026_03_04_10_00.avi", "REC_2026_03_04_10_01.avi"}))
        << console;
    for (const std::string &f : files)
        expectGoodRecording(board.cont() + "/" + f);
    // About 8 s before the minute and 8 s after it.
    EXPECT_NEAR((double)mainFrames(board.cont() + "/" + files[0]), 8 * 30, 60);
    EXPECT_NEAR((double)mainFrames(board.cont() + "/" + files[1]), 8 * 30, 60);

    std::vector<std::string> photos = listDir(board.photo());
    ASSERT_EQ(photos.size(), 2u) << console;
    EXPECT_NE(photos[0].find("_m.jpeg"), std::string::npos);
    EXPECT_NE(photos[1].find("_s.jpeg"), std::string::npos);
    for (const std::string &p : photos) {
        EXPECT_EQ(p.rfind("IMG_2026_03_04_10_00_5", 0), 0u) << p;
        EXPECT_EQ(decodeErrors(board.photo() + "/" + p), "");
    }
}

std::string readText(const std::string &path)
{
    Bytes b = readFile(path);
    return std::string(b.begin(), b.end());
}

// Waits until the file holds `what`; false after `msecs`.
bool waitText(const std::string &path, const std::string &what, int msecs)
{
    for (int waited = 0; readText(path).find(what) == std::string::npos; waited += 5) {
        if (waited > msecs)
            return false;
        sleepMs(5);
    }
    return true;
}

// Unattended: the car starts with its key device not there yet. The camera process records all
// along (one process, both cameras), the key reader finds the device when it comes, and KEY_F1
// ends the program.
TEST(RecorderApp, AutomaticModeRecordsThroughAMissingKeyDeviceUntilKeyF1)
{
    using Clock = std::chrono::steady_clock;
    Board board;
    const std::string log = board.root() + "/sim.log";
    const std::string console = board.root() + "/console.log";
    int typing = -1;
    pid_t pid = startApp(board, "", &typing, {"1", "1"});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitText(log, "Venc_start", 30000)); // the encoders run from here
    const Clock::time_point started = Clock::now();
    std::this_thread::sleep_until(started + std::chrono::seconds(10));

    const std::string key = board.root() + "/dev/input/event0";
    ASSERT_EQ(system(("mkdir -p '" + board.root() + "/dev/input'").c_str()), 0);
    ASSERT_EQ(mkfifo(key.c_str(), 0600), 0);
    int holder = open(key.c_str(), O_RDWR | O_NONBLOCK); // the board's device never hangs up
    ASSERT_GE(holder, 0);
    EXPECT_TRUE(waitText(console, "Input device name: \"Unknown\"", 3000)) << readText(console);
    sleepMs(1000);
    struct input_event ev[2];
    memset(ev, 0, sizeof(ev));
    ev[0].type = EV_KEY;
    ev[0].code = KEY_F1;
    ev[0].value = 1;
    ev[1].type = EV_SYN;
    ASSERT_EQ(write(holder, ev, sizeof(ev)), (ssize_t)sizeof(ev));
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    int status = waitApp(pid, 30);
    close(typing);
    close(holder);
    const std::string out = readText(console);
    ASSERT_EQ(status, 0) << out;

    EXPECT_EQ(countOf(out, "device open failed!!"), 1u) << out;
    EXPECT_EQ(countOf(out, " [app] err: the key device cannot be opened; trying it again every "
                           "second\n"),
              1u)
        << out;
    EXPECT_EQ(countOf(out, "KEY_F1\n"), 1u);
    const std::string calls = readText(log);
    EXPECT_EQ(countOf(calls, "Vsys_create"), 1u) << "one camera process throughout";
    EXPECT_EQ(countOf(calls, "Vcap_init width=1280 height=720"), 1u);

    // The files cover the run: 30 frames a second, within one key-frame interval.
    std::vector<std::string> files = listDir(board.cont());
    ASSERT_FALSE(files.empty());
    size_t frames[3] = {0, 0, 0};
    for (const std::string &f : files) {
        expectGoodRecording(board.cont() + "/" + f);
        for (auto &p : probePackets(board.cont() + "/" + f))
            if (p.first < 3)
                frames[p.first]++;
    }
    printf("%.1f s recorded: %zu main frames, %zu sub frames, %zu audio blocks in %zu files\n",
           seconds, frames[0], frames[1], frames[2], files.size());
    EXPECT_NEAR((double)frames[0], 30 * seconds, 30);
    EXPECT_NEAR((double)frames[1], 30 * seconds, 30);
    EXPECT_GT(frames[2], 0u);
}

// The camera process in this program, as main() configures it.
class CameraProcess : public testing::Test
{
protected:
    void SetUp() override
    {
        for (const std::string &e : soundEnv(board.root()))
            setenv(e.substr(0, e.find('=')).c_str(), e.substr(e.find('=') + 1).c_str(), 1);
        setenv("Q7_SIM_CLIP0", clips().main.c_str(), 1);
        setenv("Q7_SIM_CLIP1", clips().sub.c_str(), 1);
        System_init();
        memset(&gApp_cfg, 0, sizeof(gApp_cfg));
        gApp_cfg.recordOn = 1;
        gApp_cfg.frameRate = 30;
        gApp_cfg.mainWidth = 1920;
        gApp_cfg.mainHeight = 1080;
        gApp_cfg.subWidth = 1280;
        gApp_cfg.subHeight = 720;
        gApp_cfg.encEnable = gApp_cfg.jpegEnable = gApp_cfg.bitsEnable = 1;
        gApp_cfg.audioEnable = gApp_cfg.contRecEnable = gApp_cfg.prerecEnable = 1;
    }
    void TearDown() override
    {
        System_deInit();
        unsetenv("Q7_SIM_CLIP0");
        unsetenv("Q7_SIM_CLIP1");
    }
    Board board;
    ScriptedInput noInput{""}; // the console is at its end
};

TEST_F(CameraProcess, AnEventFileCoversTenSecondsBeforeAndAfterTheEvent)
{
    setClockSecond(5); // the continuous file stays one file
    ASSERT_EQ(video_run(CAM_MODE_BOTH), 0);
    sleepMs(12000);
    EXPECT_EQ(q7_setEvent(30), 0);
    EXPECT_EQ(q7_setEvent(30), -1); // an event during an event
    // The list is a delay line of 10 s: the file is complete 10 s after the post-record time.
    sleepMs(21000);
    OSA_mutexLock(&gPREREC_ctrl.lock);
    uint32_t eventOn = gPREREC_ctrl.eventOn;
    OSA_mutexUnlock(&gPREREC_ctrl.lock);
    EXPECT_EQ(eventOn, 0u); // ended by itself
    video_stop(CAM_MODE_BOTH);
    q7_set_clock_offset(0);

    std::vector<std::string> events = listDir(board.event());
    ASSERT_EQ(events.size(), 1u);
    std::string evt = board.event() + "/" + events[0];
    expectGoodRecording(evt);
    // 20 s of main frames, give or take one key frame interval of the clip.
    EXPECT_NEAR((double)mainFrames(evt), 600, 30);

    std::vector<std::string> files = listDir(board.cont());
    ASSERT_EQ(files.size(), 1u);
    expectGoodRecording(board.cont() + "/" + files[0]);
    EXPECT_NEAR((double)mainFrames(board.cont() + "/" + files[0]), 33 * 30, 60);
}

TEST_F(CameraProcess, StopNeverHangsIn100StartStopCyclesUnderLoad)
{
    std::atomic<bool> busy{true};
    std::vector<std::thread> load;
    for (int i = 0; i < 2; i++)
        load.emplace_back([&busy] {
            volatile uint64_t x = 0;
            while (busy)
                x = x + 1;
        });
    std::mt19937 rng(7);
    int events = 0;
    for (int cycle = 0; cycle < 100; cycle++) {
        SCOPED_TRACE(cycle);
        ASSERT_EQ(video_run(CAM_MODE_BOTH), 0);
        sleepMs((int)(rng() % 400));
        if (rng() % 3 == 0)
            events += q7_setEvent(30) == 0;
        if (rng() % 4 == 0)
            q7_setSnapshoot();
        // A hang shows as this test's time-out.
        video_stop(CAM_MODE_BOTH);
    }
    busy = false;
    for (std::thread &t : load)
        t.join();
    EXPECT_GT(events, 10);
    for (const std::string &e : listDir(board.event()))
        EXPECT_NE(probeStreams(board.event() + "/" + e), "") << e;
}

// Starts q7_app and cuts its power at a random moment while it records, twenty times. Every other
// run starts a few seconds before a minute (under faketime), so that cuts also fall on a file of a
// few frames and just after a file change.
TEST(RecorderApp, PowerCutsLeaveFilesThatTheRepairRestoresWithoutLoss)
{
    Board board;
    std::mt19937 rng(20261210);
    int repaired = 0, changes = 0;
    for (int cut = 0; cut < 20; cut++) {
        SCOPED_TRACE(cut);
        // Each cut is judged on the files of its own run: the recorder keeps earlier ones.
        for (const std::string &f : listDir(board.cont()))
            unlink((board.cont() + "/" + f).c_str());
        std::string fakeStart;
        if (cut % 2)
            fakeStart = "2026-12-10 10:00:5" + std::to_string(6 + rng() % 3);
        int typing = -1;
        pid_t pid = startApp(board, fakeStart, &typing);
        ASSERT_GT(pid, 0);
        type(typing, "3\n1\n");
        sleepMs(1500 + (int)(rng() % 3000));
        // faketime runs the program as its child: the cut is for the recorder itself.
        pid_t recorder = fakeStart.empty() ? pid : childOf(pid);
        ASSERT_GT(recorder, 0);
        kill(recorder, SIGKILL);
        waitApp(pid, 10);
        close(typing);

        std::vector<std::string> files = listDir(board.cont());
        changes += files.size() > 1;
        for (const std::string &f : files) {
            SCOPED_TRACE(f);
            std::string path = board.cont() + "/" + f;
            CutFile c = readCutFile(path);
            if (c.count["00dc"] == 0)
                continue; // cut before its first frame reached the card: nothing recorded
            printf("cut %d: %s has %zu + %zu frames and %zu audio blocks, cut short in %s\n", cut,
                   f.c_str(), c.count["00dc"], c.count["01dc"], c.count["02wb"],
                   c.tornTag.empty() ? "no chunk" : c.tornTag.c_str());
            std::string copy = board.root() + "/" + f;
            writeFile(copy, readFile(path));
            ASSERT_EQ(LIBAVI_recoverFile((char *)copy.c_str()), 0);
            expectRepairedWithoutLoss(c, copy);
            repaired++;
            unlink(copy.c_str());
        }
    }
    EXPECT_GE(repaired, 20);
    EXPECT_GE(changes, 3);
}

} // namespace
