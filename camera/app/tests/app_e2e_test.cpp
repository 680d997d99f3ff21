// The built q7_app on the simulated board: arguments, menus through standard input, the
// automatic mode and its key, as a user runs it.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "testsupport/console.h"
#include "testsupport/files.h"
#include "testsupport/temp_dir.h"

namespace {

struct AppRun {
    int status = -1; // exit status, or -1 when it had to be killed
    std::string out;
    std::vector<std::string> log;
};

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::stringstream ss(text);
    std::string line;
    while (std::getline(ss, line))
        out.push_back(line);
    return out;
}

size_t countLines(const std::vector<std::string> &log, const std::string &prefix)
{
    size_t n = 0;
    for (const std::string &l : log)
        if (l.compare(0, prefix.size(), prefix) == 0)
            n++;
    return n;
}

void typeText(int fd, const std::string &text)
{
    if (!text.empty() && write(fd, text.data(), text.size()) != (ssize_t)text.size())
        ADD_FAILURE() << "could not type the input";
}

// Starts q7_app with `args`, standard input from `input`, the board root and extra environment;
// `during` runs while it does; the program is killed after `limitSecs`.
// Standard input is a pipe: `input` is written at once, `during` may type more on `typing`
// (for example with pauses between lines), and the pipe is closed after it.
AppRun runApp(const std::string &dir, std::vector<std::string> args, const std::string &input,
              int limitSecs, std::vector<std::string> env = {},
              const std::function<void(int typing)> &during = nullptr)
{
    std::string out = dir + "/stdout", log = dir + "/sim.log";
    int fds[2];
    if (pipe(fds) != 0)
        return AppRun();
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[1]);
        int fdOut = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fds[0], 0);
        dup2(fdOut, 1);
        dup2(fdOut, 2);
        if (chdir(dir.c_str()) != 0)
            _exit(126);
        setenv("Q7_ROOT", dir.c_str(), 1);
        setenv("Q7_SIM_LOG", log.c_str(), 1);
        for (const std::string &e : env)
            putenv(strdup(e.c_str()));
        std::vector<char *> argv;
        std::string prog = Q7_APP_PATH;
        argv.push_back(&prog[0]);
        for (std::string &a : args)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
        execv(prog.c_str(), argv.data());
        _exit(127);
    }
    close(fds[0]);
    signal(SIGPIPE, SIG_IGN);
    typeText(fds[1], input);
    if (during)
        during(fds[1]);
    close(fds[1]);
    AppRun r;
    int status = 0;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(limitSecs);
    for (;;) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (std::chrono::steady_clock::now() > until) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    r.out = readText(out);
    r.log = lines(readText(log));
    return r;
}

void pressKey(const std::string &device, int code, int value)
{
    std::string cmd = std::string(Q7_SIM_KEY_PATH) + " " + device + " " + std::to_string(code) +
                      " " + std::to_string(value);
    ASSERT_EQ(system(cmd.c_str()), 0);
}

