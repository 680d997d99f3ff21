#include "graphics/graphic.h"

#include <fcntl.h>
#include <linux/fb.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "graphics/draw_gui.h"
#include "platform/board_path.h"

GRPX_OBJ grpx_obj;
int grpx_init;
OSA_MutexHndl grpx_lock;

namespace {

// Region requests of the TI display driver.
const unsigned long TIFB_SET_PARAMS = 0x40304E02;
const unsigned long TIFB_GET_PARAMS = 0x80304E03;
const unsigned long TIFB_DISABLE = 0x40044E0B; // sent with 0 before the device is closed
const unsigned char kBlendAlpha = 0x80;

const uint32_t kSimPlaneSize = GRPX_WIDTH * GRPX_HEIGHT * 4;

void closeDevice(int fd)
{
    int off = 0;
    ioctl(fd, TIFB_DISABLE, &off);
    close(fd);
}

// The frame-buffer set-up: screen information, the blending region, the size to map.
bool setUpDevice(int fd, uint32_t *size)
{
    fb_fix_screeninfo fix;
    fb_var_screeninfo var;
    if (ioctl(fd, FBIOGET_FSCREENINFO, &fix) < 0) {
        puts(" [app] err: Error reading fixed information.");
        return false;
    }
    if (ioctl(fd, FBIOGET_VSCREENINFO, &var) < 0) {
        perror("Error reading variable information.\n");
        return false;
    }
    if (ioctl(fd, FBIOPUT_VSCREENINFO, &var) < 0) {
        perror("Error writing variable information.\n");
        return false;
    }
    if (ioctl(fd, FBIOGET_FSCREENINFO, &fix) < 0) {
        perror("Error reading fixed information.\n");
        return false;
    }
    *size = var.bits_per_pixel / 8 * var.xres * var.yres;

    printf("alpha = 0x%x\n", kBlendAlpha);
    unsigned char regp[48];
    memset(regp, 0, sizeof(regp));
    if (ioctl(fd, TIFB_GET_PARAMS, regp) < 0) {
        perror("TIFB_GET_PARAMS\n");
    } else {
        const uint32_t one = 1;
        memcpy(regp + 32, &one, sizeof(one));
        regp[45] = kBlendAlpha;
        if (ioctl(fd, TIFB_SET_PARAMS, regp) < 0)
            perror("TIFB_SET_PARAMS.\n");
    }
    return true;
}

void closePlane(void)
{
    if (grpx_obj.fbAddr != nullptr)
        munmap(grpx_obj.fbAddr, grpx_obj.fbSize);
    if (grpx_obj.fd > 0) {
        struct stat st;
        if (fstat(grpx_obj.fd, &st) == 0 && S_ISREG(st.st_mode))
            close(grpx_obj.fd);
        else
            closeDevice(grpx_obj.fd);
    }
    memset(&grpx_obj, 0, sizeof(grpx_obj));
    grpx_init = 0;
}

int openPlane(void)
{
    // A plane still open (the graphic test opens it over the camera process's) is closed
    // first, so that its mapping and descriptor are not lost.
    closePlane();
    const std::string path = board_path("/dev/fb2");
    int fd = open(path.c_str(), O_RDWR);
    if (fd < 1) {
        if (fd == 0)
            close(fd);
        printf(" [app] err: Could not open device [%s] \n", path.c_str());
        return -1;
    }

    uint32_t size = 0;
    struct stat st;
    const bool plainFile = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    bool ok;
    if (plainFile) {
        // The simulated board's plane: a file of one 720 x 480 x 32-bit picture. A shorter
        // file is extended so that no pixel lies beyond its end.
        size = kSimPlaneSize;
        ok = st.st_size >= (off_t)size || ftruncate(fd, size) == 0;
        if (!ok)
            perror("Error sizing the plane file.\n");
    } else {
        ok = setUpDevice(fd, &size);
    }

    void *addr = MAP_FAILED;
    if (ok && size < kSimPlaneSize) {
        // The primitives address 720 x 480 pixels whatever the driver reports.
        printf(" [app] err: frame buffer of %u bytes is smaller than the plane\n", size);
        ok = false;
    }
    if (ok) {
        addr = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (addr == MAP_FAILED) {
            puts(" [app] err: mmap failed");
            ok = false;
        }
    }
    if (!ok) {
        if (plainFile)
            close(fd);
        else
            closeDevice(fd);
        return -1;
    }

    draw_fill_color((uint32_t *)addr, GRPX_KEY_COLOR);
    grpx_obj.fd = fd;
    grpx_obj.fbAddr = (uint32_t *)addr;
    grpx_obj.fbSize = size;
    grpx_init = 1;
    return 0;
}

} // namespace

int grpx_fb_init(void)
{
    OSA_mutexLock(&grpx_lock);
    const int result = openPlane();
    OSA_mutexUnlock(&grpx_lock);
    return result;
}

void grpx_fb_exit(void)
{
    OSA_mutexLock(&grpx_lock);
    closePlane();
    OSA_mutexUnlock(&grpx_lock);
}
