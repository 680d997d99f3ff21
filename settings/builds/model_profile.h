// The two camera models the settings tool is built for. Everything that differs between
// K420_Setting and KZ7100_Setting in the core is stated here once; code is handed a profile
// and never asks which model it is.
#pragma once

#include "file/camera_settings.h"
#include "locale/model_text.h"
#include "locale/time_zones.h"

#include <QString>

#include <cstddef>
#include <cstdint>

// The record's part (defaults, save), the time zone catalogue's and the texts' come first, as
// those modules' own profiles.
struct ModelProfile : RecordProfile, ZoneProfile, TextProfile {
    const char *programName;
};

extern const ModelProfile K420_Setting;
extern const ModelProfile KZ7100_Setting;
