// The skinned controls as real widgets on the offscreen platform, driven with QtTest.

#include "skin/control_id.h"
#include "skin/rbutton.h"
#include "skin/rstatic_text.h"
#include "skin/skin_image.h"
#include "skin/sub_slider.h"

#include "qt_test_env.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A parent window with the main dialog's background that records what its children send it.
class Owner : public QWidget
{
public:
    Owner() : m_bg(300, 200)
    {
        resize(300, 200);
        DrawNinePatch(m_bg, 501);
    }
    SkinCanvas &Background() { return m_bg; }
    std::vector<int> commands;
    std::vector<QPoint> presses, releases;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == CCommandEvent::EventType()) {
            commands.push_back(static_cast<CCommandEvent *>(e)->Id());
            return true;
        }
        return QWidget::event(e);
    }
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.drawImage(0, 0, m_bg.image);
    }
    void mousePressEvent(QMouseEvent *e) override { presses.push_back(e->position().toPoint()); }
    void mouseReleaseEvent(QMouseEvent *e) override { releases.push_back(e->position().toPoint()); }

private:
    SkinCanvas m_bg;
};

// What a text-less button in a state must show: the background under it with the state's
// nine-patch image blended over it.
QImage Expected(const SkinCanvas &bg, const QRect &rect, int imageId)
{
    SkinCanvas state(rect.width(), rect.height());
    DrawNinePatch(state, imageId);
    QImage img = bg.image.copy(rect);
    QPainter p(&img);
    p.drawImage(0, 0, state.image);
    p.end();
    return img.convertToFormat(QImage::Format_RGB32);
}

const QRect kButtonRect(20, 100, 100, 29);
const QRect kTabRect(10, 48, 150, 37);
const QPoint kOutside(250, 180);

TEST(CRButton, HoverPressAndReleaseShowTheirImagesAndPostTheCommand)
{
    Owner owner;
    auto *b = new CRButton(kButtonRect, &owner, 2304);
    b->SetNinePatchImages(nullptr, 161, 162, 163, &owner.Background());
    ASSERT_TRUE(ShowAndWait(owner));
    EXPECT_EQ(FindControl(&owner, 2304), b);

    EXPECT_EQ(b->State(), CRButton::kNormal);
    EXPECT_EQ(Shot(*b), Expected(owner.Background(), kButtonRect, 161));

    QTest::mouseMove(b, QPoint(50, 14));
    Settle();
    EXPECT_EQ(b->State(), CRButton::kHover);
    EXPECT_EQ(Shot(*b), Expected(owner.Background(), kButtonRect, 162));

    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(50, 14));
    Settle();
    EXPECT_EQ(b->State(), CRButton::kPressed);
    EXPECT_EQ(Shot(*b), Expected(owner.Background(), kButtonRect, 163));

    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(50, 14));
    Settle();
    EXPECT_EQ(owner.commands, std::vector<int>{2304});
    EXPECT_EQ(b->State(), CRButton::kHover);

    QTest::mouseMove(&owner, kOutside);
    Settle();
    EXPECT_EQ(b->State(), CRButton::kNormal);
    EXPECT_EQ(Shot(*b), Expected(owner.Background(), kButtonRect, 161));
    EXPECT_EQ(owner.commands.size(), 1u);
}

TEST(CRButton, ReleaseAwayFromTheButtonIsNoClick)
{
    Owner owner;
    auto *b = new CRButton(kButtonRect, &owner, 7);
    b->SetNinePatchImages(nullptr, 161, 162, 163, &owner.Background());
    ASSERT_TRUE(ShowAndWait(owner));
    QTest::mouseMove(b, QPoint(10, 10));
    Settle();
    QTest::mousePress(b, Qt::LeftButton, {}, QPoint(10, 10));
    Settle();
    QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(200, 10));
    Settle();
    QCoreApplication::processEvents();
    EXPECT_TRUE(owner.commands.empty());
    EXPECT_EQ(b->State(), CRButton::kNormal);
}

