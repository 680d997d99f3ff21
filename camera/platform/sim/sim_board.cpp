// The simulated board's system, cameras, capture and display, its event source and its log.
#include "platform/sim/sim_internal.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

struct Board {
    std::mutex lock;
    std::vector<std::string> log;
    FILE *logFile = nullptr;
    FILE *reportFile = nullptr;
    std::chrono::steady_clock::time_point lastReport{};
    SimCounters counters{};
    uint32_t subStatus = 0;
    uint32_t mainStatus = 0;
    std::string clip[2];

    sim::ChainInfo chain{};
    uint8_t capRegs[4][256]{};
    uint32_t camStatus = 0;

    System_EventHandler handler = nullptr;
    void *handlerData = nullptr;
    bool statusEventSent = false;
    bool motion[2] = {false, false};

    // Event source thread.
    std::thread events;
    std::condition_variable wake;
    bool eventsStop = false;
};

Board &board()
{
    static Board *b = new Board; // lives as long as the process; platform threads may outlive main
    return *b;
}

bool envFlag(const char *name)
{
    const char *v = getenv(name);
    return v != nullptr && v[0] != '\0' && v[0] != '0';
}

void configureFromEnvironment(Board &b)
{
    b.subStatus = envFlag("Q7_SIM_SUB_CAM_FAIL") ? 1 : 0;
    b.mainStatus = envFlag("Q7_SIM_MAIN_CAM_FAIL") ? 1 : 0;
    for (int ch = 0; ch < 2; ch++) {
        const char *clip = getenv(ch == 0 ? "Q7_SIM_CLIP0" : "Q7_SIM_CLIP1");
        b.clip[ch] = clip ? clip : "";
    }
    memset(b.capRegs, 0, sizeof(b.capRegs));
    b.capRegs[VCAP_DEV_SERIAL_LINK][4] = 0x80; // serial link locked
    if (b.logFile == nullptr) {
        const char *path = getenv("Q7_SIM_LOG");
        if (path != nullptr && path[0] != '\0')
            b.logFile = fopen(path, "a");
    }
    if (b.reportFile == nullptr) {
        const char *path = getenv("Q7_SIM_REPORT");
        if (path != nullptr && path[0] != '\0')
            b.reportFile = fopen(path, "a");
    }
}

// Sends the video status event once a handler is there and the chain runs, and motion events
// every few seconds while motion detection is on.
void eventLoop()
{
    Board &b = board();
    auto lastMotion = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lk(b.lock);
    while (!b.eventsStop) {
        b.wake.wait_for(lk, std::chrono::milliseconds(100));
        if (b.eventsStop)
            break;
        System_EventHandler handler = b.handler;
        void *data = b.handlerData;
        if (handler == nullptr || !b.chain.created)
            continue;
        std::vector<uint32_t> due;
        if (!b.statusEventSent) {
            b.statusEventSent = true;
            due.push_back(SYSTEM_EVENT_VIDEO_STATUS_CHANGE);
        }
        auto now = std::chrono::steady_clock::now();
        if (now - lastMotion >= std::chrono::seconds(3)) {
            lastMotion = now;
            if (b.motion[0])
                due.push_back(SYSTEM_EVENT_MAIN_MOTION);
            if (b.motion[1])
                due.push_back(SYSTEM_EVENT_SUB_MOTION);
        }
        if (due.empty())
            continue;
        lk.unlock();
        for (uint32_t ev : due)
            handler(ev, data);
        lk.lock();
    }
}

} // namespace

