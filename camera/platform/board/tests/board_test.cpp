// q7_app on the emulated camera board (scripts/board): Debian's armhf kernel under
// qemu-system-arm, the card that the settings tool's formatter builds mounted by that kernel's
// own vfat driver, the button pressed on the emulator's keyboard, and power cuts that kill the
// emulator. The card is judged on the PC afterwards, by fsck.fat, mtools and FFmpeg.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>

#include <algorithm>
#include <chrono>
#include <random>
#include <sstream>
#include <thread>

#include "builds/model_profile.h"
#include "file/camera_settings.h"
#include "formatter/fat32_builder.h"
#include "peer_tools.h"
#include "rec_test_util.h"

using namespace rectest;

namespace {

const uint64_t kCardSectors = 2097152;     // 1 GiB
const char kCardPartition[] = "@@4194304"; // mtools: the partition at sector 8192
const char kContFolder[] = "::/상시녹화";
const double kFps = 30.0;
// The recorder brings its open files to the card this often: a cut may lose that much, plus
// the frames between the board's report and the cut that the estimate gets wrong.
const double kSyncSeconds = 2.0;
const double kLossSlack = 0.5;

std::string shq(const std::string &s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string text(const Bytes &b)
{
    return std::string(b.begin(), b.end());
}

// mtools on the card's partition; long names in UTF-8 whatever the caller's locale.
std::string mtool(const std::string &command, const std::string &image, const std::string &args,
                  int *status = nullptr)
{
    return avitest::run("LC_ALL=C.UTF-8 MTOOLS_SKIP_CHECK=1 " + command + " -i " +
                            shq(image + kCardPartition) + " " + args,
                        status);
}

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The board's initramfs with real clips for the encoders, made once for the program.
struct Kit {
    TempDir dir;
    std::string initrd;
    std::string error;
    Kit()
    {
        std::string main = makeH264Clip(dir.path(), "main.h264", 960, 540, 4, 30);
        std::string sub = makeH264Clip(dir.path(), "sub.h264", 640, 360, 4, 30);
        if (main.empty() || sub.empty()) {
            error = "ffmpeg made no clips";
            return;
        }
        // Q7_BOARD_BUILD in the environment boots another armhf build (one to compare with).
        const char *build = getenv("Q7_BOARD_BUILD");
        int status = 0;
        std::string out =
            avitest::run(shq(Q7_BOARD_SCRIPT) + " initrd --build " +
                             shq(build && *build ? build : Q7_BOARD_BUILD) + " --clips " +
                             shq(main) + " " + shq(sub) + " " + shq(dir.file("initrd.gz")),
                         &status);
        if (status == 0)
            initrd = dir.file("initrd.gz");
        else
            error = out;
    }
};

Kit &kit()
{
    static Kit *k = new Kit;
    return *k;
}

// A new card as its owner prepares one on the PC: formatted by the settings tool's formatter
// (q7card), then the settings tool's record saved onto it. Returns setup.cfg's bytes.
Bytes prepareCard(const TempDir &dir, const std::string &image)
{
    int status = 0;
    std::string out = avitest::run(
        shq(Q7CARD_PATH) + " image " + shq(image) + " " + std::to_string(kCardSectors), &status);
    EXPECT_EQ(status, 0) << out;

    CameraSettings s;
    ClearSettings(s);
    s.checksum = kConfigSize15;
    s.configVersion = 1u << 16 | 5;
    ResetSettings(s, K420_Setting);
    std::string cfg = dir.file("setup.cfg");
    writeFile(cfg, Bytes(kCameraSettingsSize, 0)); // Save writes over a file, never creates one
    EXPECT_TRUE(SaveSettings(s, QString::fromStdString(cfg), K420_Setting));
    Bytes saved = readFile(cfg);
    EXPECT_EQ(saved, Bytes(s.bytes(), s.bytes() + kCameraSettingsSize));
    out = mtool("mcopy", image, shq(cfg) + " ::/setup.cfg", &status);
    EXPECT_EQ(status, 0) << out;
    return saved;
}

// fsck.fat's findings on the card's partition.
QStringList fsckFindings(const std::string &image, const TempDir &scratch,
                         QString *report = nullptr)
{
    FormatLayout layout{};
    EXPECT_TRUE(ComputeLayout(kCardSectors, layout));
    return FsckFindings(QString::fromStdString(image), layout.volumeSectors,
                        QString::fromStdString(scratch.path()), nullptr, report);
}

// The continuous recordings on the card whose names hold `part`, copied into `to`; their names.
std::vector<std::string> copyRecordings(const std::string &image, const std::string &part,
                                        const std::string &to)
{
    avitest::run("mkdir -p " + shq(to));
    std::string list = mtool("mdir", image, "-b " + shq(std::string(kContFolder)));
    std::vector<std::string> names;
    size_t pos = 0;
    while (pos < list.size()) {
        size_t end = list.find('\n', pos);
        if (end == std::string::npos)
            end = list.size();
        std::string path = list.substr(pos, end - pos);
        pos = end + 1;
        std::string name = path.substr(path.rfind('/') + 1);
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".avi") != 0 ||
            name.find(part) == std::string::npos)
            continue;
        int status = 0;
        std::string out =
            mtool("mcopy", image,
                  "-n " + shq(std::string(kContFolder) + "/" + name) + " " + shq(to + "/" + name),
                  &status);
        EXPECT_EQ(status, 0) << out;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The last "sim: produced P0 P1 dropped D0 D1" line of the console between `from` and `until`.
bool lastReport(const std::string &console, size_t from, unsigned long long v[4],
                size_t until = std::string::npos)
{
    size_t pos = console.rfind("sim: produced ", until);
    if (pos == std::string::npos || pos < from)
        return false;
    return sscanf(console.c_str() + pos, "sim: produced %llu %llu dropped %llu %llu", &v[0], &v[1],
                  &v[2], &v[3]) == 4;
}

// The emulated board, booted by scripts/board with its console in a file.
class Emulator
{
public:
    explicit Emulator(const TempDir &dir)
        : m_console(dir.file("console.log")), m_monitor(dir.file("monitor.sock"))
    {}
    ~Emulator() { cut(); }

    // Powers the board up with the card; its clock starts at `time` (ISO form).
    bool boot(const std::string &card, const std::string &time)
    {
        signal(SIGPIPE, SIG_IGN);
        unlink(m_console.c_str());
        unlink(m_monitor.c_str());
        m_pid = fork();
        if (m_pid == 0) {
            int in = open("/dev/null", O_RDONLY);
            int out = open(m_console.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(in, 0);
            dup2(out, 1);
            dup2(out, 2);
            execl(Q7_BOARD_SCRIPT, Q7_BOARD_SCRIPT, "boot", "--initrd", kit().initrd.c_str(),
                  "--monitor", m_monitor.c_str(), "--time", time.c_str(), "--env",
                  "Q7_SIM_REPORT=/dev/console", card.c_str(), (char *)nullptr);
            _exit(127);
        }
        return m_pid > 0;
    }

    std::string console() const { return text(readFile(m_console)); }

    // Waits until the console holds `what` at or after `from`; false when the board stopped or
    // `secs` passed. *at is where it stands.
    bool waitFor(const std::string &what, double secs, size_t from = 0, size_t *at = nullptr)
    {
        auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(secs);
        while (std::chrono::steady_clock::now() < until) {
            std::string c = console();
            size_t pos = c.find(what, from);
            if (pos != std::string::npos) {
                if (at)
                    *at = pos;
                return true;
            }
            if (!running())
                return false;
            sleepMs(20);
        }
        return false;
    }

    // Presses and releases a key on the emulator's keyboard, through its monitor.
    bool press(const char *key)
    {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr;
        memset(&addr, 0, sizeof(addr));
        addr.sun_family = AF_UNIX;
        snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", m_monitor.c_str());
        bool connected = false;
        for (int i = 0; i < 100 && !connected; i++) {
            connected = connect(fd, (sockaddr *)&addr, sizeof(addr)) == 0;
            if (!connected)
                sleepMs(50);
        }
        std::string cmd = std::string("sendkey ") + key + "\n";
        bool sent = connected && write(fd, cmd.data(), cmd.size()) == (ssize_t)cmd.size();
        sleepMs(300); // the monitor reads the line before the socket goes
        close(fd);
        return sent;
    }

    // Waits for the emulator to end by itself: its exit status, or -1 when it had to be killed.
    int waitEnd(int secs)
    {
        for (int i = 0; i < secs * 10 && m_pid > 0; i++) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            sleepMs(100);
        }
        cut();
        return -1;
    }

    // The power cut: the emulator dies at once, the card image keeps what the board had written.
    void cut()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    bool running()
    {
        if (m_pid <= 0)
            return false;
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return false;
        }
        return true;
    }

    std::string m_console;
    std::string m_monitor;
    pid_t m_pid = -1;
};

// The chain the system exists for: a card prepared on the PC, recorded on by the camera board
// until its button is pressed, and read back on the PC.
TEST(EmulatedBoard, ACardPreparedOnThePcRecordsBothCamerasUntilTheButtonAndReadsBackClean)
{
    ASSERT_FALSE(kit().initrd.empty()) << kit().error;
    TempDir dir;
    std::string card = dir.file("card.img");
    Bytes setup = prepareCard(dir, card);
    ASSERT_FALSE(HasFailure());

    // Some seconds before a minute, so that the recording changes files on the card.
    Emulator board(dir);
    ASSERT_TRUE(board.boot(card, "2026-12-10T09:59:35"));
    size_t first = 0;
    ASSERT_TRUE(board.waitFor("new filename /mmc/상시녹화/REC_2026_12_10_", 120, 0, &first))
        << board.console();
    bool twoMinutes =
        board.console().find("new filename /mmc/상시녹화/REC_2026_12_10_09_59", first) == first;
    if (twoMinutes) {
        EXPECT_TRUE(board.waitFor("new filename /mmc/상시녹화/REC_2026_12_10_10_00", 30, first))
            << board.console();
    }
    sleepMs(4000);
    ASSERT_TRUE(board.press("f1"));
    EXPECT_EQ(board.waitEnd(120), 0);
    std::string console = board.console();
    printf("%s", console.c_str());
    EXPECT_NE(console.find("Input device name: \"QEMU Virtio Keyboard\""), std::string::npos);
    EXPECT_NE(console.find("KEY_F1"), std::string::npos);
    EXPECT_NE(console.find("board: q7_app ended with status 0"), std::string::npos);
    EXPECT_NE(console.find("board: status LED period 0"), std::string::npos)
        << "the status LED stopped blinking";
    EXPECT_NE(console.find("board: card unmounted"), std::string::npos);
    // What the encoders had produced when the key came; while the camera stops they go on a
    // moment, with nobody taking their frames.
    unsigned long long produced[4] = {0, 0, 0, 0};
    ASSERT_TRUE(lastReport(console, 0, produced, console.find("KEY_F1")));
    EXPECT_EQ(produced[2] + produced[3], 0u) << "the board kept up with its encoders";

    // fsck.fat finds only what the formatter's layout implies: the card was unmounted cleanly.
    for (const QString &f : fsckFindings(card, dir)) {
        EXPECT_TRUE(f == kLabelFinding || f.startsWith(kFreeCountFinding)) << f.toStdString();
    }

    std::vector<std::string> files = copyRecordings(card, "REC_2026_12_10_", dir.file("rec"));
    if (twoMinutes) {
        EXPECT_EQ(files, (std::vector<std::string>{"REC_2026_12_10_09_59.avi",
                                                   "REC_2026_12_10_10_00.avi"}));
    }
    ASSERT_FALSE(files.empty());
    size_t main = 0, sub = 0;
    uint64_t audioBytes = 0;
    for (const std::string &f : files) {
        std::string path = dir.file("rec/" + f);
        expectGoodRecording(path);
        std::string info = avitest::run(shq(Q7AVI_PATH) + " info " + shq(path));
        EXPECT_NE(info.find(": complete\n"), std::string::npos) << info;
        for (const Chunk &c : readChunks(path)) {
            main += c.fourcc == "00dc";
            sub += c.fourcc == "01dc";
            audioBytes += c.fourcc == "02wb" ? c.data.size() : 0;
        }
    }
    printf("recorded %zu main and %zu sub frames, %.1f s of audio; the board produced %llu + %llu "
           "frames by its last report before the key\n",
           main, sub, audioBytes / 16000.0, produced[0], produced[1]);
    // Every frame up to the last report, and at most the second up to the key.
    EXPECT_GE(main + 2, produced[0]);
    EXPECT_LE(main, produced[0] + 50);
    EXPECT_GE(sub + 2, produced[1]);
    EXPECT_LE(sub, produced[1] + 50);
    EXPECT_NEAR(audioBytes / 16000.0, main / kFps, 1.5);

    int status = 0;
    std::string out = mtool("mcopy", card, "-n ::/setup.cfg " + shq(dir.file("back.cfg")), &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(readFile(dir.file("back.cfg")), setup) << "setup.cfg byte for byte";
}

// What fsck.fat may say of a card whose power was cut while the kernel had files open: the
// mount's dirty flag left set (so the boot sector differs from its backup in that byte), the two
// FATs differing, a file whose directory entry is shorter than its cluster chain, clusters taken
// that no entry covers, and the free count the formatter leaves unset. Each line of its report must
// be of these kinds; anything else is damage a cut must not do.
bool cutReportLine(const std::string &line)
{
    static const char *const known[] = {
        "Dirty bit is set. Fs was not properly unmounted and some data may be corrupt.",
        " Automatically removing dirty bit.",
        "There are differences between boot sector and its backup.",
        "This is mostly harmless. Differences: (offset:original/backup)",
        "  65:01/00",
        "  Not automatically fixing this.",
        "FATs differ but appear to be intact.", // the cut fell between the two copies' writes
        "  Using first FAT.",
        "Label in boot sector is 'NO NAME QV', but there is no volume label in root directory.",
        "  Auto-removing label from boot sector.",
        "Free cluster summary uninitialized (should be ",
        "Free cluster summary wrong (",
        "  File size is ",
        "  Truncating file to ",
        "Reclaimed ",
        "Leaving filesystem unchanged.",
    };
    const bool summary =
        line.find(": ") != std::string::npos && line.find(" files, ") != std::string::npos &&
        line.find(" clusters") == line.size() - 9; // "part.img: 2 files, 7/9 clusters"
    if (line.empty() || line.rfind("fsck.fat ", 0) == 0 || summary)
        return true; // the banner and the summary
    if (line[0] == '/')
        return true; // the file that the next lines are about
    for (const char *k : known)
        if (line.rfind(k, 0) == 0)
            return true;
    return false;
}

int envInt(const char *name, int fallback)
{
    const char *v = getenv(name);
    return v != nullptr && atoi(v) > 0 ? atoi(v) : fallback;
}

// The card goes through several power cuts at random moments of a recording, each followed by
// a power-up of the board on the same card (as in the car). After each cut the card is judged
// on the PC: fsck.fat's findings are printed and must be of the kinds a cut leaves, and every
// recording of that power-up is complete or repaired by q7avi into a file FFmpeg reads, whose
// complete frames decode. What a cut loses is measured from the frames the board had produced
// against the frames the card gives back.
TEST(EmulatedBoard, PowerCutsLeaveACardThatChecksAndRecordingsThatRepair)
{
    ASSERT_FALSE(kit().initrd.empty()) << kit().error;
    const int cuts = envInt("Q7_BOARD_CUTS", 3);
    // Seconds of recording before a cut, at most (at least 3).
    const int longest = std::max(4, envInt("Q7_BOARD_RECORD_SECS", 8));
    const unsigned seed = (unsigned)envInt("Q7_BOARD_SEED", (int)(time(nullptr) % 100000));
    printf("power cuts: %d after 3 to %d s of recording, seed %u (Q7_BOARD_SEED repeats the run)\n",
           cuts, longest, seed);
    std::mt19937 rng(seed);
    TempDir dir;
    std::string card = dir.file("card.img");
    prepareCard(dir, card);
    ASSERT_FALSE(HasFailure());

    std::vector<double> losses;
    for (int cut = 0; cut < cuts; cut++) {
        SCOPED_TRACE("cut " + std::to_string(cut));
        // Each power-up has an hour of its own, so that its files are told by their names; every
        // other one starts a few seconds before a minute, for cuts around a file change.
        char hour[8], start[32];
        snprintf(hour, sizeof(hour), "_%02d_", cut % 24);
        snprintf(start, sizeof(start), "2026-12-%02dT%02d:00:%02d", 11 + cut / 24, cut % 24,
                 cut % 2 ? 50 + (int)(rng() % 5) : 5);
        Emulator board(dir);
        ASSERT_TRUE(board.boot(card, start));
        size_t from = 0;
        ASSERT_TRUE(board.waitFor("new filename /mmc/상시녹화/REC_", 120, 0, &from))
            << board.console();
        sleepMs(3000 + (int)(rng() % (unsigned)(1000 * (longest - 3))));
        // The cut falls a random moment after a report of the frames produced so far.
        std::string before = board.console();
        ASSERT_TRUE(board.waitFor("sim: produced ", 5, before.size())) << board.console();
        auto seen = std::chrono::steady_clock::now();
        sleepMs((int)(rng() % 900));
        double late =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - seen).count();
        board.cut();
        std::string console = board.console();
        unsigned long long v[4];
        ASSERT_TRUE(lastReport(console, from, v)) << console;
        const double produced = (double)v[0] + late * kFps;

        QString report;
        fsckFindings(card, dir, &report);
        printf("cut %d (%s + %.1f s of recording), fsck.fat -n says:\n", cut, start,
               produced / kFps);
        std::stringstream lines(report.toStdString());
        std::string line;
        while (std::getline(lines, line)) {
            printf("    | %s\n", line.c_str());
            EXPECT_TRUE(cutReportLine(line)) << line;
        }

        std::string rec = dir.file("rec" + std::to_string(cut));
        std::vector<std::string> files = copyRecordings(card, hour, rec);
        size_t recovered = 0;
        for (const std::string &f : files) {
            SCOPED_TRACE(f);
            std::string path = rec + "/" + f;
            CutFile c = readCutFile(path);
            std::string info = avitest::run(shq(Q7AVI_PATH) + " info " + shq(path));
            const bool complete = info.find(": complete\n") != std::string::npos;
            printf("    %s: %zu bytes, %s, %zu + %zu frames and %zu audio blocks%s%s\n", f.c_str(),
                   readFile(path).size(), complete ? "complete" : "cut short", c.count["00dc"],
                   c.count["01dc"], c.count["02wb"], c.tornTag.empty() ? "" : ", cut in ",
                   c.tornTag.c_str());
            recovered += c.count["00dc"];
            if (c.count["00dc"] == 0) {
                // Nothing of the file reached the card but perhaps its header: nothing to repair.
                EXPECT_FALSE(complete);
                continue;
            }
            if (!complete) {
                int status = 0;
                std::string out = avitest::run(shq(Q7AVI_PATH) + " repair " + shq(path), &status);
                EXPECT_EQ(status, 0) << out;
                EXPECT_NE(avitest::run(shq(Q7AVI_PATH) + " info " + shq(path)).find(": complete\n"),
                          std::string::npos);
            }
            expectRepairedWithoutLoss(c, path);
        }
        double lost = (produced - (double)recovered) / kFps;
        losses.push_back(lost);
        printf("    produced %.0f main frames, the card gave back %zu: %.1f s lost\n", produced,
               recovered, lost);
        EXPECT_LE(lost, kSyncSeconds + kLossSlack);
    }
    std::sort(losses.begin(), losses.end());
    printf("seconds lost per cut: median %.1f, most %.1f\n", losses[losses.size() / 2],
           losses.back());
}

} // namespace