TEST(CRButton, StickySelectedTabKeepsItsImage)
{
    Owner owner;
    auto *tab = new CRButton(kTabRect, &owner, 2200);
    tab->SetSelectedImage(146);
    tab->SetNinePatchImages(nullptr, 143, 144, 145, &owner.Background());
    tab->SetState(CRButton::kSelected);
    tab->SetSticky(true);
    ASSERT_TRUE(ShowAndWait(owner));
    const QImage selected = Expected(owner.Background(), kTabRect, 146);
    EXPECT_EQ(Shot(*tab), selected);

    // Hovering and leaving a selected sticky tab changes nothing.
    QTest::mouseMove(tab, QPoint(75, 18));
    Settle();
    EXPECT_EQ(tab->State(), CRButton::kSelected);
    QTest::mouseMove(&owner, kOutside);
    Settle();
    EXPECT_EQ(tab->State(), CRButton::kSelected);
    EXPECT_EQ(Shot(*tab), selected);

    // A click shows the pressed image until the owner sets the state, leaving or not.
    QTest::mouseMove(tab, QPoint(75, 18));
    Settle();
    QTest::mouseClick(tab, Qt::LeftButton, {}, QPoint(75, 18));
    Settle();
    QCoreApplication::processEvents();
    EXPECT_EQ(owner.commands, std::vector<int>{2200});
    EXPECT_EQ(tab->State(), CRButton::kPressed);
    QTest::mouseMove(&owner, kOutside);
    Settle();
    EXPECT_EQ(tab->State(), CRButton::kPressed);
    EXPECT_EQ(Shot(*tab), Expected(owner.Background(), kTabRect, 145));

    tab->SetState(CRButton::kSelected);
    EXPECT_EQ(Shot(*tab), selected);
}

TEST(CRButton, TabThatIsNotStickyReturnsToHoverAndNormal)
{
    Owner owner;
    auto *tab = new CRButton(kTabRect, &owner, 2201);
    tab->SetSelectedImage(150);
    tab->SetNinePatchImages(nullptr, 147, 148, 149, &owner.Background());
    ASSERT_TRUE(ShowAndWait(owner));
    QTest::mouseMove(tab, QPoint(75, 18));
    Settle();
    QTest::mouseClick(tab, Qt::LeftButton, {}, QPoint(75, 18));
    Settle();
    EXPECT_EQ(tab->State(), CRButton::kHover);
    QTest::mouseMove(&owner, kOutside);
    Settle();
    EXPECT_EQ(tab->State(), CRButton::kNormal);
    EXPECT_EQ(Shot(*tab), Expected(owner.Background(), kTabRect, 147));
}

// Where the text's pixels are: the difference between the button with and without text.
QRect Ink(CRButton &withText, CRButton &without)
{
    return DiffBox(Shot(withText), Shot(without));
}

bool HasPixel(const QImage &img, QRgb colour)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) == colour)
                return true;
    return false;
}

TEST(CRButton, CentredTextSitsInTheContentRectangleInTheStateColour)
{
    Owner owner;
    const SkinTextStyle style{"Save", 0xC8BBB0, 0xFFFFFF, 0xFFFFFF, 14, 1};
    auto *b = new CRButton(kButtonRect, &owner, 2304);
    b->SetNinePatchImages(&style, 161, 162, 163, &owner.Background());
    auto *plain = new CRButton(kButtonRect.translated(0, 40), &owner, 1);
    plain->SetNinePatchImages(nullptr, 161, 162, 163, &owner.Background());
    ASSERT_TRUE(ShowAndWait(owner));

    EXPECT_EQ(b->ContentRect(), QRect(7, 3, 89, 26)); // (7, 3, 96, 29)
    EXPECT_EQ(b->TextRect(), QRect(7, 9, 89, 20));    // top 3 + (29 - 14 - 3) / 2
    const QRect ink = Ink(*b, *plain);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.top(), 9);
    EXPECT_LT(ink.bottom(), 9 + 14);
    // Centred between x = 7 and 96.
    const int leftGap = ink.left() - 7, rightGap = 96 - (ink.right() + 1);
    EXPECT_LE(std::abs(leftGap - rightGap), 2) << leftGap << " " << rightGap;

    EXPECT_TRUE(HasPixel(Shot(*b), qRgb(0xB0, 0xBB, 0xC8))); // COLORREF 0xC8BBB0
    EXPECT_FALSE(HasPixel(Shot(*b), qRgb(0xFF, 0xFF, 0xFF)));
    b->SetState(CRButton::kHover);
    EXPECT_TRUE(HasPixel(Shot(*b), qRgb(0xFF, 0xFF, 0xFF)));
}