TEST(EndToEnd, MenusDriveACameraProcessAndTheProgramEndsAtTheEndOfInput)
{
    BoardRoot root;
    // The second display's attribute, as the board has it.
    std::string attr = root.path() + "/sys/devices/platform/vpss/display2";
    ASSERT_EQ(system(("mkdir -p " + attr + " && printf 1 > " + attr + "/enabled").c_str()), 0);
    // Main menu 4 (unknown), 2 (sub camera) with d1, run-time 8 (TV out off), 0 (stop),
    // c (ENV) 0, then the input ends.
    AppRun r = runApp(root.path(), {}, "4\n2\n2\n8\n0\nc\n0\n", 30);
    EXPECT_EQ(r.status, 0) << r.out;
    // Four main menus and the ENV menu, which has the same title.
    EXPECT_EQ(countOf(r.out, "\r\n =========\r\n Main Menu\r\n =========\r\n"), 5u);
    EXPECT_NE(r.out.find("sub cam resolution?\n(1.720p, 2.d1) : "), std::string::npos);
    EXPECT_EQ(countOf(r.out, " Run-Time Menu\r\n"), 2u);
    EXPECT_EQ(countOf(r.out, " 1: print evn\r\n"), 1u);

    ASSERT_FALSE(r.log.empty());
    EXPECT_EQ(r.log.front(), "System_init");
    EXPECT_EQ(r.log.back(), "System_deInit");
    EXPECT_EQ(countLines(r.log, "Vsys_init useCase=15 camera=0 capture=1"), 1u);
    EXPECT_EQ(countLines(r.log, "Vcap_init width=720 height=480"), 1u);
    EXPECT_EQ(countLines(r.log, "Vdis_stopDrv display=3"), 1u);
    EXPECT_EQ(countLines(r.log, "Vdis_startDrv display=3"), 1u) << "switched on again at stop";
    EXPECT_EQ(countLines(r.log, "Vsys_exit"), 1u);
    EXPECT_EQ(readText(root.path() + "/sys/devices/platform/vpss/display2/enabled"), "1\n");
}

TEST(EndToEnd, AutomaticModeRunsBothCamerasUntilKeyF1IsPressed)
{
    BoardRoot root;
    std::string key = root.path() + "/dev/input/event0";
    ASSERT_EQ(mkfifo(key.c_str(), 0600), 0);
    // The board's device never hangs up: one writer stays for the whole run, so that each
    // key press below is not followed by an end of input.
    int holder = open(key.c_str(), O_RDWR);
    ASSERT_GE(holder, 0);
    AppRun r = runApp(root.path(), {"1", "1"}, "", 30, {}, [&](int) {
        // Release and repeat do not end it; the card events only print.
        pressKey(key, 59, 0);
        pressKey(key, 59, 2);
        pressKey(key, 62, 1);
        pressKey(key, 63, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        pressKey(key, 59, 1);
    });
    close(holder);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Input device name: \"Unknown\"\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("EV_KEY: sd card inserted\n"), std::string::npos);
    EXPECT_NE(r.out.find("EV_KEY: sd card removed\n"), std::string::npos);
    EXPECT_EQ(countOf(r.out, "KEY_F1\n"), 1u);
    EXPECT_EQ(countOf(r.out, " Main Menu\r\n"), 0u) << "no menu in the automatic mode";
    EXPECT_EQ(countLines(r.log, "Vsys_init useCase=16"), 1u);
    // Both cameras record: the sub camera at 720p, as nobody answers the resolution question.
    EXPECT_EQ(countLines(r.log, "Vcap_init width=1280 height=720"), 1u);
    EXPECT_EQ(countLines(r.log, "Venc_start ch0=1 ch1=1"), 1u);
    EXPECT_EQ(countLines(r.log, "Vsys_exit"), 1u);
    EXPECT_EQ(r.log.back(), "System_deInit");
}

TEST(EndToEnd, AutomaticModeKeepsOneCameraProcessWithoutAKeyDevice)
{
    // Before, a missing key device restarted the camera process at once, over and over.
    BoardRoot root;
    AppRun r = runApp(root.path(), {"1", "1"}, "", 4);
    EXPECT_EQ(r.status, -1) << "it runs until it is killed";
    EXPECT_EQ(countOf(r.out, "device open failed!!"), 1u) << r.out;
    EXPECT_EQ(countOf(r.out, " [app] err: the key device cannot be opened; trying it again every "
                             "second\n"),
              1u)
        << r.out;
    EXPECT_EQ(countLines(r.log, "Vsys_create"), 1u);
    EXPECT_EQ(countLines(r.log, "Vsys_delete"), 0u);
}

TEST(EndToEnd, AutomaticModeEndsWhenTheMainCameraFails)
{
    BoardRoot root;
    AppRun r = runApp(root.path(), {"1", "1"}, "", 30, {"Q7_SIM_MAIN_CAM_FAIL=1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(" [app] err: main camera device failed!!!\n"), std::string::npos);
    EXPECT_EQ(countLines(r.log, "Vsys_create"), 0u);
    EXPECT_EQ(r.log.back(), "System_deInit");
}

TEST(EndToEnd, NoMenuArgumentKeepsTheCameraProcessRunning)
{
    BoardRoot root;
    AppRun r = runApp(root.path(), {"1", "0", "1"}, "1\n0\n0\n", 3);
    EXPECT_EQ(r.status, -1) << "the camera process never returns";
    EXPECT_EQ(countOf(r.out, " Run-Time Menu\r\n"), 0u);
    EXPECT_EQ(countLines(r.log, "Vsys_create"), 1u);
    EXPECT_EQ(countLines(r.log, "Vsys_delete"), 0u);
}

size_t fileSize(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? (size_t)st.st_size : 0;
}

TEST(EndToEnd, AudioMenuPlaysAndRecordsOnTheSimulatedSoundCard)
{
    BoardRoot root;
    // The player's sound beside the program, as on the board; the recorder writes next to it.
    ASSERT_EQ(system(("mkdir -p " + root.path() + "/wav && cp " + Q7_INTRO_WAV + " " + root.path() +
                      "/wav/intro.wav")
                         .c_str()),
              0);
    std::string speaker = root.path() + "/speaker.raw";
    std::vector<std::string> env = {
        "ALSA_CONFIG_PATH=" + std::string(Q7SIM_CONF_PATH), "Q7_SIM_PLAYBACK=" + speaker,
        "Q7_SIM_MIXER_STATE=" + root.path() + "/mixer", "Q7_SIM_TONE_HZ=440"};
    // Play, volume up, stop; capture, stop; leave. Each side runs for a while.
    AppRun r = runApp(root.path(), {}, "6\n1\n3\n", 60, env, [](int typing) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        typeText(typing, "1\n2\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        typeText(typing, "2\n0\n0\n");
    });
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("*1: playback run/stop ("), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("*2: capture  run/stop ("), std::string::npos) << r.out;
    EXPECT_GT(fileSize(speaker), 0u) << "the player reached the speaker";
    std::string wav = readText(root.path() + "/wav/save_mic_16khz.wav");
    ASSERT_GT(wav.size(), 44u) << r.out;
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(8, 4), "WAVE");
}

std::vector<std::string> listDir(const std::string &dir)
{
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (struct dirent *e = readdir(d))
            if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, ".."))
                names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct RootCase {
    const char *name;
    std::string dirName; // the board root's own folder name
    bool fits;           // whether the card's file names fit their buffers below it
};

