#include "builds/model_profile.h"

#define Q7_TEXT_DEFAULT(field, text)                                                               \
    TextDefault                                                                                    \
    {                                                                                              \
        offsetof(CameraSettings, field), sizeof(CameraSettings::field), text                       \
    }

namespace {
using S = CameraSettings;

const FieldDefault kK420Fields[] = {
    {&S::normalFrontResolution, 3},
    {&S::normalFrontFrameRate, 3},
    {&S::normalFrontQuality, 3},
    {&S::frontBrightness, 0},
    {&S::normalRearResolution, 2},
    {&S::normalRearFrameRate, 3},
    {&S::normalRearQuality, 3},
    {&S::voiceRecording, 1},
    {&S::voiceGuidance, 1},
    {&S::voiceVolume, 3},
    {&S::safetyVoice, 1},
    {&S::normalImpactSensitivity, 6},
    {&S::overwriteNormalEvent, 1},
    {&S::overwriteParkingMotion, 1},
    {&S::overwriteParkingEvent, 1},
    {&S::overwriteManual, 1},
    {&S::overwriteCapture, 1},
    {&S::parkingFrontResolution, 3},
    {&S::parkingFrontFrameRate, 2},
    {&S::parkingFrontQuality, 3},
    {&S::parkingRearResolution, 2},
    {&S::parkingRearFrameRate, 2},
    {&S::parkingRearQuality, 3},
    {&S::parkingImpactSensitivity, 7},
    {&S::parkingMode, 0},
    {&S::motionDetection, 1},
    {&S::motionSensitivity, 3},
    {&S::stopTimerHours, 48},
    {&S::cutoffVoltage12, 6},
    {&S::cutoffVoltage24, 6},
    {&S::memoryPartition, 1},
    {&S::securityLed, 0},
    {&S::timeZoneBias, -480},
    {&S::daylightSaving, 1},
    {&S::dateFormat, 0},
    {&S::speedUnit, 0},
    {&S::language, 0},
};

const TextDefault kK420Texts[] = {
    Q7_TEXT_DEFAULT(product, "K420"),
    Q7_TEXT_DEFAULT(settingToolPath, "SETTING/K420_Setting.exe"),
    Q7_TEXT_DEFAULT(timeZoneName, "Pacific Standard Time"),
};

const FieldDefault kKZ7100Fields[] = {
    {&S::normalFrontResolution, 3},
    {&S::normalFrontFrameRate, 3},
    {&S::normalFrontQuality, 3},
    {&S::frontBrightness, 0},
    {&S::normalRearResolution, 2},
    {&S::normalRearFrameRate, 3},
    {&S::normalRearQuality, 3},
    {&S::voiceRecording, 1},
    {&S::voiceGuidance, 1},
    {&S::voiceVolume, 5},
    {&S::safetyVoice, 0},
    {&S::normalImpactSensitivity, 7},
    {&S::overwriteNormalEvent, 1},
    {&S::overwriteParkingMotion, 1},
    {&S::overwriteParkingEvent, 1},
    {&S::overwriteManual, 1},
    {&S::overwriteCapture, 1},
    {&S::parkingFrontResolution, 3},
    {&S::parkingFrontFrameRate, 2},
    {&S::parkingFrontQuality, 3},
    {&S::parkingRearResolution, 2},
    {&S::parkingRearFrameRate, 2},
    {&S::parkingRearQuality, 3},
    {&S::parkingImpactSensitivity, 8},
    {&S::parkingMode, 1},
    {&S::motionDetection, 1},
    {&S::motionSensitivity, 3},
    {&S::stopTimerHours, 48},
    {&S::cutoffVoltage12, 4},
    {&S::cutoffVoltage24, 4},
    {&S::memoryPartition, 1},
    {&S::securityLed, 1},
    {&S::daylightSaving, 1},
    {&S::dateFormat, 0},
    {&S::speedUnit, 1},
    {&S::language, 0},
};
} // namespace

const ModelProfile K420_Setting = {
    {
        kK420Fields,
        sizeof kK420Fields / sizeof kK420Fields[0],
        kK420Texts,
        sizeof kK420Texts / sizeof kK420Texts[0],
        /*saveStampsChecksum=*/true,
        /*saveLogsVersionList=*/false,
    },
    {/*findZoneFallsBackToBias=*/true},
    {TextSource::LanguageTables},
    "K420_Setting",
};

const ModelProfile KZ7100_Setting = {
    {
        kKZ7100Fields,
        sizeof kKZ7100Fields / sizeof kKZ7100Fields[0],
        nullptr,
        0,
        /*saveStampsChecksum=*/false,
        /*saveLogsVersionList=*/true,
    },
    {/*findZoneFallsBackToBias=*/false},
    {TextSource::StringTable},
    "KZ7100_Setting",
};