namespace sim {

void log(const char *fmt, ...)
{
    char line[512];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(line, sizeof(line), fmt, ap);
    va_end(ap);
    Board &b = board();
    std::lock_guard<std::mutex> lk(b.lock);
    b.log.emplace_back(line);
    if (b.logFile != nullptr) {
        fprintf(b.logFile, "%s\n", line);
        fflush(b.logFile);
    }
}

void countProduced(int channel, bool dropped)
{
    Board &b = board();
    std::lock_guard<std::mutex> lk(b.lock);
    if (channel < 0 || channel >= 4)
        return;
    if (dropped)
        b.counters.dropped[channel]++;
    else
        b.counters.produced[channel]++;
    // Once a second, for a watcher outside the process (what a power cut found produced).
    auto now = std::chrono::steady_clock::now();
    if (b.reportFile != nullptr && now - b.lastReport >= std::chrono::seconds(1)) {
        b.lastReport = now;
        const SimCounters &c = b.counters;
        fprintf(b.reportFile, "sim: produced %llu %llu dropped %llu %llu\n",
                (unsigned long long)c.produced[0], (unsigned long long)c.produced[1],
                (unsigned long long)c.dropped[0], (unsigned long long)c.dropped[1]);
        fflush(b.reportFile);
    }
}

void countDecoded(int channel, bool wellFormed)
{
    Board &b = board();
    std::lock_guard<std::mutex> lk(b.lock);
    if (channel < 0 || channel >= 2)
        return;
    if (wellFormed)
        b.counters.decoded[channel]++;
    else
        b.counters.decodeErrors[channel]++;
}

ChainInfo chainInfo(void)
{
    Board &b = board();
    std::lock_guard<std::mutex> lk(b.lock);
    return b.chain;
}

std::string clipPath(int channel)
{
    Board &b = board();
    std::lock_guard<std::mutex> lk(b.lock);
    return (channel == 0 || channel == 1) ? b.clip[channel] : std::string();
}

void setMotion(int channel, bool on)
{
    Board &b = board();
    std::lock_guard<std::mutex> lk(b.lock);
    if (channel == 0 || channel == 1)
        b.motion[channel] = on;
}

} // namespace sim

// ---- inspection interface --------------------------------------------------------------------

void sim_reset(void)
{
    Board &b = board();
    std::lock_guard<std::mutex> lk(b.lock);
    b.log.clear();
    b.counters = SimCounters{};
    configureFromEnvironment(b);
}

std::vector<std::string> sim_log(void)
{
    Board &b = board();
    std::lock_guard<std::mutex> lk(b.lock);
    return b.log;
}

std::vector<std::string> sim_log_grep(const std::string &prefix)
{
    std::vector<std::string> out;
    for (const std::string &line : sim_log())
        if (line.compare(0, prefix.size(), prefix) == 0)
            out.push_back(line);
    return out;
}

SimCounters sim_counters(void)
{
    Board &b = board();
    std::lock_guard<std::mutex> lk(b.lock);
    return b.counters;
}

void sim_set_device_status(uint32_t subStatus, uint32_t mainStatus)
{
    Board &b = board();
    std::lock_guard<std::mutex> lk(b.lock);
    b.subStatus = subStatus;
    b.mainStatus = mainStatus;
}

void sim_set_clip(int channel, const char *path)
{
    Board &b = board();
    std::lock_guard<std::mutex> lk(b.lock);
    if (channel == 0 || channel == 1)
        b.clip[channel] = path ? path : "";
}

// ---- System ----------------------------------------------------------------------------------

int System_init(void)
{
    Board &b = board();
    {
        std::lock_guard<std::mutex> lk(b.lock);
        configureFromEnvironment(b);
        b.handler = nullptr;
        b.eventsStop = false;
    }
    sim::log("System_init");
    if (!b.events.joinable())
        b.events = std::thread(eventLoop);
    return 0;
}

int System_deInit(void)
{
    Board &b = board();
    sim::encoderShutdown();
    sim::decoderShutdown();
    {
        std::lock_guard<std::mutex> lk(b.lock);
        b.eventsStop = true;
        b.handler = nullptr;
    }
    b.wake.notify_all();
    if (b.events.joinable())
        b.events.join();
    sim::log("System_deInit");
    return 0;
}

int System_linkRegisterEventHandler(System_EventHandler handler, void *appData)
{
    Board &b = board();
    {
        std::lock_guard<std::mutex> lk(b.lock);
        b.handler = handler;
        b.handlerData = appData;
    }
    sim::log("System_linkRegisterEventHandler");
    return 0;
}

// ---- Vsys ------------------------------------------------------------------------------------

void Vsys_params_init(VSYS_PARAMS_S *prm)
{
    memset(prm, 0, sizeof(*prm));
    prm->systemUseCase = VSYS_USECASE_SINGLE_STREAM;
    prm->enableEncode = 1;
    sim::log("Vsys_params_init");
}

