// The mixer side of the ALSA wrapper: level arithmetic, and the real simple-mixer calls on the
// simulated card's control plugin (the board's "SPK" and "MIC1 Boost" elements).
#include <string>

#include <gtest/gtest.h>

#include "audio/alsa_wrapper.h"
#include "sim_alsa.h"
#include "testsupport/console.h"

namespace {

const int FL = SND_MIXER_SCHN_FRONT_LEFT;
const int FR = SND_MIXER_SCHN_FRONT_RIGHT;

TEST(AlsaVolume, PercentToRawValue)
{
    const struct {
        long min, max;
        int percent;
        long value;
    } cases[] =
        {
            {0, 31, 50, 16}, // 15.5 rounds up
            {0, 127, 100, 127}, {0, 127, 0, 0},    {0, 127, 70, 89},
            {0, 3, 80, 3},      {0, 3, 50, 2},     {0, 100, 7, 7}, // exact results stay exact
            {1, 3, 0, 1},       {-10, 10, 25, -5}, {5, 5, 50, 5},
            {0, 31, 150, 31}, // kept inside the range
            {0, 31, -10, 0},
        };
    for (const auto &c : cases)
        EXPECT_EQ(alsa_volume_from_percent(c.min, c.max, c.percent), c.value)
            << c.min << ".." << c.max << " at " << c.percent << "%";
}

TEST(AlsaVolume, RawValueToPercent)
{
    const struct {
        long value, min, max;
        int percent;
    } cases[] = {{16, 0, 31, 52},  {127, 0, 127, 100}, {0, 0, 127, 0},
                 {89, 0, 127, 70}, {2, 2, 2, 0},       {2, 1, 3, 50}};
    for (const auto &c : cases)
        EXPECT_EQ(alsa_percent_from_volume(c.value, c.min, c.max), c.percent)
            << c.value << " of " << c.min << ".." << c.max;
}

class AlsaMixer : public ::testing::Test
{
protected:
    // The board's card with these control options; `state` gives the values it starts with.
    void card(const std::string &options, const std::string &state = "")
    {
        if (!state.empty()) {
            ASSERT_TRUE(writeText(dir_ + "/mixer", state));
        }
        sim_alsa_use(dir_, "ctl.!default { type q7sim state_file \"" + dir_ + "/mixer\" " +
                               options + " }");
    }
    TempDir tmp_{"q7audio"};
    std::string dir_ = tmp_.path();
};

TEST_F(AlsaMixer, SpeakerHalfOfA31StepRangeIs16OnBothChannels)
{
    card("spk_max 31");
    EXPECT_EQ(alsa_set_volume(0, 50), 0);
    EXPECT_EQ(mixer_read("SPK", FL), 16);
    EXPECT_EQ(mixer_read("SPK", FR), 16);
    int percent = -1;
    EXPECT_EQ(alsa_get_volume(0, &percent), 0);
    EXPECT_EQ(percent, 52);
}

TEST_F(AlsaMixer, SpeakerFullIsTheMaximumOnBothChannels)
{
    card("", "SPK Playback Volume=3,5\n");
    EXPECT_EQ(alsa_set_volume(0, 100), 0);
    EXPECT_EQ(mixer_read("SPK", FL), 127);
    EXPECT_EQ(mixer_read("SPK", FR), 127);
    int percent = -1;
    EXPECT_EQ(alsa_get_volume(0, &percent), 0);
    EXPECT_EQ(percent, 100);
}

TEST_F(AlsaMixer, BoostZeroIsItsMinimumOnFrontLeftOnly)
{
    card("boost_min 1 boost_max 3 boost_channels 2", "MIC1 Boost Volume=3,2\n");
    EXPECT_EQ(alsa_set_volume(1, 0), 0);
    EXPECT_EQ(mixer_read("MIC1 Boost", FL), 1);
    EXPECT_EQ(mixer_read("MIC1 Boost", FR), 2);
    // Any other selector is the speaker.
    EXPECT_EQ(alsa_set_volume(7, 100), 0);
    EXPECT_EQ(mixer_read("SPK", FR), 127);
    EXPECT_EQ(mixer_read("MIC1 Boost", FL), 1);
}

TEST_F(AlsaMixer, EmptyRangeReadsAsZeroPercent)
{
    card("boost_min 2 boost_max 2");
    int percent = -1;
    EXPECT_EQ(alsa_get_volume(1, &percent), 0);
    EXPECT_EQ(percent, 0);
}

TEST_F(AlsaMixer, MuteTurnsTheSpeakerSwitchOffAndOn)
{
    card("");
    EXPECT_EQ(alsa_set_playback_mute(1), 0);
    EXPECT_EQ(mixer_switch("SPK", FL), 0);
    EXPECT_EQ(mixer_switch("SPK", FR), 0);
    EXPECT_EQ(alsa_set_playback_mute(0), 0);
    EXPECT_EQ(mixer_switch("SPK", FL), 1);
    EXPECT_EQ(mixer_switch("SPK", FR), 1);
}

// The menu thread changes levels while a sound thread does: on the card every control keeps the
// last value written to it, whichever handle wrote it.
TEST_F(AlsaMixer, HandlesOpenAtOnceKeepEachOthersChanges)
{
    card("spk_max 31");
    snd_mixer_t *other = nullptr;
    ASSERT_EQ(snd_mixer_open(&other, 0), 0);
    ASSERT_EQ(snd_mixer_attach(other, ALSA_MIXER_CARD), 0);
    ASSERT_EQ(snd_mixer_selem_register(other, nullptr, nullptr), 0);
    ASSERT_EQ(snd_mixer_load(other), 0);
    snd_mixer_selem_id_t *sid;
    snd_mixer_selem_id_alloca(&sid);
    snd_mixer_selem_id_set_name(sid, "MIC1 Boost");
    snd_mixer_elem_t *boost = snd_mixer_find_selem(other, sid);
    ASSERT_NE(boost, nullptr);

    EXPECT_EQ(alsa_set_volume(0, 50), 0);
    EXPECT_EQ(snd_mixer_selem_set_playback_volume_all(boost, 2), 0);
    EXPECT_EQ(alsa_set_playback_mute(1), 0);
    snd_mixer_close(other);

    EXPECT_EQ(mixer_read("SPK", FL), 16);
    EXPECT_EQ(mixer_read("MIC1 Boost", FL), 2);
    EXPECT_EQ(mixer_switch("SPK", FR), 0);
}

TEST_F(AlsaMixer, ElementWithoutPlaybackVolumeFails)
{
    card("spk_volume_name \"SPK Capture Volume\"");
    int percent = -1;
    const std::string err = printedBy(
        [&] {
            EXPECT_EQ(alsa_set_volume(0, 50), -1);
            EXPECT_EQ(alsa_get_volume(0, &percent), -1);
        },
        stderr);
    EXPECT_EQ(err, "Unable to get playback volume\nUnable to get playback volume\n");
    EXPECT_EQ(percent, -1);
}

TEST_F(AlsaMixer, MissingElementIsReported)
{
    card("boost_name \"\" spk_switch_name \"\"");
    int percent = -1;
    const std::string err = printedBy(
        [&] {
            EXPECT_EQ(alsa_set_volume(1, 50), -1);
            EXPECT_EQ(alsa_get_volume(1, &percent), -1);
        },
        stderr);
    EXPECT_EQ(err, "Unable to find simple control 'MIC1 Boost',0\nUnable to find simple control "
                   "'MIC1 Boost',0\n");
    // The speaker is there, but without its switch.
    EXPECT_EQ(alsa_set_volume(0, 50), 0);
    EXPECT_EQ(alsa_set_playback_mute(1), -1);
}

TEST_F(AlsaMixer, NoCardMeansNoControl)
{
    // Without the control plugin: a card that cannot be opened.
    sim_alsa_use_system(dir_, "ctl.!default { type hw card 31 }");
    int percent = -1;
    const std::string err = printedBy(
        [&] {
            EXPECT_EQ(alsa_set_volume(0, 50), -1);
            EXPECT_EQ(alsa_set_volume(1, 50), -1);
            EXPECT_EQ(alsa_get_volume(0, &percent), -1);
            EXPECT_EQ(alsa_set_playback_mute(1), -1);
        },
        stderr);
    EXPECT_EQ(err, "Unable to find simple control 'SPK',0\n"
                   "Unable to find simple control 'MIC1 Boost',0\n"
                   "Unable to find simple control 'SPK',0\n"
                   "Unable to find simple control 'SPK',0\n");
}

} // namespace
