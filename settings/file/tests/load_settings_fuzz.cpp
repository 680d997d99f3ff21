// LoadSettings on arbitrary file contents: the record is a byte image, so nothing in the file may
// make the load or the following save read or write outside the 432 bytes.
#include "builds/model_profile.h"
#include "file/camera_settings.h"
#include "file/debug_log.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath("setup.cfg");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    DebugLogCapture log;
    CameraSettings settings;
    ClearSettings(settings);
    if (!LoadSettings(settings, path))
        std::abort();
    const ModelProfile &model = (size & 1) ? K420_Setting : KZ7100_Setting;
    if (!SaveSettings(settings, path, model))
        std::abort();
    QFile after(path);
    if (!after.open(QIODevice::ReadOnly) || after.size() < qint64(std::min<size_t>(size, 432)))
        std::abort();
    return 0;
}