TEST(CRButton, LeftAlignedTextStartsAtTheContentCorner)
{
    Owner owner;
    const SkinTextStyle style{"Tab", 0xB19477, 0xB19477, 0xFFFFFF, 14, 0};
    auto *b = new CRButton(kTabRect, &owner, 1);
    b->SetNinePatchImages(&style, 143, 144, 145, &owner.Background());
    auto *plain = new CRButton(kTabRect.translated(0, 60), &owner, 2);
    plain->SetNinePatchImages(nullptr, 143, 144, 145, &owner.Background());
    ASSERT_TRUE(ShowAndWait(owner));
    EXPECT_EQ(b->TextRect(), b->ContentRect());
    const QRect ink = Ink(*b, *plain);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_LE(ink.left(), b->ContentRect().left() + 2);
    EXPECT_LE(ink.top(), b->ContentRect().top() + 4);
}

TEST(CRButton, PlainImagesAreDrawnUnscaled)
{
    Owner owner;
    const QRect r(200, 0, 29, 26);
    auto *close = new CRButton(r, &owner, 2301);
    close->SetImages(158, 159, 160, &owner.Background());
    ASSERT_TRUE(ShowAndWait(owner));
    for (int state = 0; state < 3; ++state) {
        close->SetState(state);
        QImage want = owner.Background().image.copy(r);
        QPainter p(&want);
        p.drawImage(0, 0, LoadPngResource(158 + state));
        p.end();
        EXPECT_EQ(Shot(*close), want.convertToFormat(QImage::Format_RGB32)) << state;
    }
}

TEST(CRStaticText, TextWiderThanTheLabelStartsAtZero)
{
    Owner owner;
    const SkinTextStyle style{"A text much wider than its label", 0xE9DFD6, 0, 0, 14, 1};
    const QFont font = CreateSkinFont(14, 700);
    auto *label = new CRStaticText(QRect(10, 7, 60, 20), &owner, 2001);
    label->SetText(&style, font, &owner.Background());
    ASSERT_TRUE(ShowAndWait(owner));
    const QImage text = CreateTextBitmap(font, style.text, style.normalColor);
    ASSERT_GT(text.width(), 60);
    EXPECT_EQ(label->TextOrigin(text.size()).x(), 0);
    // On screen: the background with the text bitmap blended at x = 0.
    QImage want = owner.Background().image.copy(QRect(10, 7, 60, 20));
    QPainter p(&want);
    p.drawImage(label->TextOrigin(text.size()), text);
    p.end();
    EXPECT_EQ(Shot(*label), want.convertToFormat(QImage::Format_RGB32));
}

struct LabelCase {
    std::string name;
    int width, height, alignment;
    const char *text;
};

class LabelPlacement : public ::testing::TestWithParam<LabelCase>
{};