int Vsys_init(VSYS_PARAMS_S *prm)
{
    Board &b = board();
    {
        std::lock_guard<std::mutex> lk(b.lock);
        b.chain.vsys = *prm;
    }
    sim::log("Vsys_init useCase=%u camera=%u capture=%u encode=%u mjpeg=%u tvOut=%u",
             prm->systemUseCase, prm->enableCamera, prm->enableCapture, prm->enableEncode,
             prm->enableMjpeg, prm->enableTvOut);
    return 0;
}

int Vsys_create(void)
{
    Board &b = board();
    {
        std::lock_guard<std::mutex> lk(b.lock);
        b.chain.created = true;
        b.statusEventSent = false;
    }
    sim::log("Vsys_create");
    return 0;
}

int Vsys_delete(void)
{
    Board &b = board();
    {
        std::lock_guard<std::mutex> lk(b.lock);
        b.chain.created = false;
        b.motion[0] = b.motion[1] = false;
    }
    sim::log("Vsys_delete");
    return 0;
}

int Vsys_exit(void)
{
    sim::log("Vsys_exit");
    return 0;
}

int Vsys_get_device_status(uint32_t *subStatus, uint32_t *mainStatus)
{
    Board &b = board();
    uint32_t sub, main;
    {
        std::lock_guard<std::mutex> lk(b.lock);
        sub = b.subStatus;
        main = b.mainStatus;
    }
    *subStatus = sub;
    *mainStatus = main;
    sim::log("Vsys_get_device_status sub=%u main=%u", sub, main);
    return 0;
}

int Vsys_setSwOsdPrm(int set, VSYS_SWOSD_PRM *prm)
{
    switch (set) {
    case VSYS_SWOSD_SET_FRAMERATE:
        sim::log("Vsys_setSwOsdPrm set=3 ch=%u frameRate=%u", prm->chId, prm->frameRate);
        break;
    case VSYS_SWOSD_SET_TEXT:
        sim::log("Vsys_setSwOsdPrm set=6 ch=%u mode=%u colour=%u text=%s", prm->chId, prm->mode,
                 prm->colour, prm->text ? prm->text : "(null)");
        break;
    case VSYS_SWOSD_SET_VALUE:
        sim::log("Vsys_setSwOsdPrm set=7 ch=%u value=%u", prm->chId, prm->value);
        break;
    default:
        sim::log("Vsys_setSwOsdPrm set=%d ch=%u", set, prm->chId);
        return -1;
    }
    return 0;
}

int Vsys_dateTime_init(void)
{
    sim::log("Vsys_dateTime_init seconds=%lld", (long long)time(nullptr));
    return 0;
}

// ---- Vcam ------------------------------------------------------------------------------------

void Vcam_params_init(VCAM_PARAMS_S *prm)
{
    memset(prm, 0, sizeof(*prm));
    prm->width = 1920;
    prm->height = 1080;
    sim::log("Vcam_params_init");
}

int Vcam_init(VCAM_PARAMS_S *prm)
{
    Board &b = board();
    {
        std::lock_guard<std::mutex> lk(b.lock);
        b.chain.vcam = *prm;
    }
    sim::log("Vcam_init width=%u height=%u", prm->width, prm->height);
    return 0;
}

int Vcam_start(void)
{
    sim::log("Vcam_start");
    return 0;
}

int Vcam_stop(void)
{
    sim::log("Vcam_stop");
    return 0;
}

int Vcam_exit(void)
{
    sim::log("Vcam_exit");
    return 0;
}

int Vcam_set_video_reg(uint16_t *addr, uint16_t *value)
{
    if (addr == nullptr || value == nullptr)
        return -1;
    sim::log("Vcam_set_video_reg addr=%u value=%u", *addr, *value);
    return 0;
}

int Vcam_set_video_option(int option, int level)
{
    if (option < '1' || option > '3') {
        sim::log("Vcam_set_video_option option=%d level=%d refused", option, level);
        return -1;
    }
    // The camera takes -3..+3 around the neutral level 4.
    sim::log("Vcam_set_video_option option=%c level=%d sent=%d", option, level, level - 4);
    return 0;
}

