// The four tabs with real widgets: every control stores its field the moment a user changes it,
// RefreshControls shows every field, and the tabs' own rules (scrolling, enabling, the
// parking-mode question, the partition diagram, the heading lines), for both builds.

#include "dialog_test_env.h"

#include "dialogs/common_dlg.h"
#include "dialogs/control_ids.h"
#include "dialogs/etc_dlg.h"
#include "dialogs/normal_dlg.h"
#include "dialogs/parking_dlg.h"
#include "file/debug_log.h"
#include "skin/control_id.h"
#include "skin/msg_popup_dlg.h"
#include "skin/rbutton.h"
#include "skin/sub_slider.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace {
using S = CameraSettings;
enum { kCommon, kNormal, kParking, kEtc };
enum Builds { kBoth, kK420Only, kKZ7100Only };

bool Runs(Builds b, const DialogProfile &p)
{
    return b == kBoth || (b == kK420Only) == (&p == &K420_Dialogs);
}

// ---------------------------------------------------------------------------------------------
// A user's change of one control: the fields it writes and nothing else.

enum Action { kClick, kKeyHome, kKeyEnd, kKeyRight, kKeyLeft };

struct ChangeCase {
    std::string name;
    int tab;
    int id;
    Action action;
    int32_t S::*field; // set to `before` in the card's record
    int32_t before;
    int32_t after;
    int32_t S::*also = nullptr; // a second field the control writes with the same value
    Builds builds = kBoth;
};

const std::vector<ChangeCase> kChanges = {
    {"LanguageEnglish", kCommon, IDC_COMMON_LANGUAGE_ENGLISH, kClick, &S::language, 1, 0},
    {"LanguageFrench", kCommon, IDC_COMMON_LANGUAGE_FRENCH, kClick, &S::language, 0, 1},
    {"VoiceRecordingOn", kCommon, IDC_COMMON_VOICE_RECORDING_ON, kClick, &S::voiceRecording, 0, 1},
    {"VoiceRecordingOff", kCommon, IDC_COMMON_VOICE_RECORDING_OFF, kClick, &S::voiceRecording, 1,
     0},
    {"VoiceGuidanceOn", kCommon, IDC_COMMON_VOICE_GUIDANCE_ON, kClick, &S::voiceGuidance, 0, 1},
    {"VoiceGuidanceOff", kCommon, IDC_COMMON_VOICE_GUIDANCE_OFF, kClick, &S::voiceGuidance, 1, 0},
    {"SafetyVoiceOn", kCommon, IDC_COMMON_SAFETY_VOICE_ON, kClick, &S::safetyVoice, 0, 1, nullptr,
     kK420Only},
    {"SafetyVoiceOff", kCommon, IDC_COMMON_SAFETY_VOICE_OFF, kClick, &S::safetyVoice, 1, 0, nullptr,
     kK420Only},
    {"DaylightOn", kCommon, IDC_COMMON_DAYLIGHT_ON, kClick, &S::daylightSaving, 0, 1},
    {"DaylightOff", kCommon, IDC_COMMON_DAYLIGHT_OFF, kClick, &S::daylightSaving, 1, 0},
    {"KmH", kCommon, IDC_COMMON_SPEED_KMH, kClick, &S::speedUnit, 1, 0},
    {"Mph", kCommon, IDC_COMMON_SPEED_MPH, kClick, &S::speedUnit, 0, 1},
    {"BrightnessUp", kCommon, IDC_COMMON_BRIGHTNESS, kKeyRight, &S::frontBrightness, 1, 2},
    {"BrightnessToDark", kCommon, IDC_COMMON_BRIGHTNESS, kKeyHome, &S::frontBrightness, 2, 0},
    {"VolumeDown", kCommon, IDC_COMMON_VOLUME, kKeyLeft, &S::voiceVolume, 4, 3},
    {"VolumeToTop", kCommon, IDC_COMMON_VOLUME, kKeyEnd, &S::voiceVolume, 2, 6},

    {"FrontVga", kNormal, IDC_NORMAL_FRONT_VGA, kClick, &S::normalFrontResolution, 3, 1},
    {"FrontHd", kNormal, IDC_NORMAL_FRONT_HD, kClick, &S::normalFrontResolution, 3, 2},
    {"FrontFhd", kNormal, IDC_NORMAL_FRONT_FHD, kClick, &S::normalFrontResolution, 0, 3},
    {"RearD1", kNormal, IDC_NORMAL_REAR_D1, kClick, &S::normalRearResolution, 2, 1},
    {"RearHd", kNormal, IDC_NORMAL_REAR_HD, kClick, &S::normalRearResolution, 1, 2},
    {"Frames10", kNormal, IDC_NORMAL_FRAMES_10, kClick, &S::normalFrontFrameRate, 3, 1,
     &S::normalRearFrameRate},
    {"Frames15", kNormal, IDC_NORMAL_FRAMES_15, kClick, &S::normalFrontFrameRate, 3, 2,
     &S::normalRearFrameRate},
    {"Frames30", kNormal, IDC_NORMAL_FRAMES_30, kClick, &S::normalFrontFrameRate, 1, 3,
     &S::normalRearFrameRate},
    {"FrontLow", kNormal, IDC_NORMAL_FRONT_QUALITY_LOW, kClick, &S::normalFrontQuality, 3, 1},
    {"FrontMid", kNormal, IDC_NORMAL_FRONT_QUALITY_MID, kClick, &S::normalFrontQuality, 3, 2},
    {"FrontHigh", kNormal, IDC_NORMAL_FRONT_QUALITY_HIGH, kClick, &S::normalFrontQuality, 1, 3},
    {"RearLow", kNormal, IDC_NORMAL_REAR_QUALITY_LOW, kClick, &S::normalRearQuality, 3, 1},
    {"RearMid", kNormal, IDC_NORMAL_REAR_QUALITY_MID, kClick, &S::normalRearQuality, 3, 2},
    {"RearHigh", kNormal, IDC_NORMAL_REAR_QUALITY_HIGH, kClick, &S::normalRearQuality, 2, 3},
    {"ImpactMost", kNormal, IDC_NORMAL_IMPACT, kKeyEnd, &S::normalImpactSensitivity, 7, 10},
    {"ImpactLeast", kNormal, IDC_NORMAL_IMPACT, kKeyHome, &S::normalImpactSensitivity, 7, 1},

    {"ParkingOn", kParking, IDC_PARKING_MODE_ON, kClick, &S::parkingMode, 0, 1},
    {"ParkingFrontVga", kParking, IDC_PARKING_FRONT_VGA, kClick, &S::parkingFrontResolution, 3, 1},
    {"ParkingFrontHd", kParking, IDC_PARKING_FRONT_HD, kClick, &S::parkingFrontResolution, 3, 2},
    {"ParkingFrontFhd", kParking, IDC_PARKING_FRONT_FHD, kClick, &S::parkingFrontResolution, 1, 3},
    {"ParkingRearD1", kParking, IDC_PARKING_REAR_D1, kClick, &S::parkingRearResolution, 2, 1},
    {"ParkingRearHd", kParking, IDC_PARKING_REAR_HD, kClick, &S::parkingRearResolution, 1, 2},
    {"ParkingFrames10", kParking, IDC_PARKING_FRAMES_10, kClick, &S::parkingFrontFrameRate, 2, 1,
     &S::parkingRearFrameRate},
    {"ParkingFrames15", kParking, IDC_PARKING_FRAMES_15, kClick, &S::parkingFrontFrameRate, 3, 2,
     &S::parkingRearFrameRate},
    {"ParkingFrames30", kParking, IDC_PARKING_FRAMES_30, kClick, &S::parkingFrontFrameRate, 2, 3,
     &S::parkingRearFrameRate},
    {"ParkingFrontLow", kParking, IDC_PARKING_FRONT_QUALITY_LOW, kClick, &S::parkingFrontQuality, 3,
     1},
    {"ParkingFrontMid", kParking, IDC_PARKING_FRONT_QUALITY_MID, kClick, &S::parkingFrontQuality, 3,
     2},
    {"ParkingFrontHigh", kParking, IDC_PARKING_FRONT_QUALITY_HIGH, kClick, &S::parkingFrontQuality,
     1, 3},
    {"ParkingRearLow", kParking, IDC_PARKING_REAR_QUALITY_LOW, kClick, &S::parkingRearQuality, 3,
     1},
    {"ParkingRearMid", kParking, IDC_PARKING_REAR_QUALITY_MID, kClick, &S::parkingRearQuality, 3,
     2},
    {"ParkingRearHigh", kParking, IDC_PARKING_REAR_QUALITY_HIGH, kClick, &S::parkingRearQuality, 1,
     3},
    {"MotionOn", kParking, IDC_PARKING_MOTION_ON, kClick, &S::motionDetection, 0, 1},
    {"MotionOff", kParking, IDC_PARKING_MOTION_OFF, kClick, &S::motionDetection, 1, 0},
    {"ParkingImpactMost", kParking, IDC_PARKING_IMPACT, kKeyEnd, &S::parkingImpactSensitivity, 8,
     10},
    {"ParkingImpactDown", kParking, IDC_PARKING_IMPACT, kKeyLeft, &S::parkingImpactSensitivity, 8,
     7},
    {"MotionSensitivityHigh", kParking, IDC_PARKING_SENSITIVITY, kKeyEnd, &S::motionSensitivity, 3,
     5},
    {"MotionSensitivityLow", kParking, IDC_PARKING_SENSITIVITY, kKeyHome, &S::motionSensitivity, 3,
     1},
    {"TimerOneHour", kParking, IDC_PARKING_TIMER, kKeyHome, &S::stopTimerHours, 48, 1},
    {"TimerDownFrom48", kParking, IDC_PARKING_TIMER, kKeyLeft, &S::stopTimerHours, 48, 36},
    {"TimerUpFrom4", kParking, IDC_PARKING_TIMER, kKeyRight, &S::stopTimerHours, 4, 6},
    {"Cutoff12Top", kParking, IDC_PARKING_CUTOFF_12V, kKeyEnd, &S::cutoffVoltage12, 4, 7},
    {"Cutoff12Down", kParking, IDC_PARKING_CUTOFF_12V, kKeyLeft, &S::cutoffVoltage12, 4, 3},
    {"Cutoff24Bottom", kParking, IDC_PARKING_CUTOFF_24V, kKeyHome, &S::cutoffVoltage24, 4, 0},
    {"Cutoff24Up", kParking, IDC_PARKING_CUTOFF_24V, kKeyRight, &S::cutoffVoltage24, 6, 7},

    {"OverwriteNormalEventOff", kEtc, IDC_ETC_OVERWRITE_NORMAL_EVENT, kClick,
     &S::overwriteNormalEvent, 1, 0},
    {"OverwriteNormalEventOn", kEtc, IDC_ETC_OVERWRITE_NORMAL_EVENT, kClick,
     &S::overwriteNormalEvent, 0, 1},
    {"OverwriteParkingMotion", kEtc, IDC_ETC_OVERWRITE_PARKING_MOTION, kClick,
     &S::overwriteParkingMotion, 1, 0},
    {"OverwriteParkingEvent", kEtc, IDC_ETC_OVERWRITE_PARKING_EVENT, kClick,
     &S::overwriteParkingEvent, 0, 1},
    {"OverwriteManual", kEtc, IDC_ETC_OVERWRITE_MANUAL, kClick, &S::overwriteManual, 1, 0},
    {"LedMode1", kEtc, IDC_ETC_LED_MODE_1, kClick, &S::securityLed, 0, 1},
    {"LedMode2", kEtc, IDC_ETC_LED_MODE_2, kClick, &S::securityLed, 0, 2},
    {"LedMode3", kEtc, IDC_ETC_LED_MODE_3, kClick, &S::securityLed, 0, 3},
    {"LedDisabled", kEtc, IDC_ETC_LED_OFF, kClick, &S::securityLed, 2, 0},
    {"PartitionA", kEtc, IDC_ETC_PARTITION_A, kClick, &S::memoryPartition, 3, 1},
    {"PartitionB", kEtc, IDC_ETC_PARTITION_B, kClick, &S::memoryPartition, 1, 2},
    {"PartitionC", kEtc, IDC_ETC_PARTITION_C, kClick, &S::memoryPartition, 1, 3},
};