class BoardRoots : public ::testing::TestWithParam<RootCase>
{};

// Board roots with characters a shell would act on, and one too long for the names below it:
// nothing outside the root is deleted or created, nothing on the card is lost, and a name that
// does not fit is refused, never cut.
TEST_P(BoardRoots, NothingOutsideTheRootIsTouched)
{
    const RootCase &c = GetParam();
    TempDir topDir("q7roots");
    const std::string &top = topDir.path();
    const std::string outer = top + "/outer";
    const std::string root = outer + "/" + c.dirName;
    const std::string cont = root + "/mmc/\xEC\x83\x81\xEC\x8B\x9C\xEB\x85\xB9\xED\x99\x94";
    const std::string event =
        root + "/mmc/\xEC\x9D\xB4\xEB\xB2\xA4\xED\x8A\xB8\xEB\x85\xB9\xED\x99\x94";
    const std::string photo = root + "/mmc/\xEC\x82\xAC\xEC\xA7\x84\xEC\xB4\xAC\xEC\x98\x81";
    const std::string attr = root + "/sys/devices/platform/vpss/display2";
    for (const std::string &d :
         {outer, root, root + "/mmc", cont, event, photo, root + "/dev", root + "/sys",
          root + "/sys/devices", root + "/sys/devices/platform",
          root + "/sys/devices/platform/vpss", attr})
        ASSERT_EQ(mkdir(d.c_str(), 0755), 0) << d;
    EXPECT_TRUE(writeText(top + "/above.txt", "above"));
    EXPECT_TRUE(writeText(outer + "/beside.txt", "beside"));
    EXPECT_TRUE(writeText(cont + "/REC_2013_07_05_09_03.avi", "earlier"));
    EXPECT_TRUE(writeText(cont + "/notes.txt", "notes"));
    EXPECT_TRUE(writeText(event + "/EVT_2013_07_05_09_03_41.avi", "event"));
    EXPECT_TRUE(writeText(photo + "/IMG_2013_07_05_09_03_41_m.jpeg", "photo"));
    EXPECT_TRUE(writeText(attr + "/enabled", "1"));

    // Both cameras, TV out off and on again, a snapshot, and stop.
    AppRun r = runApp(root, {}, "3\n1\n", 30, {}, [](int typing) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        typeText(typing, "8\n8\n6\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        typeText(typing, "0\n0\n");
    });
    EXPECT_EQ(r.status, 0) << r.out;

    EXPECT_EQ(listDir(top), (std::vector<std::string>{"above.txt", "outer"}));
    std::vector<std::string> besides = {"beside.txt", c.dirName};
    std::sort(besides.begin(), besides.end());
    EXPECT_EQ(listDir(outer), besides);
    EXPECT_EQ(readText(top + "/above.txt"), "above");
    EXPECT_EQ(readText(outer + "/beside.txt"), "beside");
    EXPECT_EQ(listDir(root), (std::vector<std::string>{"dev", "mmc", "sim.log", "stdout", "sys"}))
        << "nothing made by a shell in the working folder";
    EXPECT_EQ(readText(cont + "/REC_2013_07_05_09_03.avi"), "earlier");
    EXPECT_EQ(readText(cont + "/notes.txt"), "notes");
    EXPECT_EQ(listDir(event), (std::vector<std::string>{"EVT_2013_07_05_09_03_41.avi"}));
    EXPECT_EQ(readText(attr + "/enabled"), "1\n");

    std::vector<std::string> made; // the continuous files of this run
    for (const std::string &f : listDir(cont))
        if (f != "REC_2013_07_05_09_03.avi" && f != "notes.txt")
            made.push_back(f);
    std::vector<std::string> photos = listDir(photo);
    if (c.fits) {
        // One, or two when a minute began meanwhile.
        EXPECT_TRUE(made.size() == 1 || made.size() == 2) << testing::PrintToString(made);
        for (const std::string &f : made)
            EXPECT_TRUE(f.rfind("REC_", 0) == 0 && f.size() == 24) << f;
        EXPECT_EQ(photos.size(), 3u) << r.out; // the earlier one, one per camera
        EXPECT_EQ(r.out.find(" [app] err: a path of"), std::string::npos) << r.out;
    } else {
        EXPECT_TRUE(made.empty()) << testing::PrintToString(made);
        EXPECT_EQ(photos.size(), 1u);
        EXPECT_NE(r.out.find(" [app] err: a path of"), std::string::npos) << r.out;
    }
    EXPECT_EQ(r.out.find("ASSERT"), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Names, BoardRoots,
    ::testing::Values(RootCase{"Blank", "my board", true},
                      RootCase{"Quotes", "it's \"the\" board", true},
                      RootCase{"Semicolon", "a;touch INJECTED;b", true},
                      RootCase{"Substitution", "$(touch INJECTED)`touch INJECTED2`", true},
                      RootCase{"Globs", "*?[a] ~", true}, RootCase{"Newline", "new\nline", true},
                      // The continuous name below it needs 128 bytes and more.
                      RootCase{"TooLong", std::string(120, 'L'), false}),
    [](const ::testing::TestParamInfo<RootCase> &i) { return std::string(i.param.name); });

} // namespace
