// The two camera models the settings tool is built for. Everything that differs between
// K420_Setting and KZ7100_Setting in the core is stated here once; code is handed a profile
// and never asks which model it is.
#pragma once

#include "file/camera_settings.h"
#include "locale/time_zones.h"

#include <QString>

#include <cstddef>
#include <cstdint>

enum class TextSource {
    LanguageTables, // GetText("IDS_STRING<n>") from the chosen language table
    StringTable,    // the program's string table, English only
};

// The record's part (defaults, save) and the time zone catalogue's come first, as those
// modules' own profiles.
struct ModelProfile : RecordProfile, ZoneProfile {
    const char *programName;
    TextSource textSource;
};

extern const ModelProfile K420_Setting;
extern const ModelProfile KZ7100_Setting;

// The text of number n (101 for the title, 1630 for the second line of 163) as the model
// shows it.
QString ModelText(const ModelProfile &model, int number);