struct BuildChange {
    const DialogProfile *profile;
    ChangeCase change;
};

void PrintTo(const BuildChange &c, std::ostream *os)
{
    *os << BuildName(*c.profile) << "_" << c.change.name;
}

std::vector<BuildChange> AllChanges()
{
    std::vector<BuildChange> all;
    for (const DialogProfile *p : {&K420_Dialogs, &KZ7100_Dialogs})
        for (const ChangeCase &c : kChanges)
            if (Runs(c.builds, *p))
                all.push_back({p, c});
    return all;
}

class ControlChange : public ::testing::TestWithParam<BuildChange>
{};

TEST_P(ControlChange, StoresItsFieldAndNothingElse)
{
    const DialogProfile &profile = *GetParam().profile;
    const ChangeCase &c = GetParam().change;
    CameraSettings record = CardRecord(profile);
    record.*c.field = c.before;
    if (c.also)
        record.*c.also = c.before;
    OpenDialog d(profile, &record);
    ASSERT_TRUE(d.initialised);
    SelectTab(d, c.tab);
    CTabDlg &tab = d.Tab(c.tab);
    QWidget *control = tab.Control(c.id);
    ASSERT_NE(control, nullptr);
    ASSERT_TRUE(control->isVisible());
    Reveal(tab, control);
    const CameraSettings shown = d.Record();
    ASSERT_EQ(shown.*c.field, c.before) << "the refresh keeps the stored value";

    switch (c.action) {
    case kClick:
        ClickRadio(qobject_cast<QAbstractButton *>(control));
        break;
    case kKeyHome:
        QTest::keyClick(control, Qt::Key_Home);
        break;
    case kKeyEnd:
        QTest::keyClick(control, Qt::Key_End);
        break;
    case kKeyRight:
        QTest::keyClick(control, Qt::Key_Right);
        break;
    case kKeyLeft:
        QTest::keyClick(control, Qt::Key_Left);
        break;
    }
    Settle();
    CameraSettings expected = shown;
    expected.*c.field = c.after;
    if (c.also)
        expected.*c.also = c.after;
    EXPECT_EQ(d.Record().*c.field, c.after);
    EXPECT_EQ(Bytes(d.Record()), Bytes(expected));
    if (auto *check = qobject_cast<QAbstractButton *>(control)) {
        // A radio is checked after its click; a check box shows what it stored.
        const bool box = c.tab == kEtc && c.id >= IDC_ETC_OVERWRITE_NORMAL_EVENT &&
                         c.id <= IDC_ETC_OVERWRITE_CAPTURE;
        EXPECT_EQ(check->isChecked(), box ? c.after != 0 : true);
    }
}

INSTANTIATE_TEST_SUITE_P(Tabs, ControlChange, ::testing::ValuesIn(AllChanges()),
                         [](const ::testing::TestParamInfo<BuildChange> &info) {
                             return BuildName(*info.param.profile) + "_" + info.param.change.name;
                         });

// ---------------------------------------------------------------------------------------------
// RefreshControls: what each stored value shows, and what the record holds afterwards.

struct RefreshCase {
    std::string name;
    int tab;
    int32_t S::*field;
    int32_t value;
    std::vector<int> checked;   // K420
    std::vector<int> unchecked; // K420
    std::vector<int> kzChecked; // KZ7100 (same as K420 when both lists are empty)
    std::vector<int> kzUnchecked;
    int32_t stored; // what the field holds after the refresh
};

