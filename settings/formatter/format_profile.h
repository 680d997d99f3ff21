// What the card formatter does differently in K420_Setting and KZ7100_Setting.
#pragma once

#include "formatter/fat32_builder.h"
#include "locale/model_text.h"

struct FormatProfile {
    TextProfile texts;        // the model's texts (language tables or string table)
    const char *label;        // the new volume's label
    ProgressScale scale;      // the write plan's progress figures
    int startProgress;        // the bar's position when the worker starts
    bool logsProcedure;       // Start/End lines, COPY lines, the worker's start and end times
    bool logsMakeMBRStart;    // "Start MakeMBR() ---"
    bool textsInTwoKeys;      // a text and its second line under two keys (163 and 1630)
    bool showsMakeMBRFailure; // the worker also shows "MBR 생성 실패 (%d)" in a message box
};

extern const FormatProfile K420_Format;
extern const FormatProfile KZ7100_Format;