int Vcam_get_camera_status(uint32_t *status)
{
    Board &b = board();
    uint32_t s;
    {
        std::lock_guard<std::mutex> lk(b.lock);
        s = b.camStatus;
    }
    *status = s != 0 ? 1 : 0;
    sim::log("Vcam_get_camera_status status=%u", *status);
    return 0;
}

// ---- Vcap ------------------------------------------------------------------------------------

void Vcap_params_init(VCAP_PARAMS_S *prm)
{
    memset(prm, 0, sizeof(*prm));
    sim::log("Vcap_params_init");
}

int Vcap_init(VCAP_PARAMS_S *prm)
{
    Board &b = board();
    {
        std::lock_guard<std::mutex> lk(b.lock);
        b.chain.vcap = *prm;
    }
    sim::log("Vcap_init width=%u height=%u", prm->width, prm->height);
    return 0;
}

int Vcap_start(void)
{
    sim::log("Vcap_start");
    return 0;
}

int Vcap_stop(void)
{
    sim::log("Vcap_stop");
    return 0;
}

int Vcap_exit(void)
{
    sim::log("Vcap_exit");
    return 0;
}

int Vcap_get_video_status(uint32_t *hasSignal)
{
    *hasSignal = 1;
    sim::log("Vcap_get_video_status signal=1");
    return 0;
}

int Vcap_set_video_reg(int device, uint8_t reg, uint8_t value)
{
    if (device < 0 || device > 3)
        return -1;
    Board &b = board();
    {
        std::lock_guard<std::mutex> lk(b.lock);
        b.capRegs[device][reg] = value;
    }
    sim::log("Vcap_set_video_reg dev=%d reg=%u value=%u", device, reg, value);
    return 0;
}

int Vcap_get_video_reg(int device, uint8_t reg, uint8_t *value)
{
    if (device < 0 || device > 3 || value == nullptr)
        return -1;
    Board &b = board();
    {
        std::lock_guard<std::mutex> lk(b.lock);
        *value = b.capRegs[device][reg];
    }
    sim::log("Vcap_get_video_reg dev=%d reg=%u value=%u", device, reg, *value);
    return 0;
}

// ---- Vdis ------------------------------------------------------------------------------------

void Vdis_params_init(VDIS_PARAMS_S *prm)
{
    memset(prm, 0, sizeof(*prm));
    sim::log("Vdis_params_init");
}

int Vdis_init(VDIS_PARAMS_S *prm)
{
    sim::log("Vdis_init tvOut=%u", prm->enableTvOut);
    return 0;
}

int Vdis_start(void)
{
    sim::log("Vdis_start");
    // The board's display comes up in its own time; a test can make it slow.
    const char *ms = getenv("Q7_SIM_DISPLAY_START_MS");
    if (ms != nullptr && atoi(ms) > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(atoi(ms)));
    return 0;
}

int Vdis_stop(void)
{
    sim::log("Vdis_stop");
    return 0;
}

int Vdis_exit(void)
{
    sim::log("Vdis_exit");
    return 0;
}

int Vdis_startDrv(int display)
{
    sim::log("Vdis_startDrv display=%d", display);
    return 0;
}

int Vdis_stopDrv(int display)
{
    sim::log("Vdis_stopDrv display=%d", display);
    return 0;
}

int Vdis_setMosaicParams(int display, VDIS_MOSAIC_S *layout)
{
    std::string wins;
    uint32_t n = layout->numberOfWindows;
    if (n > VDIS_MOSAIC_WIN_MAX)
        return -1;
    for (uint32_t i = 0; i < n; i++) {
        char w[64];
        const VDIS_MOSAIC_WIN_S &win = layout->winList[i];
        snprintf(w, sizeof(w), " win%u=%u,%u,%ux%u:%u", i, win.startX, win.startY, win.width,
                 win.height, layout->chnMap[i]);
        wins += w;
    }
    sim::log("Vdis_setMosaicParams display=%d out=%ux%u windows=%u%s fps=%u", display,
             layout->displayWidth, layout->displayHeight, n, wins.c_str(), layout->outputFPS);
    return 0;
}