const std::vector<RefreshCase> kRefreshes = {
    {"Language0",
     kCommon,
     &S::language,
     0,
     {IDC_COMMON_LANGUAGE_ENGLISH},
     {IDC_COMMON_LANGUAGE_FRENCH},
     {},
     {},
     0},
    {"Language5ShowsFrenchAndKeeps5",
     kCommon,
     &S::language,
     5,
     {IDC_COMMON_LANGUAGE_FRENCH},
     {IDC_COMMON_LANGUAGE_ENGLISH},
     {},
     {},
     5},
    {"VoiceRecording2ShowsDisabledAndStores0",
     kCommon,
     &S::voiceRecording,
     2,
     {IDC_COMMON_VOICE_RECORDING_OFF},
     {IDC_COMMON_VOICE_RECORDING_ON},
     {},
     {},
     0},
    {"VoiceRecording1",
     kCommon,
     &S::voiceRecording,
     1,
     {IDC_COMMON_VOICE_RECORDING_ON},
     {IDC_COMMON_VOICE_RECORDING_OFF},
     {},
     {},
     1},
    {"VoiceGuidance7Stores0",
     kCommon,
     &S::voiceGuidance,
     7,
     {IDC_COMMON_VOICE_GUIDANCE_OFF},
     {IDC_COMMON_VOICE_GUIDANCE_ON},
     {},
     {},
     0},
    {"SpeedUnit2ShowsMphAndKeeps2",
     kCommon,
     &S::speedUnit,
     2,
     {IDC_COMMON_SPEED_MPH},
     {IDC_COMMON_SPEED_KMH},
     {},
     {},
     2},
    {"SpeedUnit0",
     kCommon,
     &S::speedUnit,
     0,
     {IDC_COMMON_SPEED_KMH},
     {IDC_COMMON_SPEED_MPH},
     {},
     {},
     0},
    {"Daylight3",
     kCommon,
     &S::daylightSaving,
     3,
     {IDC_COMMON_DAYLIGHT_ON},
     {IDC_COMMON_DAYLIGHT_OFF},
     {},
     {},
     3},
    {"Daylight0",
     kCommon,
     &S::daylightSaving,
     0,
     {IDC_COMMON_DAYLIGHT_OFF},
     {IDC_COMMON_DAYLIGHT_ON},
     {},
     {},
     0},
    {"SafetyVoice4",
     kCommon,
     &S::safetyVoice,
     4,
     {IDC_COMMON_SAFETY_VOICE_OFF},
     {IDC_COMMON_SAFETY_VOICE_ON},
     {},
     {IDC_COMMON_SAFETY_VOICE_ON, IDC_COMMON_SAFETY_VOICE_OFF},
     4},

    {"FrontResolution0",
     kNormal,
     &S::normalFrontResolution,
     0,
     {IDC_NORMAL_FRONT_FHD},
     {IDC_NORMAL_FRONT_VGA, IDC_NORMAL_FRONT_HD},
     {},
     {IDC_NORMAL_FRONT_VGA, IDC_NORMAL_FRONT_HD, IDC_NORMAL_FRONT_FHD},
     0},
    {"FrontResolution1",
     kNormal,
     &S::normalFrontResolution,
     1,
     {IDC_NORMAL_FRONT_VGA},
     {IDC_NORMAL_FRONT_HD, IDC_NORMAL_FRONT_FHD},
     {},
     {},
     1},
    {"FrontResolution2",
     kNormal,
     &S::normalFrontResolution,
     2,
     {IDC_NORMAL_FRONT_HD},
     {IDC_NORMAL_FRONT_VGA, IDC_NORMAL_FRONT_FHD},
     {},
     {},
     2},
    {"RearResolution5",
     kNormal,
     &S::normalRearResolution,
     5,
     {IDC_NORMAL_REAR_HD},
     {IDC_NORMAL_REAR_D1},
     {},
     {IDC_NORMAL_REAR_D1, IDC_NORMAL_REAR_HD},
     5},
    {"RearResolution1",
     kNormal,
     &S::normalRearResolution,
     1,
     {IDC_NORMAL_REAR_D1},
     {IDC_NORMAL_REAR_HD},
     {},
     {},
     1},
    {"Frames2",
     kNormal,
     &S::normalFrontFrameRate,
     2,
     {IDC_NORMAL_FRAMES_15},
     {IDC_NORMAL_FRAMES_10, IDC_NORMAL_FRAMES_30},
     {},
     {},
     2},
    {"Frames9",
     kNormal,
     &S::normalFrontFrameRate,
     9,
     {IDC_NORMAL_FRAMES_30},
     {IDC_NORMAL_FRAMES_10, IDC_NORMAL_FRAMES_15},
     {},
     {IDC_NORMAL_FRAMES_10, IDC_NORMAL_FRAMES_15, IDC_NORMAL_FRAMES_30},
     9},
    {"FrontQuality1",
     kNormal,
     &S::normalFrontQuality,
     1,
     {IDC_NORMAL_FRONT_QUALITY_LOW},
     {IDC_NORMAL_FRONT_QUALITY_MID, IDC_NORMAL_FRONT_QUALITY_HIGH},
     {},
     {},
     1},
    {"RearQuality0",
     kNormal,
     &S::normalRearQuality,
     0,
     {IDC_NORMAL_REAR_QUALITY_HIGH},
     {IDC_NORMAL_REAR_QUALITY_LOW, IDC_NORMAL_REAR_QUALITY_MID},
     {},
     {IDC_NORMAL_REAR_QUALITY_LOW, IDC_NORMAL_REAR_QUALITY_MID, IDC_NORMAL_REAR_QUALITY_HIGH},
     0},

    {"ParkingFrontQuality1ShowsLow",
     kParking,
     &S::parkingFrontQuality,
     1,
     {IDC_PARKING_FRONT_QUALITY_LOW},
     {IDC_PARKING_FRONT_QUALITY_MID, IDC_PARKING_FRONT_QUALITY_HIGH},
     {},
     {},
     1},
    {"ParkingFrames2Shows15",
     kParking,
     &S::parkingFrontFrameRate,
     2,
     {IDC_PARKING_FRAMES_15},
     {IDC_PARKING_FRAMES_10, IDC_PARKING_FRAMES_30},
     {},
     {},
     2},
    {"ParkingFrames7Shows15",
     kParking,
     &S::parkingFrontFrameRate,
     7,
     {IDC_PARKING_FRAMES_15},
     {IDC_PARKING_FRAMES_10, IDC_PARKING_FRAMES_30},
     {},
     {IDC_PARKING_FRAMES_10, IDC_PARKING_FRAMES_15, IDC_PARKING_FRAMES_30},
     7},
    {"ParkingFrames3Shows30",
     kParking,
     &S::parkingFrontFrameRate,
     3,
     {IDC_PARKING_FRAMES_30},
     {IDC_PARKING_FRAMES_10, IDC_PARKING_FRAMES_15},
     {},
     {},
     3},
    {"ParkingFrontResolution0",
     kParking,
     &S::parkingFrontResolution,
     0,
     {IDC_PARKING_FRONT_FHD},
     {IDC_PARKING_FRONT_VGA, IDC_PARKING_FRONT_HD},
     {},
     {IDC_PARKING_FRONT_VGA, IDC_PARKING_FRONT_HD, IDC_PARKING_FRONT_FHD},
     0},
    {"ParkingRearResolution1",
     kParking,
     &S::parkingRearResolution,
     1,
     {IDC_PARKING_REAR_D1},
     {IDC_PARKING_REAR_HD},
     {},
     {},
     1},
    {"ParkingRearQuality2",
     kParking,
     &S::parkingRearQuality,
     2,
     {IDC_PARKING_REAR_QUALITY_MID},
     {IDC_PARKING_REAR_QUALITY_LOW, IDC_PARKING_REAR_QUALITY_HIGH},
     {},
     {},
     2},
    {"ParkingMode1",
     kParking,
     &S::parkingMode,
     1,
     {IDC_PARKING_MODE_ON},
     {IDC_PARKING_MODE_OFF},
     {},
     {},
     1},
    {"ParkingMode0",
     kParking,
     &S::parkingMode,
     0,
     {IDC_PARKING_MODE_OFF},
     {IDC_PARKING_MODE_ON},
     {},
     {},
     0},
    {"ParkingMode4",
     kParking,
     &S::parkingMode,
     4,
     {IDC_PARKING_MODE_OFF},
     {IDC_PARKING_MODE_ON},
     {},
     {IDC_PARKING_MODE_ON, IDC_PARKING_MODE_OFF},
     4},
    {"MotionDetection3Stores0",
     kParking,
     &S::motionDetection,
     3,
     {IDC_PARKING_MOTION_OFF},
     {IDC_PARKING_MOTION_ON},
     {},
     {},
     0},

    {"OverwriteNormalEvent0",
     kEtc,
     &S::overwriteNormalEvent,
     0,
     {IDC_ETC_OVERWRITE_CONTINUOUS, IDC_ETC_OVERWRITE_PARKING_MOTION,
      IDC_ETC_OVERWRITE_PARKING_EVENT, IDC_ETC_OVERWRITE_MANUAL},
     {IDC_ETC_OVERWRITE_NORMAL_EVENT},
     {},
     {},
     0},
    {"OverwriteManual0",
     kEtc,
     &S::overwriteManual,
     0,
     {IDC_ETC_OVERWRITE_NORMAL_EVENT},
     {IDC_ETC_OVERWRITE_MANUAL},
     {},
     {},
     0},
    {"OverwriteCapture0",
     kEtc,
     &S::overwriteCapture,
     0,
     {},
     {IDC_ETC_OVERWRITE_CAPTURE},
     {},
     {},
     0},
    {"SecurityLed0ChecksOnlyDisabled",
     kEtc,
     &S::securityLed,
     0,
     {IDC_ETC_LED_OFF},
     {IDC_ETC_LED_MODE_1, IDC_ETC_LED_MODE_2, IDC_ETC_LED_MODE_3},
     {},
     {},
     0},
    {"SecurityLed2",
     kEtc,
     &S::securityLed,
     2,
     {IDC_ETC_LED_MODE_2},
     {IDC_ETC_LED_MODE_1, IDC_ETC_LED_MODE_3, IDC_ETC_LED_OFF},
     {},
     {},
     2},
    {"SecurityLed5ChecksNone",
     kEtc,
     &S::securityLed,
     5,
     {},
     {IDC_ETC_LED_MODE_1, IDC_ETC_LED_MODE_2, IDC_ETC_LED_MODE_3, IDC_ETC_LED_OFF},
     {},
     {},
     5},
    {"Partition2",
     kEtc,
     &S::memoryPartition,
     2,
     {IDC_ETC_PARTITION_B},
     {IDC_ETC_PARTITION_A, IDC_ETC_PARTITION_C},
     {},
     {},
     2},
    {"Partition3",
     kEtc,
     &S::memoryPartition,
     3,
     {IDC_ETC_PARTITION_C},
     {IDC_ETC_PARTITION_A, IDC_ETC_PARTITION_B},
     {},
     {},
     3},
    {"Partition7ShowsA",
     kEtc,
     &S::memoryPartition,
     7,
     {IDC_ETC_PARTITION_A},
     {IDC_ETC_PARTITION_B, IDC_ETC_PARTITION_C},
     {},
     {},
     7},
};

struct BuildRefresh {
    const DialogProfile *profile;
    RefreshCase refresh;
};

void PrintTo(const BuildRefresh &c, std::ostream *os)
{
    *os << BuildName(*c.profile) << "_" << c.refresh.name;
}

std::vector<BuildRefresh> AllRefreshes()
{
    std::vector<BuildRefresh> all;
    for (const DialogProfile *p : {&K420_Dialogs, &KZ7100_Dialogs})
        for (const RefreshCase &c : kRefreshes)
            all.push_back({p, c});
    return all;
}

class Refresh : public ::testing::TestWithParam<BuildRefresh>
{};

TEST_P(Refresh, ShowsTheStoredValue)
{
    const DialogProfile &profile = *GetParam().profile;
    const RefreshCase &c = GetParam().refresh;
    const bool kz = &profile == &KZ7100_Dialogs;
    const bool own = !c.kzChecked.empty() || !c.kzUnchecked.empty();
    const std::vector<int> &checked = kz && own ? c.kzChecked : c.checked;
    const std::vector<int> &unchecked = kz && own ? c.kzUnchecked : c.unchecked;
    CameraSettings record = CardRecord(profile);
    record.*c.field = c.value;
    // Both through the card at start and through Initialize-free RefreshControls later.
    OpenDialog d(profile, &record);
    ASSERT_TRUE(d.initialised);
    for (int pass = 0; pass < 2; ++pass) {
        CTabDlg &tab = d.Tab(c.tab);
        for (int id : checked) {
            auto *b = tab.ControlAs<QAbstractButton>(id);
            ASSERT_NE(b, nullptr) << id;
            EXPECT_TRUE(b->isChecked()) << id << " pass " << pass;
        }
        for (int id : unchecked) {
            auto *b = tab.ControlAs<QAbstractButton>(id);
            ASSERT_NE(b, nullptr) << id;
            EXPECT_FALSE(b->isChecked()) << id << " pass " << pass;
        }
        EXPECT_EQ(d.Record().*c.field, c.stored);
        d.Record().*c.field = c.value;
        tab.RefreshControls();
    }
}

