// The motion detection area dialog as a user meets it through the Parking tab: the cells from
// the record, clicks that toggle them, Cancel and the close button that restore them, Confirm
// that stores them.

#include "dialog_test_env.h"

#include "dialogs/motion_dlg.h"
#include "dialogs/parking_dlg.h"
#include "skin/control_id.h"
#include "skin/rbutton.h"
#include "skin/rstatic_text.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {
class EachBuild : public ::testing::TestWithParam<BuildCase>
{
protected:
    const DialogProfile &Profile() const { return *GetParam().profile; }
};

TEST(CMotionDlg, CellsAndMasks)
{
    struct Case {
        int32_t mask;
        int cells[12];
    };
    const Case cases[] = {
        {0xFFF, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {0x0F0, {0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0}},
        {0x000, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {0x812, {0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0}},
    };
    for (const Case &c : cases) {
        int cells[12];
        CMotionDlg::Unpack(c.mask, cells);
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(cells[i], c.cells[i]) << std::hex << c.mask << " cell " << i;
        EXPECT_EQ(CMotionDlg::Pack(c.cells), c.mask);
    }
    // Bits above the grid are not cells.
    int cells[12];
    CMotionDlg::Unpack(0x7000 | 0x00F, cells);
    EXPECT_EQ(CMotionDlg::Pack(cells), 0x00F);

    EXPECT_EQ(CMotionDlg::FrontCell(0), QRect(26, 136, 48, 30));
    EXPECT_EQ(CMotionDlg::FrontCell(5), QRect(75, 167, 48, 30));
    EXPECT_EQ(CMotionDlg::FrontCell(11), QRect(173, 198, 48, 30));
    EXPECT_EQ(CMotionDlg::RearCell(0), QRect(241, 136, 48, 30));
    EXPECT_EQ(CMotionDlg::RearCell(11), QRect(388, 198, 48, 30));
}

// Runs the Parking tab's motion area dialog; `during` acts on the dialog while it is shown.
int RunArea(CParkingDlg &tab, const std::function<void(CMotionDlg &)> &during)
{
    CMotionDlg &dlg = tab.MotionDlg();
    int result = -1;
    WithModal(
        [&] {
            tab.RunMotionArea();
            result = dlg.result();
        },
        [&](QWidget *modal) {
            ASSERT_EQ(modal, &dlg);
            during(dlg);
        });
    return result;
}

void ClickAt(CMotionDlg &dlg, QPoint at)
{
    QTest::mouseClick(&dlg, Qt::LeftButton, {}, at);
}

// The colour a cell shows: the cell image blended at 150/255 over the white background.
QRgb Blend(QRgb cell)
{
    auto mix = [](int c) { return (c * 150 + 255 * 105 + 127) / 255; };
    return qRgb(mix(qRed(cell)), mix(qGreen(cell)), mix(qBlue(cell)));
}

bool Near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= 2 && std::abs(qGreen(a) - qGreen(b)) <= 2 &&
           std::abs(qBlue(a) - qBlue(b)) <= 2;
}

TEST_P(EachBuild, TheDialogShowsTheStoredCellsAndItsControls)
{
    CameraSettings record = CardRecord(Profile());
    record.motionAreaFront = 0x0F0;
    record.motionAreaRear = 0xFFF;
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    auto &tab = d.TabAs<CParkingDlg>(2);
    QImage shot;
    const int result = RunArea(tab, [&](CMotionDlg &dlg) {
        EXPECT_EQ(dlg.size(), QSize(464, 309));
        EXPECT_EQ(dlg.windowTitle(), ModelText(Profile().model, 164));
        struct Expect {
            int id;
            QRect rect;
        };
        const Expect controls[] = {{CMotionDlg::kIdTitle, QRect(11, 7, 200, 20)},
                                   {CMotionDlg::kIdFrontLabel, QRect(25, 105, 100, 20)},
                                   {CMotionDlg::kIdRearLabel, QRect(240, 105, 100, 20)},
                                   {CMotionDlg::kIdClose, QRect(418, 1, 30, 26)},
                                   {CMotionDlg::kIdCancel, QRect(252, 268, 100, 29)},
                                   {CMotionDlg::kIdConfirm, QRect(356, 268, 100, 29)}};
        for (const Expect &e : controls) {
            QWidget *w = FindControl(&dlg, e.id);
            ASSERT_NE(w, nullptr) << e.id;
            EXPECT_EQ(w->geometry(), e.rect) << e.id;
        }
        EXPECT_EQ(static_cast<CRStaticText *>(FindControl(&dlg, CMotionDlg::kIdFrontLabel))->Text(),
                  ModelText(Profile().model, 110));
        ASSERT_NE(FindControl(&dlg, CMotionDlg::kIdInstruction), nullptr);
        EXPECT_EQ(FindControl(&dlg, CMotionDlg::kIdInstruction)->pos(), QPoint(11, 55));
        EXPECT_LE(FindControl(&dlg, CMotionDlg::kIdInstruction)->geometry().bottom(), 94)
            << "the instruction stays above the pictures";
        shot = Shot(dlg);
        ClickButton(FindControl(&dlg, CMotionDlg::kIdCancel));
    });
    EXPECT_EQ(result, CMotionDlg::kResultCancel);
    ASSERT_FALSE(shot.isNull());
    const QRgb blue = Blend(qRgb(0x58, 0xBA, 0xFF));
    // A cell's top-left pixels: over the picture they mix with it, so look at the cell colour
    // where the picture is plain sky (the top row) and compare middle-row cells by hue.
    for (int i = 0; i < 4; ++i) {
        const QRgb top = shot.pixel(CMotionDlg::FrontCell(i).topLeft() + QPoint(2, 2));
        EXPECT_FALSE(Near(top, blue)) << "front top row is not selected";
        const QRgb middle = shot.pixel(CMotionDlg::FrontCell(4 + i).topLeft() + QPoint(2, 2));
        EXPECT_GT(qBlue(middle) - qRed(middle), qBlue(top) - qRed(top))
            << "front middle row is blue";
        const QRgb rear = shot.pixel(CMotionDlg::RearCell(i).topLeft() + QPoint(2, 2));
        EXPECT_GT(qBlue(rear) - qRed(rear), qBlue(top) - qRed(top)) << "rear top row is selected";
    }
}

TEST_P(EachBuild, ClickingTogglesAndCancelRestores)
{
    CameraSettings record = CardRecord(Profile());
    record.motionAreaFront = 0x0F0;
    record.motionAreaRear = 0xFFF;
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    auto &tab = d.TabAs<CParkingDlg>(2);
    for (int closer : {CMotionDlg::kIdCancel, CMotionDlg::kIdClose}) {
        const int result = RunArea(tab, [&](CMotionDlg &dlg) {
            ClickAt(dlg, CMotionDlg::FrontCell(0).center());
            EXPECT_EQ(dlg.front[0], 1);
            ClickAt(dlg, CMotionDlg::FrontCell(5).center());
            ClickAt(dlg, CMotionDlg::FrontCell(5).center());
            EXPECT_EQ(dlg.front[5], 1) << "twice is as before";
            ClickAt(dlg, CMotionDlg::RearCell(11).center());
            EXPECT_EQ(dlg.rear[11], 0);
            // The grid line between two cells selects nothing.
            ClickAt(dlg, QPoint(74, 150));
            ClickAt(dlg, QPoint(50, 166));
            EXPECT_EQ(CMotionDlg::Pack(dlg.front), 0x1F0) << "row 0, column 0 is bit 8";
            ClickButton(FindControl(&dlg, closer));
        });
        EXPECT_EQ(result, CMotionDlg::kResultCancel);
        EXPECT_EQ(CMotionDlg::Pack(tab.MotionDlg().front), 0x0F0);
        EXPECT_EQ(CMotionDlg::Pack(tab.MotionDlg().rear), 0xFFF);
        EXPECT_EQ(Bytes(d.Record()), Bytes(record));
    }
}

TEST_P(EachBuild, ConfirmStoresTheCellsAndTheNextShowingStartsFromThem)
{
    CameraSettings record = CardRecord(Profile());
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    auto &tab = d.TabAs<CParkingDlg>(2);
    int result = RunArea(tab, [&](CMotionDlg &dlg) {
        for (int i = 0; i < 12; ++i)
            ClickAt(dlg, CMotionDlg::FrontCell(i).center());
        ClickAt(dlg, CMotionDlg::RearCell(4).center());
        ClickButton(FindControl(&dlg, CMotionDlg::kIdConfirm));
    });
    EXPECT_EQ(result, CMotionDlg::kResultConfirm);
    EXPECT_EQ(d.Record().motionAreaFront, 0);
    EXPECT_EQ(d.Record().motionAreaRear, 0xFEF);

    // An unconfirmed change is gone at the next showing.
    result = RunArea(tab, [&](CMotionDlg &dlg) {
        EXPECT_EQ(CMotionDlg::Pack(dlg.front), 0);
        ClickAt(dlg, CMotionDlg::FrontCell(3).center());
        ClickButton(FindControl(&dlg, CMotionDlg::kIdCancel));
    });
    result = RunArea(tab, [&](CMotionDlg &dlg) {
        EXPECT_EQ(CMotionDlg::Pack(dlg.front), 0);
        EXPECT_EQ(CMotionDlg::Pack(dlg.rear), 0xFEF);
        EXPECT_EQ(FindControl(&dlg, CMotionDlg::kIdClose)->parentWidget(), &dlg) << "built afresh";
        ClickButton(FindControl(&dlg, CMotionDlg::kIdClose));
    });
    EXPECT_EQ(result, CMotionDlg::kResultCancel);

    ClickButton(d.dlg->Button(CQ7SettingDlg::kIdSave));
    const CameraSettings saved = FromBytes(d.card.Read());
    EXPECT_EQ(saved.motionAreaFront, 0);
    EXPECT_EQ(saved.motionAreaRear, 0xFEF);
}

TEST_P(EachBuild, RefreshSetsTheCellsFromTheRecord)
{
    CameraSettings record = CardRecord(Profile());
    record.motionAreaFront = 0x0F0;
    record.motionAreaRear = 0x801;
    OpenDialog d(Profile(), &record);
    ASSERT_TRUE(d.initialised);
    auto &tab = d.TabAs<CParkingDlg>(2);
    const int expectedFront[12] = {0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0};
    const int expectedRear[12] = {0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(tab.MotionDlg().front[i], expectedFront[i]) << i;
        EXPECT_EQ(tab.MotionDlg().rear[i], expectedRear[i]) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Builds, EachBuild,
                         ::testing::Values(BuildCase{"K420", &K420_Dialogs},
                                           BuildCase{"KZ7100", &KZ7100_Dialogs}),
                         [](const ::testing::TestParamInfo<BuildCase> &info) {
                             return info.param.name;
                         });
} // namespace
