// What differs between the two builds' windows. The dialogs are handed a profile and never ask
// which model they run for.
#pragma once

#include "builds/model_profile.h"
#include "formatter/format_profile.h"

// Shares of the card for the five recording kinds of one memory partition type, in the
// legend's order (continuous, incident in continuous mode, parking motion, incident in parking
// mode, manual). Single-precision, as the bar widths are truncated from them.
struct PartitionShares {
    float share[5];
};

struct DialogProfile {
    const ModelProfile &model;
    // The Additional tab's card format.
    const FormatProfile &format;
    // K420: the viewer's language and the record's choose the language table at start; the
    // record is loaded before the controls are built. KZ7100: string table only, controls first.
    bool selectsLanguage;
    // KZ7100: texts and positions are set once when a tab is created; RefreshControls then only
    // sets values (and does not scroll back to the top).
    bool layoutOnce;
    // KZ7100: a radio is checked only when its value equals the field, so an out-of-range
    // value checks none. K420: the last radio of a group stands for every other value.
    bool exactRadioChecks;
    // Common tab: the voice guidance for safe-driving section.
    bool showsSafetyVoice;
    int commonExtraHeight;
    // Common tab rows from the time zone down: heading 1343, list 1121, heading 1348,
    // radios 1349 and 1350, heading 1028, radios 1029 and 1030.
    int commonLowerRows[7];
    // Parking tab track bar 1161: positions 1-3 (KZ7100) instead of 0-2 (K420).
    bool motionSensitivityFromOne;
    // Parking and format confirmations: the first text followed by its second line
    // (IDS_STRING177 + IDS_STRING1770); KZ7100's one string holds both lines.
    bool joinsSecondLines;
    // Additional tab: B and C type radios n*6+20 wide instead of n*7+10.
    bool narrowPartitionRadios;
    PartitionShares partitions[3]; // types A, B, C
    // KZ7100: the fifth bar is always 8 pixels and labelled 2.9%, whatever the type.
    bool fixedManualShare;
};

extern const DialogProfile K420_Dialogs;
extern const DialogProfile KZ7100_Dialogs;

// A text with its second line: "<n>\r\n<n*10>\r\n" where the build joins them, else text n.
QString ModelTextWithSecondLine(const DialogProfile &profile, int number);