INSTANTIATE_TEST_SUITE_P(Tabs, Refresh, ::testing::ValuesIn(AllRefreshes()),
                         [](const ::testing::TestParamInfo<BuildRefresh> &info) {
                             return BuildName(*info.param.profile) + "_" + info.param.refresh.name;
                         });

// Track bar positions shown for stored values.
struct TrackCase {
    std::string name;
    int tab;
    int id;
    int32_t S::*field;
    int32_t value;
    int k420Position;
    int kzPosition;
};

const std::vector<TrackCase> kTracks = {
    {"Brightness2", kCommon, IDC_COMMON_BRIGHTNESS, &S::frontBrightness, 2, 2, 2},
    {"Volume4", kCommon, IDC_COMMON_VOLUME, &S::voiceVolume, 4, 4, 4},
    {"Impact3", kNormal, IDC_NORMAL_IMPACT, &S::normalImpactSensitivity, 3, 3, 3},
    {"ParkingImpact9", kParking, IDC_PARKING_IMPACT, &S::parkingImpactSensitivity, 9, 9, 9},
    {"MotionSensitivity5", kParking, IDC_PARKING_SENSITIVITY, &S::motionSensitivity, 5, 2, 3},
    {"MotionSensitivity3", kParking, IDC_PARKING_SENSITIVITY, &S::motionSensitivity, 3, 1, 2},
    {"MotionSensitivity1", kParking, IDC_PARKING_SENSITIVITY, &S::motionSensitivity, 1, 0, 1},
    {"MotionSensitivity2NotInTheList", kParking, IDC_PARKING_SENSITIVITY, &S::motionSensitivity, 2,
     0, 1},
    {"Timer6", kParking, IDC_PARKING_TIMER, &S::stopTimerHours, 6, 3, 3},
    {"Timer1", kParking, IDC_PARKING_TIMER, &S::stopTimerHours, 1, 0, 0},
    {"Timer10Shows48", kParking, IDC_PARKING_TIMER, &S::stopTimerHours, 10, 7, 7},
    {"Cutoff12_5", kParking, IDC_PARKING_CUTOFF_12V, &S::cutoffVoltage12, 5, 5, 5},
    {"Cutoff24_2", kParking, IDC_PARKING_CUTOFF_24V, &S::cutoffVoltage24, 2, 2, 2},
};

struct BuildTrack {
    const DialogProfile *profile;
    TrackCase track;
};

void PrintTo(const BuildTrack &c, std::ostream *os)
{
    *os << BuildName(*c.profile) << "_" << c.track.name;
}

std::vector<BuildTrack> AllTracks()
{
    std::vector<BuildTrack> all;
    for (const DialogProfile *p : {&K420_Dialogs, &KZ7100_Dialogs})
        for (const TrackCase &c : kTracks)
            all.push_back({p, c});
    return all;
}

class TrackRefresh : public ::testing::TestWithParam<BuildTrack>
{};

TEST_P(TrackRefresh, ShowsThePositionAndKeepsTheValue)
{
    const DialogProfile &profile = *GetParam().profile;
    const TrackCase &c = GetParam().track;
    CameraSettings record = CardRecord(profile);
    record.*c.field = c.value;
    OpenDialog d(profile, &record);
    ASSERT_TRUE(d.initialised);
    auto *slider = d.Tab(c.tab).ControlAs<QSlider>(c.id);
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->value(), &profile == &K420_Dialogs ? c.k420Position : c.kzPosition);
    EXPECT_EQ(d.Record().*c.field, c.value);
}

INSTANTIATE_TEST_SUITE_P(Tabs, TrackRefresh, ::testing::ValuesIn(AllTracks()),
                         [](const ::testing::TestParamInfo<BuildTrack> &info) {
                             return BuildName(*info.param.profile) + "_" + info.param.track.name;
                         });

// ---------------------------------------------------------------------------------------------
// The tabs' own rules.

class EachBuild : public ::testing::TestWithParam<BuildCase>
{
protected:
    const DialogProfile &Profile() const { return *GetParam().profile; }
    bool K420() const { return GetParam().profile == &K420_Dialogs; }
};

