#include "file/camera_settings.h"

#include "file/ansi_text.h"
#include "file/debug_log.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace {
void LogVersionList()
{
    DebugLog(QStringLiteral("config version : 1.0 , checksum = 356\n"));
    DebugLog(QStringLiteral("config version : 1.1 , checksum = 372\n"));
    DebugLog(QStringLiteral("config version : 1.2 , checksum = 412\n"));
    DebugLog(QStringLiteral("config version : 1.3 , checksum = 420\n"));
}

QByteArray ProductUtf8(const CameraSettings &s)
{
    return SettingsText(s.product, sizeof s.product).toUtf8();
}
} // namespace

void ClearSettings(CameraSettings &settings)
{
    std::memset(settings.bytes(), 0, kCameraSettingsSize);
}

QString SettingsText(const char *field, std::size_t width)
{
    return AnsiToWide(field, qsizetype(width));
}

void ResetSettings(CameraSettings &settings, const RecordProfile &model)
{
    for (std::size_t i = 0; i < model.textDefaultCount; ++i) {
        const TextDefault &t = model.textDefaults[i];
        char *field = reinterpret_cast<char *>(settings.bytes()) + t.offset;
        std::memset(field, 0, t.width);
        std::strncpy(field, t.text, t.width - 1);
    }
    for (std::size_t i = 0; i < model.fieldDefaultCount; ++i)
        settings.*(model.fieldDefaults[i].field) = model.fieldDefaults[i].value;
}

bool LoadSettings(CameraSettings &settings, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        DebugLog(QStringLiteral("Warning Roadlog Setting not found !\n"));
        return false;
    }
    // The length comes from the file system and only the record's share is read, so an
    // oversized file costs nothing.
    const qint64 length = file.size();
    CameraSettings loaded;
    ClearSettings(loaded);
    const qint64 wanted = std::min<qint64>(length, qint64(kCameraSettingsSize));
    qint64 got = 0;
    while (got < wanted) {
        const qint64 n = file.read(reinterpret_cast<char *>(loaded.bytes()) + got, wanted - got);
        if (n <= 0)
            break;
        got += n;
    }
    file.close();
    settings = loaded;

    DebugLog(QStringLiteral("\n\nRoadlog Setting loading...\n"));
    LogVersionList();
    DebugLogF("Read Product:[%s], Config Ver.:[%d.%d], CheckSum:[%d], Read Size:[%lld]\n",
              ProductUtf8(settings).constData(), int(settings.configVersion >> 16),
              int(settings.configVersion & 0xFFFF), int(settings.checksum),
              static_cast<long long>(length));
    if (length > qint64(kCameraSettingsSize))
        DebugLog(
            QStringLiteral("Warning config version seems to be higher than 1.2 or invalid !\n"));
    if (length != qint64(settings.checksum))
        DebugLog(QStringLiteral("Warning file length differs  from the checksum !\n"));
    return true;
}

bool SaveSettings(CameraSettings &settings, const QString &path, const RecordProfile &model)
{
    if (!QFileInfo::exists(path)) {
        DebugLog(QStringLiteral("Roadlog Setting is not exist\n"));
        return false;
    }
    QFile file(path);
    // ExistingOnly: the tool never creates setup.cfg; no Truncate: bytes past the record stay.
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) {
        DebugLog(QStringLiteral("\n\nRoadlog Setting fail to save\n"));
        return false;
    }
    DebugLog(QStringLiteral("\n\nRoadlog Setting saving...\n"));
    if (model.saveLogsVersionList)
        LogVersionList();
    else
        DebugLog(QStringLiteral("config version : 1.5 , checksum = 432\n"));

    // Only as much as the loaded version covers: fields beyond a shorter file's end (language
    // in a 1.3 file) do not reach it.
    const uint32_t size = std::min<uint32_t>(settings.checksum, kConfigSize15);
    if (model.saveStampsChecksum)
        settings.checksum = kConfigSize15;
    const qint64 written = file.write(reinterpret_cast<const char *>(settings.bytes()), size);
    const bool flushed = file.flush();
    file.close();
    if (written != qint64(size) || !flushed || file.error() != QFileDevice::NoError) {
        // A full or failing card must not be reported as saved.
        DebugLog(QStringLiteral("\n\nRoadlog Setting fail to save\n"));
        return false;
    }

    DebugLogF("Write Product:[%s]  Config Ver.:[%d.%d], CheckSum:[%d], Written Size [%d] \n",
              ProductUtf8(settings).constData(), int(settings.configVersion >> 16),
              int(settings.configVersion & 0xFFFF), int(settings.checksum), int(size));
    DumpSettings(settings);
    return true;
}

