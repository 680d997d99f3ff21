// CameraSettings: the 432-byte image of the camera's setup.cfg, and the operations on it.
// The tool never parses the file field by field: the record is the file's bytes, every byte it
// does not understand travels back unchanged, and the tabs store single fields in place.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

// Little-endian on disk; the settings tool runs on little-endian PCs only (checked below), so
// the fields are read and written in place.
struct CameraSettings {
    uint32_t checksum;      // size of a file of this record's config version
    uint32_t configVersion; // major << 16 | minor; never written by the tool
    char product[16];
    uint8_t reserved24[28];
    int32_t normalFrontResolution;
    int32_t normalFrontFrameRate;
    int32_t normalFrontQuality;
    int32_t frontBrightness;
    uint8_t reserved68[8];
    int32_t normalRearResolution;
    int32_t normalRearFrameRate;
    int32_t normalRearQuality;
    uint8_t reserved88[12];
    int32_t voiceRecording;
    uint8_t reserved104[4];
    int32_t voiceGuidance;
    int32_t voiceVolume;
    int32_t safetyVoice;
    int32_t normalImpactSensitivity;
    uint8_t reserved124[8];
    int32_t overwriteNormalEvent;
    int32_t overwriteParkingMotion;
    int32_t overwriteParkingEvent;
    int32_t overwriteManual;
    int32_t overwriteCapture;
    int32_t parkingFrontResolution;
    int32_t parkingFrontFrameRate;
    int32_t parkingFrontQuality;
    int32_t parkingRearResolution;
    int32_t parkingRearFrameRate;
    int32_t parkingRearQuality;
    int32_t parkingImpactSensitivity;
    int32_t parkingMode;
    int32_t motionDetection;
    int32_t motionAreaFront; // 3 rows x 4 columns; row r is the nibble at bits 8-4r..11-4r
    int32_t motionAreaRear;
    int32_t motionSensitivity;
    int32_t stopTimerHours;
    int32_t cutoffVoltage12;
    int32_t cutoffVoltage24;
    int32_t memoryPartition;
    int32_t securityLed;
    uint8_t reserved220[8];
    char settingToolPath[128];
    uint8_t reserved356[16];
    int32_t timeZoneBias; // minutes east of UTC, standard time
    int32_t daylightSaving;
    char timeZoneName[32]; // registry key name of the zone, NUL-terminated
    int32_t dateFormat;
    int32_t speedUnit;
    uint8_t reserved420[8];
    int32_t language;

    uint8_t *bytes() { return reinterpret_cast<uint8_t *>(this); }
    const uint8_t *bytes() const { return reinterpret_cast<const uint8_t *>(this); }
};

constexpr std::size_t kCameraSettingsSize = 432;
static_assert(sizeof(CameraSettings) == kCameraSettingsSize, "setup.cfg record is 432 bytes");
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the record is used in place");
static_assert(offsetof(CameraSettings, normalFrontResolution) == 52);
static_assert(offsetof(CameraSettings, normalRearResolution) == 76);
static_assert(offsetof(CameraSettings, voiceRecording) == 100);
static_assert(offsetof(CameraSettings, voiceGuidance) == 108);
static_assert(offsetof(CameraSettings, overwriteNormalEvent) == 132);
static_assert(offsetof(CameraSettings, securityLed) == 216);
static_assert(offsetof(CameraSettings, settingToolPath) == 228);
static_assert(offsetof(CameraSettings, timeZoneBias) == 372);
static_assert(offsetof(CameraSettings, timeZoneName) == 380);
static_assert(offsetof(CameraSettings, dateFormat) == 412);
static_assert(offsetof(CameraSettings, language) == 428);

// File sizes of the config versions 1.0, 1.1, 1.2, 1.3 and 1.5.
constexpr uint32_t kConfigSize10 = 356;
constexpr uint32_t kConfigSize11 = 372;
constexpr uint32_t kConfigSize12 = 412;
constexpr uint32_t kConfigSize13 = 420;
constexpr uint32_t kConfigSize15 = 432;

// All 432 bytes zero.
void ClearSettings(CameraSettings &settings);

struct FieldDefault {
    int32_t CameraSettings::*field;
    int32_t value;
};

// A text field that ResetSettings clears to its full width and then fills.
struct TextDefault {
    std::size_t offset;
    std::size_t width;
    const char *text;
};

// What differs between the camera models in the record's reset and save; the model profile
// (builds/model_profile.h) is one.
struct RecordProfile {
    const FieldDefault *fieldDefaults;
    std::size_t fieldDefaultCount;
    const TextDefault *textDefaults;
    std::size_t textDefaultCount;
    // The save writes 432 into checksum (the file then claims version 1.5's size).
    bool saveStampsChecksum;
    // The save logs the load's reference list of versions 1.0 to 1.3 instead of the 1.5 line.
    bool saveLogsVersionList;
};

// The build's defaults; checksum, configVersion, the motion areas and reserved bytes stay.
void ResetSettings(CameraSettings &settings, const RecordProfile &model);

// Reads path (card folder + "setup.cfg") into the record. True when the file could be opened,
// whatever it holds; on false the record is unchanged. Reads at most 432 bytes.
bool LoadSettings(CameraSettings &settings, const QString &path);

// Writes the record over the start of the existing file and dumps it to the debug log.
// Never creates the file.
bool SaveSettings(CameraSettings &settings, const QString &path, const RecordProfile &model);

// The 35-line record dump that follows a save.
void DumpSettings(const CameraSettings &settings);

// Text fields as the dialogs and the log see them (ANSI code page, up to the first NUL).
QString SettingsText(const char *field, std::size_t width);
