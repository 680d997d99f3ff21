// Where a camera model's numbered texts come from: K420_Setting's language tables or
// KZ7100_Setting's string table.
#pragma once

#include <QString>

enum class TextSource {
    LanguageTables, // GetText("IDS_STRING<n>") from the chosen language table
    StringTable,    // the program's string table, English only
};

// What differs between the camera models in their texts; the model profile
// (builds/model_profile.h) is one.
struct TextProfile {
    TextSource textSource;
};

// The text of number n (101 for the title, 1630 for the second line of 163) as the model
// shows it.
QString ModelText(const TextProfile &model, int number);