void DumpSettings(const CameraSettings &s)
{
    DebugLog(QStringLiteral("Common ") + QString(65, '-') + '\n');
    DebugLogF("Front Camera Brightness  [0~2] = %d\n", s.frontBrightness);
    DebugLogF("Voice recording Enable [0/1] = %d\n", s.voiceRecording);
    DebugLogF("Voice guguidence Enable[0/1] = %d,  Volume [1~6] = %d\n", s.voiceGuidance,
              s.voiceVolume);
    DebugLogF("Safe Helper Voice (Domestic only) Enable [0/1] = %d\n", s.safetyVoice);
    DebugLogF("Time Zone  Offset = %d\n", s.timeZoneBias);
    DebugLogF("Date Format  [0/1] = %d\n", s.dateFormat);
    DebugLogF("Speed Unit  [0/1] = %d\n", s.speedUnit);
    DebugLogF("Current Language  [0/1] = %d\n", s.language);

    const auto recording = [](int32_t resolution, int32_t rearResolution, int32_t frames,
                              int32_t quality, int32_t rearQuality, int32_t impact) {
        DebugLogF("Front Camera Resolution [1~3] = %d\n", resolution);
        DebugLogF("Rear Camera Resolution [1~2] = %d\n", rearResolution);
        DebugLogF("Front Frame [1~3] = %d\n", frames);
        DebugLogF("Front Vidoe Quality  [1~3] = %d\n", quality);
        DebugLogF("Rear Vidoe Quality  [1~3] = %d\n", rearQuality);
        DebugLogF("Impact Sensitivity [1~10] = %d\n", impact);
    };
    DebugLog(QStringLiteral("Continous  ") + QString(63, '-') + '\n');
    recording(s.normalFrontResolution, s.normalRearResolution, s.normalFrontFrameRate,
              s.normalFrontQuality, s.normalRearQuality, s.normalImpactSensitivity);
    DebugLog(QStringLiteral("Surveillance ") + QString(63, '-') + '\n');
    DebugLogF("Surveillance Enable [0/1] = %d\n", s.parkingMode);
    recording(s.parkingFrontResolution, s.parkingRearResolution, s.parkingFrontFrameRate,
              s.parkingFrontQuality, s.parkingRearQuality, s.parkingImpactSensitivity);
    DebugLogF("Motion Detect  Enabe[0/1] = %d, Sensitivity [1,3,5] = %d\n", s.motionDetection,
              s.motionSensitivity);
    DebugLogF(" Timer setting for stop recording   [1~48] = %d \n", s.stopTimerHours);
    DebugLogF(" Voltage setting for stop recording   [11.6(0) ~12.3(7)] = %d, [23.2(0) ~24.6(7)] "
              "= %d \n",
              s.cutoffVoltage12, s.cutoffVoltage24);
    DebugLog(QStringLiteral("Additional ") + QString(65, '-') + '\n');
    DebugLogF("Event Recording [0/1] = %d\n", s.overwriteNormalEvent);
    DebugLogF("Motion Detecton [0/1] = %d\n", s.overwriteParkingMotion);
    DebugLogF("Event Recording(park) [0/1] = %d\n", s.overwriteParkingEvent);
    DebugLogF("Manual Recording [0/1] = %d\n", s.overwriteManual);
    DebugLogF("Security LED [0~3] = %d\n", s.securityLed);
    DebugLogF("Memory Partition [1~3] = %d\n", s.memoryPartition);
    DebugLog(QString(77, '-') + '\n');
}
