// The two camera models the settings tool is built for. Everything that differs between
// K420_Setting and KZ7100_Setting in the core is stated here once; code is handed a profile
// and never asks which model it is.
#pragma once

#include "file/camera_settings.h"

#include <QString>

#include <cstddef>
#include <cstdint>

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

enum class TextSource {
    LanguageTables, // GetText("IDS_STRING<n>") from the chosen language table
    StringTable,    // the program's string table, English only
};

struct ModelProfile {
    const char *programName;
    const FieldDefault *fieldDefaults;
    std::size_t fieldDefaultCount;
    const TextDefault *textDefaults;
    std::size_t textDefaultCount;
    // The save writes 432 into checksum (the file then claims version 1.5's size).
    bool saveStampsChecksum;
    // The save logs the load's reference list of versions 1.0 to 1.3 instead of the 1.5 line.
    bool saveLogsVersionList;
    // FindZone with a name falls back to the first zone of the same bias.
    bool findZoneFallsBackToBias;
    TextSource textSource;
};

extern const ModelProfile K420_Setting;
extern const ModelProfile KZ7100_Setting;

// The text of number n (101 for the title, 1630 for the second line of 163) as the model
// shows it.
QString ModelText(const ModelProfile &model, int number);
