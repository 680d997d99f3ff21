// The card of the Windows end-to-end test: writes DIR/setup.cfg as a camera leaves it (a 1.5
// record of the K420 defaults with voice recording on, a zone, bytes the tool does not know) and
// DIR/expected.cfg, the same record after the test's one change (voice recording off) and Save.
#include "builds/model_profile.h"
#include "file/camera_settings.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstring>

namespace {
bool Write(const QString &path, const CameraSettings &s)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) &&
           f.write(reinterpret_cast<const char *>(s.bytes()), qint64(kCameraSettingsSize)) ==
               qint64(kCameraSettingsSize);
}
} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    CameraSettings s;
    ClearSettings(s);
    ResetSettings(s, K420_Setting);
    s.checksum = kConfigSize15;
    s.configVersion = 1 << 16 | 5;
    std::strcpy(s.product, "CAMERA-FW 2.31");
    std::memset(s.timeZoneName, 0, sizeof s.timeZoneName);
    std::strcpy(s.timeZoneName, "Korea Standard Time");
    s.timeZoneBias = 540;
    for (std::size_t i = 0; i < sizeof s.reserved24; ++i)
        s.reserved24[i] = uint8_t(0xA0 + i);
    s.reserved356[15] = 0x77;
    s.voiceRecording = 1;
    if (!Write(dir + "/setup.cfg", s))
        return 1;
    s.voiceRecording = 0;
    return Write(dir + "/expected.cfg", s) ? 0 : 1;
}