TEST_P(LabelPlacement, TextIsPlacedByAlignmentAndFreeSpace)
{
    const LabelCase &c = GetParam();
    Owner owner;
    const SkinTextStyle style{c.text, 0xE9DFD6, 0, 0, 14, c.alignment};
    const QFont font = CreateSkinFont(14, 700);
    auto *label = new CRStaticText(QRect(0, 0, c.width, c.height), &owner, 1);
    label->SetText(&style, font, &owner.Background());
    const QSize size = CreateTextBitmap(font, c.text, 0).size();
    const int freeW = c.width - size.width(), freeH = c.height - size.height();
    // Centred: the rounded-up half of the free width; vertically half the free height, or
    // 0 for a text taller than the label.
    const QPoint want(c.alignment == 1 ? std::max(0, (freeW + 1) / 2) : 0,
                      freeH < 0 ? 0 : freeH / 2);
    EXPECT_EQ(label->TextOrigin(size), want);
    EXPECT_EQ(c.alignment == 1 && freeW > 0, want.x() > 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LabelPlacement,
    ::testing::Values(LabelCase{"CentredNarrowText", 200, 20, 1, "Hi"},
                      LabelCase{"CentredOddFreeWidth", 201, 20, 1, "Hi"},
                      LabelCase{"LeftAligned", 200, 20, 0, "Hi"},
                      LabelCase{"TallerThanTheLabel", 200, 6, 1, "Hi"},
                      LabelCase{"TwoLinesInATallLabel", 200, 60, 0, "One\r\nTwo"}),
    [](const ::testing::TestParamInfo<LabelCase> &info) { return info.param.name; });

TEST(CRStaticText, MouseEventsGoToTheParent)
{
    Owner owner;
    const SkinTextStyle style{"Title", 0xE9DFD6, 0, 0, 14, 0};
    auto *label = new CRStaticText(QRect(10, 7, 100, 20), &owner, 2001);
    label->SetText(&style, CreateSkinFont(14, 700), &owner.Background());
    ASSERT_TRUE(ShowAndWait(owner));
    QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(5, 6));
    Settle();
    EXPECT_EQ(owner.presses, std::vector<QPoint>{QPoint(15, 13)});
    EXPECT_EQ(owner.releases, std::vector<QPoint>{QPoint(15, 13)});
}

struct SliderCase {
    int kind, position;
    const char *text;
};

TEST(CSubSlider, TooltipTextByValueKind)
{
    const SliderCase cases[] = {
        {1, 0, "1"},
        {1, 3, "6"},
        {1, 7, "48"},
        {2, 0, "11.6"},
        {2, 4, "12.0"},
        {2, 7, "12.3"},
        {3, 0, "23.2"},
        {3, 1, "23.4"},
        {3, 7, "24.6"},
        {4, 0, "1"},
        {4, 1, "3"},
        {4, 2, "5"},
        {0, 7, "7"},
        {0, 10, "a"},
        {5, 255, "ff"},
        {-1, 16, "10"},
        // Outside a table the bare position is shown instead of reading past it.
        {1, 8, "8"},
        {4, 3, "3"},
        {2, -1, "ffffffff"},
    };
    for (const SliderCase &c : cases)
        EXPECT_EQ(CSubSlider::ToolTipText(c.kind, c.position).toStdString(), c.text)
            << "kind " << c.kind << " position " << c.position;
}

TEST(CSubSlider, DraggedSliderShowsTheSettingInItsTooltip)
{
    QWidget owner;
    owner.resize(300, 80);
    auto *slider = new CSubSlider(&owner);
    slider->setGeometry(10, 10, 200, 30);
    slider->setRange(0, 7);
    slider->setValue(7);
    slider->SetValueKind(CSubSlider::kStopTimer);
    ASSERT_TRUE(ShowAndWait(owner));
    EXPECT_EQ(slider->ToolTipText(), "48");

    QStyleOptionSlider opt;
    opt.initFrom(slider);
    opt.orientation = slider->orientation();
    opt.minimum = slider->minimum();
    opt.maximum = slider->maximum();
    opt.sliderPosition = slider->sliderPosition();
    opt.sliderValue = slider->value();
    const QRect handle =
        slider->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider);
    QTest::mousePress(slider, Qt::LeftButton, {}, handle.center());
    Settle();
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "48");
    QTest::mouseRelease(slider, Qt::LeftButton, {}, handle.center());
    Settle();

    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Left);
    Settle();
    EXPECT_EQ(slider->value(), 6);
    EXPECT_EQ(QToolTip::text(), "36");
}

} // namespace