TEST(ScrollChange, FollowsTheRequestsTable)
{
    struct Case {
        ScrollRequest request;
        int position, thumb, change;
    };
    const Case cases[] = {
        {kLineDown, 0, 0, 40},          {kLineDown, 280, 0, 20},    {kLineDown, 300, 0, 0},
        {kLineUp, 20, 0, -20},          {kLineUp, 300, 0, -40},     {kLineUp, 0, 0, 0},
        {kPageDown, 0, 0, 300},         {kPageUp, 250, 0, -250},    {kThumbTrack, 10, 200, 190},
        {kThumbPosition, 200, 0, -200}, {kOtherRequest, 100, 0, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ScrollChange(c.request, c.position, 300, 40, 437, c.thumb), c.change)
            << c.request << " at " << c.position;
    EXPECT_EQ(WheelChange(120, 100, 300, 40), -40);
    EXPECT_EQ(WheelChange(-120, 100, 300, 40), 40);
    EXPECT_EQ(WheelChange(-120, 290, 300, 40), 10);
    EXPECT_EQ(WheelChange(240, 100, 300, 40), 0);
    EXPECT_EQ(WheelChange(-240, 100, 300, 40), 0);
    EXPECT_EQ(WheelChange(-60, 100, 300, 40), 0);
}

void Wheel(QWidget *w, int delta)
{
    const QPoint pos = w->rect().center();
    QWheelEvent e(QPointF(pos), QPointF(w->mapToGlobal(pos)), QPoint(), QPoint(0, delta),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

TEST_P(EachBuild, TabsScrollByTheirLineStepAndStopAtTheirExtraHeight)
{
    const CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    struct Expect {
        int tab, extra, line;
    };
    const Expect tabs[] = {{kCommon, K420() ? 300 : 230, 40}, {kParking, 517, 80}, {kEtc, 240, 80}};
    for (const Expect &e : tabs) {
        SelectTab(d, e.tab);
        CTabDlg &tab = d.Tab(e.tab);
        EXPECT_EQ(tab.ExtraHeight(), e.extra);
        ASSERT_NE(tab.ScrollBar(), nullptr);
        EXPECT_EQ(tab.ScrollBar()->maximum(), e.extra);
        EXPECT_EQ(tab.ScrollBar()->pageStep(), 437);
        // The wheel over a track bar scrolls the tab too.
        QWidget *over = tab.Control(e.tab == kEtc      ? IDC_ETC_OVERWRITE_HEADING
                                    : e.tab == kCommon ? IDC_COMMON_BRIGHTNESS
                                                       : IDC_PARKING_MODE_ON);
        Wheel(over, -120);
        EXPECT_EQ(tab.ScrollPosition(), e.line);
        EXPECT_EQ(tab.Content()->y(), -e.line) << "the content moves by the change";
        Wheel(&tab, -240);
        EXPECT_EQ(tab.ScrollPosition(), e.line) << "two notches at once do not scroll";
        for (int i = 0; i < 10; ++i)
            Wheel(&tab, -120);
        EXPECT_EQ(tab.ScrollPosition(), e.extra);
        EXPECT_EQ(tab.ScrollBar()->value(), e.extra);
        Wheel(&tab, 120);
        EXPECT_EQ(tab.ScrollPosition(), e.extra - e.line);
        tab.ScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
        EXPECT_EQ(tab.ScrollPosition(), 0);
        tab.ScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        EXPECT_EQ(tab.ScrollPosition(), e.line);
        EXPECT_EQ(tab.Content()->y(), -e.line);
    }
    EXPECT_EQ(d.Tab(kNormal).ScrollBar(), nullptr) << "the Continuous tab fits";
}

TEST_P(EachBuild, ThreeWheelNotchesOnTheAdditionalTabStopAt240)
{
    const CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    SelectTab(d, kEtc);
    for (int i = 0; i < 3; ++i)
        Wheel(&d.Tab(kEtc), -120);
    EXPECT_EQ(d.Tab(kEtc).ScrollPosition(), 240);
}

TEST_P(EachBuild, InitializeWhileScrolledReturnsTheTabToTheTop)
{
    const CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    CTabDlg &common = d.Tab(kCommon);
    common.ScrollTo(common.ExtraHeight());
    d.Tab(kEtc).ScrollTo(240);
    ClickButton(d.dlg->Button(CQ7SettingDlg::kIdInitialize));
    EXPECT_EQ(d.Tab(kEtc).ScrollPosition(), 0);
    EXPECT_EQ(common.ScrollPosition(), K420() ? 0 : common.ExtraHeight())
        << "the KZ7100 refresh only sets values";
    if (K420()) {
        EXPECT_EQ(common.Control(IDC_COMMON_LANGUAGE_HEADING)->mapTo(&common, QPoint(0, 0)),
                  QPoint(15, 20));
        EXPECT_EQ(common.Control(IDC_COMMON_SPEED_KMH)->mapTo(&common, QPoint(0, 0)),
                  QPoint(25, 697));
    }
}

TEST_P(EachBuild, CommonLayout)
{
    const CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    CTabDlg &tab = d.Tab(kCommon);
    const int *rows = Profile().commonLowerRows;
    struct Place {
        int id, x, y, number;
    };
    const Place places[] = {{IDC_COMMON_LANGUAGE_HEADING, 15, 20, 193},
                            {IDC_COMMON_LANGUAGE_ENGLISH, 25, 50, 194},
                            {IDC_COMMON_LANGUAGE_FRENCH, 25, 75, 195},
                            {IDC_COMMON_BRIGHTNESS_HEADING, 15, 120, 109},
                            {IDC_COMMON_BRIGHTNESS_FRONT_LABEL, 25, 150, 110},
                            {IDC_COMMON_BRIGHTNESS_DARK_LABEL, 85, 150, 112},
                            {IDC_COMMON_VOICE_RECORDING_HEADING, 15, 210, 114},
                            {IDC_COMMON_VOICE_RECORDING_ON, 25, 230, 115},
                            {IDC_COMMON_VOICE_RECORDING_OFF, 25, 257, 116},
                            {IDC_COMMON_VOICE_GUIDANCE_HEADING, 15, 315, 118},
                            {IDC_COMMON_VOICE_GUIDANCE_ON, 25, 335, 115},
                            {IDC_COMMON_VOICE_GUIDANCE_OFF, 25, 362, 116},
                            {IDC_COMMON_VOLUME_LABEL, 125, 349, 117},
                            {IDC_COMMON_TIME_ZONE_HEADING, 15, rows[0], 185},
                            {IDC_COMMON_TIME_ZONE, 25, rows[1], 0},
                            {IDC_COMMON_DAYLIGHT_HEADING, 15, rows[2], 196},
                            {IDC_COMMON_DAYLIGHT_ON, 25, rows[3], 115},
                            {IDC_COMMON_DAYLIGHT_OFF, 25, rows[4], 116},
                            {IDC_COMMON_SPEED_UNIT_HEADING, 15, rows[5], 190},
                            {IDC_COMMON_SPEED_KMH, 25, rows[6], 191},
                            {IDC_COMMON_SPEED_MPH, 125, rows[6], 192}};
    for (const Place &p : places) {
        QWidget *w = tab.Control(p.id);
        ASSERT_NE(w, nullptr) << p.id;
        EXPECT_EQ(w->pos(), QPoint(p.x, p.y)) << p.id;
        EXPECT_TRUE(w->isVisible()) << p.id;
        if (!p.number)
            continue;
        const QString text = ModelText(Profile().model, p.number);
        if (auto *l = qobject_cast<QLabel *>(w)) {
            EXPECT_EQ(l->text(), text) << p.id;
        }
        if (auto *b = qobject_cast<QAbstractButton *>(w)) {
            EXPECT_EQ(b->text(), text) << p.id;
        }
    }
    // Width rules, or the text's own width where the Windows width would cut it.
    auto *heading = tab.ControlAs<QLabel>(IDC_COMMON_BRIGHTNESS_HEADING);
    EXPECT_GE(heading->width(), heading->text().size() * 6 + 10);
    EXPECT_GE(heading->width(), heading->fontMetrics().horizontalAdvance(heading->text()));
    EXPECT_EQ(heading->height(), 14);
    EXPECT_EQ(tab.Control(IDC_COMMON_VOICE_RECORDING_ON)->height(), 27);
    const QRect dark = tab.Control(IDC_COMMON_BRIGHTNESS_DARK_LABEL)->geometry();
    EXPECT_EQ(tab.Control(IDC_COMMON_BRIGHTNESS)->geometry(),
              QRect(dark.x() + dark.width(), 135, 300, 42));
    EXPECT_EQ(tab.Control(IDC_COMMON_BRIGHTNESS_BRIGHT_LABEL)->pos(),
              QPoint(dark.x() + dark.width() + 300, 150));
    EXPECT_EQ(tab.Control(IDC_COMMON_TIME_ZONE)->size(), QSize(400, 25));
    EXPECT_EQ(tab.Control(IDC_COMMON_SAFETY_VOICE_HEADING)->isVisible(), K420());
    EXPECT_EQ(tab.Control(IDC_COMMON_SAFETY_VOICE_ON)->isVisible(), K420());
    EXPECT_TRUE(tab.FocusButton()->size().isEmpty());
    EXPECT_EQ(ControlId(tab.FocusButton()), IDC_COMMON_FOCUS);
    auto *brightness = tab.ControlAs<QSlider>(IDC_COMMON_BRIGHTNESS);
    EXPECT_EQ(brightness->minimum(), 0);
    EXPECT_EQ(brightness->maximum(), 2);
    auto *volume = tab.ControlAs<QSlider>(IDC_COMMON_VOLUME);
    EXPECT_EQ(volume->minimum(), 1);
    EXPECT_EQ(volume->maximum(), 6);
}

TEST_P(EachBuild, VoiceGuidanceOffDisablesVolumeAndSafetyVoiceAndKeepsTheirValues)
{
    CameraSettings record = CardRecord(Profile());
    record.voiceGuidance = 0;
    record.voiceVolume = 2;
    record.safetyVoice = 1;
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    CTabDlg &tab = d.Tab(kCommon);
    for (int id : {IDC_COMMON_VOLUME, IDC_COMMON_SAFETY_VOICE_ON, IDC_COMMON_SAFETY_VOICE_OFF})
        EXPECT_FALSE(tab.Control(id)->isEnabled()) << id;
    ClickRadio(tab.ControlAs<QAbstractButton>(IDC_COMMON_VOICE_GUIDANCE_ON));
    for (int id : {IDC_COMMON_VOLUME, IDC_COMMON_SAFETY_VOICE_ON, IDC_COMMON_SAFETY_VOICE_OFF})
        EXPECT_TRUE(tab.Control(id)->isEnabled()) << id;
    ClickRadio(tab.ControlAs<QAbstractButton>(IDC_COMMON_VOICE_GUIDANCE_OFF));
    EXPECT_FALSE(tab.Control(IDC_COMMON_VOLUME)->isEnabled());
    ClickButton(d.dlg->Button(CQ7SettingDlg::kIdSave));
    const CameraSettings saved = FromBytes(d.card.Read());
    EXPECT_EQ(saved.voiceGuidance, 0);
    EXPECT_EQ(saved.voiceVolume, 2);
    EXPECT_EQ(saved.safetyVoice, 1);
}

TEST_P(EachBuild, TheTimeZoneListShowsTheStoredZoneAndStoresThePickedOne)
{
    const CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    auto &common = d.TabAs<CCommonDlg>(kCommon);
    auto *list = common.ControlAs<QComboBox>(IDC_COMMON_TIME_ZONE);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count(), common.TimeZones().count());
    ASSERT_GE(list->currentIndex(), 0);
    EXPECT_EQ(common.TimeZones().zone(list->currentIndex()).keyName, "Korea Standard Time");
    EXPECT_TRUE(list->currentText().contains("Seoul")) << list->currentText().toStdString();
    const CameraSettings before = d.Record();
    QTest::keyClick(list, Qt::Key_Down);
    Settle();
    const CRegTimeZoneInfo &picked = common.TimeZones().zone(list->currentIndex());
    EXPECT_NE(picked.keyName, "Korea Standard Time");
    EXPECT_EQ(SettingsText(d.Record().timeZoneName, sizeof d.Record().timeZoneName),
              picked.keyName);
    EXPECT_EQ(d.Record().timeZoneBias, picked.bias);
    CameraSettings others = d.Record();
    std::memcpy(others.timeZoneName, before.timeZoneName, sizeof others.timeZoneName);
    others.timeZoneBias = before.timeZoneBias;
    EXPECT_EQ(Bytes(others), Bytes(before));
}

TEST_P(EachBuild, ContinuousLayoutAndHiddenRearFrameRow)
{
    CameraSettings record = CardRecord(Profile());
    record.normalFrontFrameRate = 1;
    record.normalRearFrameRate = 3;
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    CTabDlg &tab = d.Tab(kNormal);
    struct Place {
        int id, x, y, width;
    };
    const Place places[] = {
        {IDC_NORMAL_FRONT_VGA, 80, 43, 110},          {IDC_NORMAL_FRONT_HD, 210, 43, 110},
        {IDC_NORMAL_FRONT_FHD, 340, 43, 130},         {IDC_NORMAL_REAR_D1, 80, 73, 110},
        {IDC_NORMAL_REAR_HD, 210, 73, 130},           {IDC_NORMAL_FRAMES_10, 25, 154, 110},
        {IDC_NORMAL_FRAMES_15, 175, 154, 110},        {IDC_NORMAL_FRAMES_30, 325, 154, 130},
        {IDC_NORMAL_FRONT_QUALITY_LOW, 80, 235, 110}, {IDC_NORMAL_REAR_QUALITY_LOW, 80, 265, 110},
        {IDC_NORMAL_REAR_QUALITY_HIGH, 340, 265, 130}};
    for (const Place &p : places) {
        const QRect r = tab.Control(p.id)->geometry();
        EXPECT_EQ(r.topLeft(), QPoint(p.x, p.y)) << p.id;
        EXPECT_EQ(r.height(), 25) << p.id;
        // The template's width, or the text's where the font needs more.
        EXPECT_GE(r.width(), p.width) << p.id;
        EXPECT_LE(r.width(), std::max(p.width, tab.Control(p.id)->sizeHint().width())) << p.id;
    }
    for (int id :
         {IDC_NORMAL_FRONT_VGA, IDC_NORMAL_FRONT_HD, IDC_NORMAL_FRAMES_10, IDC_NORMAL_FRAMES_15,
          IDC_NORMAL_FRONT_QUALITY_LOW, IDC_NORMAL_FRONT_QUALITY_MID})
        EXPECT_LT(tab.Control(id)->geometry().right(), tab.Control(id + 1)->x())
            << id << " overlaps";
    for (int id : {IDC_NORMAL_FRAMES_FRONT_LABEL, IDC_NORMAL_FRAMES_REAR_LABEL,
                   IDC_NORMAL_REAR_FRAMES_10, IDC_NORMAL_REAR_FRAMES_15, IDC_NORMAL_REAR_FRAMES_30})
        EXPECT_FALSE(tab.Control(id)->isVisible()) << id;
    EXPECT_TRUE(tab.ControlAs<QAbstractButton>(IDC_NORMAL_FRAMES_10)->isChecked());
    // The rear frame rate differs and is kept until a frames radio is clicked.
    ClickRadio(tab.ControlAs<QAbstractButton>(IDC_NORMAL_FRONT_QUALITY_MID));
    EXPECT_EQ(d.Record().normalRearFrameRate, 3);
    tab.ControlAs<QAbstractButton>(IDC_NORMAL_REAR_FRAMES_10)->click();
    EXPECT_EQ(d.Record().normalRearFrameRate, 3) << "the hidden rear row stores nothing";
    SelectTab(d, kNormal);
    ClickRadio(tab.ControlAs<QAbstractButton>(IDC_NORMAL_FRAMES_15));
    EXPECT_EQ(d.Record().normalFrontFrameRate, 2);
    EXPECT_EQ(d.Record().normalRearFrameRate, 2);
    auto *impact = tab.ControlAs<QSlider>(IDC_NORMAL_IMPACT);
    EXPECT_EQ(impact->minimum(), 1);
    EXPECT_EQ(impact->maximum(), 10);
    EXPECT_EQ(impact->size(), QSize(300, 42));
}

// The recording section that the Continuous and Parking tabs share, control by control: its
// place below the section's top (20 on the Continuous tab, 127 on the Parking tab), its text and
// whether it is hidden. A width is the template's, or the text's where the font needs more.
TEST_P(EachBuild, RecordingSectionLayoutOnBothTabs)
{
    const CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    enum Kind { kHeading, kLabel, kRadio };
    struct Place {
        int normalId, parkingId;
        Kind kind;
        int x, dy, width, number;
    };
    const Place places[] = {
        {IDC_NORMAL_RESOLUTION_HEADING, IDC_PARKING_RESOLUTION_HEADING, kHeading, 15, 0, 0, 120},
        {IDC_NORMAL_RESOLUTION_FRONT_LABEL, IDC_PARKING_RESOLUTION_FRONT_LABEL, kLabel, 25, 30, 0,
         110},
        {IDC_NORMAL_FRONT_VGA, IDC_PARKING_FRONT_VGA, kRadio, 80, 23, 110, 129},
        {IDC_NORMAL_FRONT_HD, IDC_PARKING_FRONT_HD, kRadio, 210, 23, 110, 130},
        {IDC_NORMAL_FRONT_FHD, IDC_PARKING_FRONT_FHD, kRadio, 340, 23, 130, 131},
        {IDC_NORMAL_RESOLUTION_REAR_LABEL, IDC_PARKING_RESOLUTION_REAR_LABEL, kLabel, 25, 60, 0,
         111},
        {IDC_NORMAL_REAR_D1, IDC_PARKING_REAR_D1, kRadio, 80, 53, 110, 180},
        {IDC_NORMAL_REAR_HD, IDC_PARKING_REAR_HD, kRadio, 210, 53, 130, 130},
        {IDC_NORMAL_FRAMES_HEADING, IDC_PARKING_FRAMES_HEADING, kHeading, 15, 111, 0, 121},
        {IDC_NORMAL_FRAMES_FRONT_LABEL, IDC_PARKING_FRAMES_FRONT_LABEL, kLabel, 25, 141, 0, 110},
        {IDC_NORMAL_FRAMES_10, IDC_PARKING_FRAMES_10, kRadio, 25, 134, 110, 132},
        {IDC_NORMAL_FRAMES_15, IDC_PARKING_FRAMES_15, kRadio, 175, 134, 110, 133},
        {IDC_NORMAL_FRAMES_30, IDC_PARKING_FRAMES_30, kRadio, 325, 134, 130, 134},
        {IDC_NORMAL_FRAMES_REAR_LABEL, IDC_PARKING_FRAMES_REAR_LABEL, kLabel, 25, 171, 0, 111},
        {IDC_NORMAL_REAR_FRAMES_10, IDC_PARKING_REAR_FRAMES_10, kRadio, 80, 164, 110, 132},
        {IDC_NORMAL_REAR_FRAMES_15, IDC_PARKING_REAR_FRAMES_15, kRadio, 210, 164, 110, 133},
        {IDC_NORMAL_REAR_FRAMES_30, IDC_PARKING_REAR_FRAMES_30, kRadio, 340, 164, 130, 134},
        {IDC_NORMAL_QUALITY_HEADING, IDC_PARKING_QUALITY_HEADING, kHeading, 15, 192, 0, 122},
        {IDC_NORMAL_QUALITY_FRONT_LABEL, IDC_PARKING_QUALITY_FRONT_LABEL, kLabel, 25, 220, 0, 110},
        {IDC_NORMAL_FRONT_QUALITY_LOW, IDC_PARKING_FRONT_QUALITY_LOW, kRadio, 80, 215, 110, 123},
        {IDC_NORMAL_FRONT_QUALITY_MID, IDC_PARKING_FRONT_QUALITY_MID, kRadio, 210, 215, 110, 124},
        {IDC_NORMAL_FRONT_QUALITY_HIGH, IDC_PARKING_FRONT_QUALITY_HIGH, kRadio, 340, 215, 130, 125},
        {IDC_NORMAL_QUALITY_REAR_LABEL, IDC_PARKING_QUALITY_REAR_LABEL, kLabel, 25, 252, 0, 111},
        {IDC_NORMAL_REAR_QUALITY_LOW, IDC_PARKING_REAR_QUALITY_LOW, kRadio, 80, 245, 110, 123},
        {IDC_NORMAL_REAR_QUALITY_MID, IDC_PARKING_REAR_QUALITY_MID, kRadio, 210, 245, 110, 124},
        {IDC_NORMAL_REAR_QUALITY_HIGH, IDC_PARKING_REAR_QUALITY_HIGH, kRadio, 340, 245, 130, 125},
        {IDC_NORMAL_IMPACT_HEADING, IDC_PARKING_IMPACT_HEADING, kHeading, 15, 303, 0, 126},
        {IDC_NORMAL_IMPACT_LOW_LABEL, IDC_PARKING_IMPACT_LOW_LABEL, kLabel, 45, 338, 0, 127},
    };
    // The frame rows' labels and the rear frame row are never shown.
    const QList<int> hidden = {IDC_NORMAL_FRAMES_FRONT_LABEL, IDC_NORMAL_FRAMES_REAR_LABEL,
                               IDC_NORMAL_REAR_FRAMES_10, IDC_NORMAL_REAR_FRAMES_15,
                               IDC_NORMAL_REAR_FRAMES_30};
    struct Section {
        int tab, top;
        int impactLow, impact, impactHigh;
    };
    const Section sections[] = {
        {kNormal, 20, IDC_NORMAL_IMPACT_LOW_LABEL, IDC_NORMAL_IMPACT, IDC_NORMAL_IMPACT_HIGH_LABEL},
        {kParking, 127, IDC_PARKING_IMPACT_LOW_LABEL, IDC_PARKING_IMPACT,
         IDC_PARKING_IMPACT_HIGH_LABEL}};
    for (const Section &section : sections) {
        CTabDlg &tab = d.Tab(section.tab);
        for (const Place &p : places) {
            const int id = section.tab == kNormal ? p.normalId : p.parkingId;
            QWidget *w = tab.Control(id);
            ASSERT_NE(w, nullptr) << id;
            const QString text = ModelText(Profile().model, p.number);
            int width = 0, height = 0, needed = 0;
            if (p.kind == kRadio) {
                auto *radio = qobject_cast<QAbstractButton *>(w);
                ASSERT_NE(radio, nullptr) << id;
                EXPECT_EQ(radio->text(), text) << id;
                width = p.width;
                height = 25;
                needed = radio->sizeHint().width();
            } else {
                auto *label = qobject_cast<QLabel *>(w);
                ASSERT_NE(label, nullptr) << id;
                EXPECT_EQ(label->text(), text) << id;
                width = TextWidth(text, 6, 10);
                height = p.kind == kHeading ? 14 : 13;
                needed = label->fontMetrics().horizontalAdvance(text) + 2;
            }
            EXPECT_EQ(w->geometry(),
                      QRect(p.x, section.top + p.dy, std::max(width, needed), height))
                << id;
            EXPECT_EQ(w->isHidden(), hidden.contains(p.normalId)) << id;
        }
        const QRect low = tab.Control(section.impactLow)->geometry();
        const QRect impact(low.x() + low.width(), section.top + 323, 300, 42);
        EXPECT_EQ(tab.Control(section.impact)->geometry(), impact);
        auto *high = tab.ControlAs<QLabel>(section.impactHigh);
        ASSERT_NE(high, nullptr);
        EXPECT_EQ(high->text(), ModelText(Profile().model, 128));
        EXPECT_EQ(high->pos(), QPoint(impact.x() + impact.width(), section.top + 338));
    }
}

TEST_P(EachBuild, ARadioClickedTwiceStaysChecked)
{
    const CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    SelectTab(d, kNormal);
    auto *high = d.Tab(kNormal).ControlAs<QAbstractButton>(IDC_NORMAL_FRONT_QUALITY_HIGH);
    ClickRadio(high);
    ClickRadio(high);
    EXPECT_TRUE(high->isChecked());
    EXPECT_FALSE(
        d.Tab(kNormal).ControlAs<QAbstractButton>(IDC_NORMAL_FRONT_QUALITY_MID)->isChecked());
    EXPECT_EQ(d.Record().normalFrontQuality, 3);
}

// Answers a message popup with its Yes or No button.
void Answer(QWidget *modal, int buttonId)
{
    ASSERT_NE(modal, nullptr) << "no question was asked";
    auto *popup = qobject_cast<CMsgPopupDlg *>(modal);
    ASSERT_NE(popup, nullptr) << modal->metaObject()->className();
    auto *button = qobject_cast<QPushButton *>(FindControl(popup, buttonId));
    ASSERT_NE(button, nullptr);
    button->click();
}

TEST_P(EachBuild, SwitchingParkingModeOffAsksFirst)
{
    CameraSettings record = CardRecord(Profile());
    record.parkingMode = 1;
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    SelectTab(d, kParking);
    CTabDlg &tab = d.Tab(kParking);
    auto *on = tab.ControlAs<QAbstractButton>(IDC_PARKING_MODE_ON);
    auto *off = tab.ControlAs<QAbstractButton>(IDC_PARKING_MODE_OFF);
    QString caption, text;
    WithModal([&] { ClickRadio(off); },
              [&](QWidget *modal) {
                  if (modal) {
                      caption = modal->windowTitle();
                      if (auto *label =
                              qobject_cast<QLabel *>(FindControl(modal, CMsgPopupDlg::kIdText)))
                          text = label->text();
                      EXPECT_EQ(modal->size(), QSize(330, 150));
                  }
                  Answer(modal, CMsgPopupDlg::kIdNo);
              });
    EXPECT_EQ(caption, ModelText(Profile().model, 104));
    EXPECT_EQ(text, ToQtLineBreaks(ModelTextWithSecondLine(Profile(), 177)));
    if (K420()) {
        EXPECT_EQ(text, "If Parking Mode is disabled,\nthe dash cam stops recording when the "
                        "vehicle is turned off.\n");
    }
    EXPECT_TRUE(on->isChecked());
    EXPECT_FALSE(off->isChecked());
    EXPECT_EQ(on->window()->focusWidget(), static_cast<QWidget *>(on));
    EXPECT_EQ(d.Record().parkingMode, 1);

    WithModal([&] { ClickRadio(off); },
              [&](QWidget *modal) { Answer(modal, CMsgPopupDlg::kIdYes); });
    EXPECT_TRUE(off->isChecked());
    EXPECT_FALSE(on->isChecked());
    EXPECT_EQ(d.Record().parkingMode, 0);

    // Already off: a second click asks nothing.
    WithModal([&] { ClickRadio(off); }, [&](QWidget *modal) { EXPECT_EQ(modal, nullptr); });
    EXPECT_EQ(d.Record().parkingMode, 0);
    // On again, then off: the record holds 1 in between, so it asks.
    ClickRadio(on);
    EXPECT_EQ(d.Record().parkingMode, 1);
    bool asked = false;
    WithModal([&] { ClickRadio(off); },
              [&](QWidget *modal) {
                  asked = modal != nullptr;
                  Answer(modal, CMsgPopupDlg::kIdYes);
              });
    EXPECT_TRUE(asked);
    EXPECT_EQ(d.Record().parkingMode, 0);
}

TEST_P(EachBuild, ParkingModeOffInTheFileAsksNothing)
{
    CameraSettings record = CardRecord(Profile());
    record.parkingMode = 0;
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    SelectTab(d, kParking);
    WithModal([&] { ClickRadio(d.Tab(kParking).ControlAs<QAbstractButton>(IDC_PARKING_MODE_OFF)); },
              [&](QWidget *modal) { EXPECT_EQ(modal, nullptr); });
    EXPECT_EQ(Bytes(d.Record()), Bytes(record));
}

TEST_P(EachBuild, MotionDetectionOffDisablesItsSensitivityAndKeepsIt)
{
    CameraSettings record = CardRecord(Profile());
    record.motionDetection = 0;
    record.motionSensitivity = 5;
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    CTabDlg &tab = d.Tab(kParking);
    EXPECT_FALSE(tab.Control(IDC_PARKING_SENSITIVITY)->isEnabled());
    EXPECT_EQ(d.Record().motionSensitivity, 5);
    SelectTab(d, kParking);
    Reveal(tab, tab.Control(IDC_PARKING_MOTION_ON));
    ClickRadio(tab.ControlAs<QAbstractButton>(IDC_PARKING_MOTION_ON));
    EXPECT_TRUE(tab.Control(IDC_PARKING_SENSITIVITY)->isEnabled());
    EXPECT_EQ(d.Record().motionDetection, 1);
    EXPECT_EQ(d.Record().motionSensitivity, 5);
}

TEST_P(EachBuild, ParkingTrackBarsRangesAndTooltipKinds)
{
    const CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    CTabDlg &tab = d.Tab(kParking);
    struct Expect {
        int id, minimum, maximum, kind, width;
    };
    const Expect tracks[] = {{IDC_PARKING_SENSITIVITY, K420() ? 0 : 1, K420() ? 2 : 3,
                              CSubSlider::kMotionSensitivity, 300},
                             {IDC_PARKING_TIMER, 0, 7, CSubSlider::kStopTimer, 400},
                             {IDC_PARKING_CUTOFF_12V, 0, 7, CSubSlider::kCutoff12V, 300},
                             {IDC_PARKING_CUTOFF_24V, 0, 7, CSubSlider::kCutoff24V, 300}};
    for (const Expect &e : tracks) {
        auto *s = tab.ControlAs<CSubSlider>(e.id);
        ASSERT_NE(s, nullptr) << e.id;
        EXPECT_EQ(s->minimum(), e.minimum) << e.id;
        EXPECT_EQ(s->maximum(), e.maximum) << e.id;
        EXPECT_EQ(s->ValueKind(), e.kind) << e.id;
        EXPECT_EQ(s->width(), e.width) << e.id;
    }
    auto *impact = tab.ControlAs<QSlider>(IDC_PARKING_IMPACT);
    EXPECT_EQ(impact->minimum(), 1);
    EXPECT_EQ(impact->maximum(), 10);
    for (int id :
         {IDC_PARKING_FRAMES_FRONT_LABEL, IDC_PARKING_FRAMES_REAR_LABEL, IDC_PARKING_REAR_FRAMES_10,
          IDC_PARKING_REAR_FRAMES_15, IDC_PARKING_REAR_FRAMES_30, IDC_PARKING_MOTION_AREA_LABEL,
          IDC_PARKING_MOTION_AREA, IDC_PARKING_UNUSED_1, IDC_PARKING_UNUSED_2})
        EXPECT_FALSE(tab.Control(id)->isVisible()) << id;
    EXPECT_EQ(tab.Control(IDC_PARKING_MODE_HEADING)->pos(), QPoint(15, 20));
    EXPECT_EQ(tab.Control(IDC_PARKING_CUTOFF_24V)->y(), 881);
}

// The tooltip of every value track bar shows the value its position stores, whatever positions
// the build's track bar counts.
TEST_P(EachBuild, ParkingTooltipsShowTheStoredValues)
{
    const CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    CTabDlg &tab = d.Tab(kParking);
    struct Track {
        int id;
        std::function<int()> stored;
        QStringList tips;
    };
    const Track tracks[] = {
        {IDC_PARKING_SENSITIVITY,
         [&] { return int(d.Record().motionSensitivity); },
         {"1", "3", "5"}},
        {IDC_PARKING_TIMER,
         [&] { return int(d.Record().stopTimerHours); },
         {"1", "2", "4", "6", "12", "24", "36", "48"}},
        {IDC_PARKING_CUTOFF_12V,
         [&] { return int(d.Record().cutoffVoltage12); },
         {"11.6", "11.7", "11.8", "11.9", "12.0", "12.1", "12.2", "12.3"}},
        {IDC_PARKING_CUTOFF_24V,
         [&] { return int(d.Record().cutoffVoltage24); },
         {"23.2", "23.4", "23.6", "23.8", "24.0", "24.2", "24.4", "24.6"}},
    };
    for (const Track &t : tracks) {
        auto *slider = tab.ControlAs<CSubSlider>(t.id);
        ASSERT_NE(slider, nullptr) << t.id;
        QStringList tips, values;
        for (int pos = slider->minimum(); pos <= slider->maximum(); ++pos) {
            slider->setValue(pos);
            tips << slider->ToolTipText();
            values << QString::number(t.stored());
        }
        EXPECT_EQ(tips, t.tips) << t.id;
        // The whole-number settings store what the tooltip shows; the voltages their position.
        if (t.id <= IDC_PARKING_TIMER)
            EXPECT_EQ(values, t.tips) << t.id;
        else
            EXPECT_EQ(values, (QStringList{"0", "1", "2", "3", "4", "5", "6", "7"})) << t.id;
    }
}

TEST_P(EachBuild, AdditionalLayoutAndTheFixedOverwriteBox)
{
    const CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    SelectTab(d, kEtc);
    auto &etc = d.TabAs<CEtcDlg>(kEtc);
    auto *fixed = etc.ControlAs<QAbstractButton>(IDC_ETC_OVERWRITE_CONTINUOUS);
    EXPECT_TRUE(fixed->isChecked());
    EXPECT_FALSE(fixed->isEnabled());
    QTest::mouseClick(fixed, Qt::LeftButton, {}, QPoint(8, fixed->height() / 2));
    EXPECT_TRUE(fixed->isChecked());
    EXPECT_EQ(Bytes(d.Record()), Bytes(record));
    EXPECT_FALSE(etc.Control(IDC_ETC_OVERWRITE_CAPTURE)->isVisible());
    int widest = 0;
    for (int n = 171; n <= 175; ++n)
        widest = std::max(widest, int(ModelText(Profile().model, n).size()) * 6 + 8);
    EXPECT_EQ(etc.PercentLeft(), 20 + widest);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(etc.Control(IDC_ETC_SHARE_CONTINUOUS + k)->geometry(),
                  QRect(20 + widest, 418 + 30 * k, 38, 14))
            << k;
    EXPECT_EQ(etc.Control(IDC_ETC_FORMAT)->pos(), QPoint(25, 611));
    EXPECT_EQ(etc.Control(IDC_ETC_PARTITION_A)->pos(), QPoint(25, 380));
    // The partition radios never overlap, however wide their texts are drawn.
    EXPECT_LE(etc.Control(IDC_ETC_PARTITION_A)->geometry().right(),
              etc.Control(IDC_ETC_PARTITION_B)->x());
    EXPECT_LE(etc.Control(IDC_ETC_PARTITION_B)->geometry().right(),
              etc.Control(IDC_ETC_PARTITION_C)->x());
}

// The partition diagram: shares, bar widths and labels of every type in both builds.
struct PartitionCase {
    const DialogProfile *profile;
    int type;
    int widths[5];
    const char *labels[5];
};

void PrintTo(const PartitionCase &c, std::ostream *os)
{
    *os << BuildName(*c.profile) << " type " << c.type;
}

class Partition : public ::testing::TestWithParam<PartitionCase>
{};

TEST_P(Partition, BarsAndLabels)
{
    const PartitionCase &c = GetParam();
    CameraSettings record = CardRecord(*c.profile);
    record.memoryPartition = c.type;
    OpenDialog d(*c.profile, &record);
    ASSERT_TRUE(d.initialised);
    SelectTab(d, kEtc);
    auto &etc = d.TabAs<CEtcDlg>(kEtc);
    etc.ScrollTo(240);
    Settle();
    const QImage shot = Shot(*etc.Content());
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(etc.PartitionBar(k).width, c.widths[k]) << k;
        EXPECT_EQ(etc.ControlAs<QLabel>(IDC_ETC_SHARE_CONTINUOUS + k)->text(),
                  QString::fromLatin1(c.labels[k]))
            << k;
        // The bar is drawn at its width: coloured inside, white just past its end.
        const QRect bar = etc.BarRect(k);
        EXPECT_EQ(bar.width(), c.widths[k]);
        const QRect legend = etc.Control(IDC_ETC_PARTITION_A)->geometry();
        EXPECT_EQ(bar.top(), legend.top() + legend.height() + 10 + 30 * k);
        const int y = bar.top() + 7;
        EXPECT_NE(shot.pixel(bar.left() + bar.width() / 2, y), qRgb(255, 255, 255)) << k;
        EXPECT_EQ(shot.pixel(bar.left() + bar.width() + 1, y), qRgb(255, 255, 255)) << k;
    }
}

const PartitionCase kPartitions[] = {
    {&K420_Dialogs, 1, {181, 60, 15, 8, 30}, {"60.6%", "20.0%", "5.0%", "3.0%", "10.0%"}},
    {&K420_Dialogs, 2, {108, 45, 15, 8, 120}, {"36.3%", "15.0%", "5.0%", "3.0%", "40.0%"}},
    {&K420_Dialogs, 3, {160, 45, 45, 15, 30}, {"53.6%", "15.0%", "15.0%", "5.0%", "10.0%"}},
    {&K420_Dialogs, 0, {181, 60, 15, 8, 30}, {"60.6%", "20.0%", "5.0%", "3.0%", "10.0%"}},
    {&KZ7100_Dialogs, 1, {194, 35, 45, 15, 8}, {"65.0%", "12.0%", "15.0%", "5.0%", "2.9%"}},
    {&KZ7100_Dialogs, 2, {134, 35, 75, 45, 8}, {"45.0%", "12.0%", "25.0%", "15.0%", "2.9%"}},
    {&KZ7100_Dialogs, 3, {209, 60, 15, 5, 8}, {"70.0%", "20.0%", "5.0%", "2.0%", "2.9%"}},
    {&KZ7100_Dialogs, 6, {194, 35, 45, 15, 8}, {"65.0%", "12.0%", "15.0%", "5.0%", "2.9%"}},
};

INSTANTIATE_TEST_SUITE_P(Additional, Partition, ::testing::ValuesIn(kPartitions),
                         [](const ::testing::TestParamInfo<PartitionCase> &info) {
                             return BuildName(*info.param.profile) + "_type" +
                                    std::to_string(info.param.type);
                         });

TEST_P(EachBuild, ChangingThePartitionTypeRedrawsTheDiagram)
{
    CameraSettings record = CardRecord(Profile());
    record.memoryPartition = 1;
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    SelectTab(d, kEtc);
    auto &etc = d.TabAs<CEtcDlg>(kEtc);
    const QString before = etc.ControlAs<QLabel>(IDC_ETC_SHARE_CONTINUOUS)->text();
    ClickRadio(etc.ControlAs<QAbstractButton>(IDC_ETC_PARTITION_C));
    EXPECT_NE(etc.ControlAs<QLabel>(IDC_ETC_SHARE_CONTINUOUS)->text(), before);
    EXPECT_EQ(etc.ControlAs<QLabel>(IDC_ETC_SHARE_CONTINUOUS)->text(), K420() ? "53.6%" : "70.0%");
    etc.ScrollTo(240);
    Settle();
    const QImage shot = Shot(*etc.Content());
    const QRect bar = etc.BarRect(0);
    EXPECT_EQ(bar.width(), K420() ? 160 : 209);
    EXPECT_NE(shot.pixel(bar.left() + bar.width() - 2, bar.top() + 7), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(bar.left() + bar.width() + 1, bar.top() + 7), qRgb(255, 255, 255));
}

// The heading lines: 0xC6B5A3 at the heading's middle from 12 pixels right of its box (20 for
// the motion detection heading) to 15 pixels before the client's right edge.
TEST_P(EachBuild, HeadingLines)
{
    const CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    const QRgb line = qRgb(163, 181, 198);
    struct Expect {
        int tab, heading, gap;
        bool drawn;
    };
    const Expect headings[] = {{kCommon, IDC_COMMON_BRIGHTNESS_HEADING, 12, true},
                               {kCommon, IDC_COMMON_DAYLIGHT_HEADING, 12, false},
                               {kNormal, IDC_NORMAL_FRAMES_HEADING, 12, true},
                               {kParking, IDC_PARKING_MOTION_HEADING, 20, true},
                               {kParking, IDC_PARKING_RESOLUTION_HEADING, 12, true},
                               {kEtc, IDC_ETC_PARTITION_HEADING, 12, true}};
    for (const Expect &e : headings) {
        SelectTab(d, e.tab);
        CTabDlg &tab = d.Tab(e.tab);
        const QImage shot = Shot(*tab.Content());
        const QRect h = tab.Control(e.heading)->geometry();
        const int y = h.top() + h.height() / 2;
        const int start = h.left() + h.width() + e.gap;
        const int end = tab.ClientWidth() - 15;
        EXPECT_EQ(shot.pixel(start, y) == line, e.drawn) << e.heading;
        EXPECT_EQ(shot.pixel(end - 1, y) == line, e.drawn) << e.heading;
        EXPECT_NE(shot.pixel(start - 1, y), line) << e.heading;
        EXPECT_NE(shot.pixel(end, y), line) << e.heading;
        EXPECT_NE(shot.pixel(start + 5, y + 1), line) << e.heading << " one pixel high";
    }
}

TEST_P(EachBuild, TheFormatButtonAsksFirst)
{
    const CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    SelectTab(d, kEtc);
    auto &etc = d.TabAs<CEtcDlg>(kEtc);
    EXPECT_EQ(etc.Job().cardFolder, d.card.Folder());
    auto *button = etc.ControlAs<QPushButton>(IDC_ETC_FORMAT);
    Reveal(etc, button);
    QString caption, text;
    auto answer = [&](QMessageBox::StandardButton which) {
        return [&, which](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            ASSERT_NE(box, nullptr);
            caption = box->windowTitle();
            text = box->text();
            box->button(which)->click();
        };
    };
    DebugLogCapture log;
    WithModal([&] { QTest::mouseClick(button, Qt::LeftButton); }, answer(QMessageBox::No));
    EXPECT_EQ(caption, ModelText(Profile().model, 162));
    if (K420()) {
        EXPECT_EQ(text, "Caution: All data will be deleted, if you format the memory card.\n"
                        "Select (Yes) to format or select (No) to cancel.");
    } else {
        EXPECT_EQ(text, "Caution : all data will be deleted, If format memory\n"
                        "Sellect (Yes) for format, Select (No) for cancel");
    }
    EXPECT_FALSE(log.messages().contains("Start SDCardFormat() ---")) << "No formats nothing";
    // Yes on a folder that is not on a removable card: the procedure returns without a word
    // (a message box would be left open and fail the test).
    WithModal([&] { QTest::mouseClick(button, Qt::LeftButton); }, answer(QMessageBox::Yes));
    EXPECT_EQ(log.messages().contains("Start SDCardFormat() ---"), K420());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(Bytes(d.Record()), Bytes(record));
}

INSTANTIATE_TEST_SUITE_P(Builds, EachBuild,
                         ::testing::Values(BuildCase{"K420", &K420_Dialogs},
                                           BuildCase{"KZ7100", &KZ7100_Dialogs}),
                         [](const ::testing::TestParamInfo<BuildCase> &info) {
                             return info.param.name;
                         });
// A build's card format shows the model's own texts: the two profiles name the same source.
TEST(BuildProfiles, TheFormatShowsTheModelsTexts)
{
    for (const DialogProfile *p : {&K420_Dialogs, &KZ7100_Dialogs})
        EXPECT_EQ(p->format.texts.textSource, p->model.textSource) << p->model.programName;
}

} // namespace
