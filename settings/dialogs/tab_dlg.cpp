#include "dialogs/tab_dlg.h"

#include "skin/control_id.h"
#include "skin/skin_image.h"
#include "skin/sub_slider.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <iterator>

int ScrollChange(ScrollRequest request, int position, int extra, int line, int page, int thumb)
{
    switch (request) {
    case kLineUp:
        return std::max(-position, -line);
    case kLineDown:
        return std::min(line, extra - position);
    case kPageUp:
        return std::max(-position, -page);
    case kPageDown:
        return std::min(page, extra - position);
    case kThumbPosition:
    case kThumbTrack:
        return std::clamp(thumb, 0, extra) - position;
    case kOtherRequest:
        break;
    }
    return 0;
}

int WheelChange(int delta, int position, int extra, int line)
{
    // Two notches reported at once (240) or a touchpad's fractions do not scroll.
    if (delta == 120)
        return ScrollChange(kLineUp, position, extra, line, CTabDlg::kPage);
    if (delta == -120)
        return ScrollChange(kLineDown, position, extra, line, CTabDlg::kPage);
    return 0;
}

// The scrolled surface of a tab: white, with the tab's lines and track bar labels on it.
class CTabContent : public QWidget
{
public:
    explicit CTabContent(CTabDlg *tab) : QWidget(tab), m_tab(tab) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        m_tab->PaintContent(p);
    }

private:
    CTabDlg *m_tab;
};

CTabDlg::CTabDlg(QWidget *parent, CameraSettings &settings, const DialogProfile &profile,
                 int focusButtonId, int extraHeight, int lineStep)
    : QWidget(parent), m_settings(settings), m_profile(profile), m_extra(extraHeight),
      m_line(lineStep)
{
    setFixedSize(kWidth, kHeight);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::Base, Qt::white);
    setPalette(pal);
    setFocusPolicy(Qt::NoFocus);

    m_headingFont = CreateSkinFont(14, 700);
    m_labelFont = CreateSkinFont(13, 700);
    m_textFont = CreateSkinFont(13, 400);

    m_content = new CTabContent(this);
    m_content->setGeometry(0, 0, ClientWidth(), kHeight + m_extra);
    if (m_extra > 0) {
        m_scrollBar = new QScrollBar(Qt::Vertical, this);
        m_scrollBar->setGeometry(kWidth - kScrollBarWidth, 0, kScrollBarWidth, kHeight);
        m_scrollBar->setRange(0, m_extra);
        m_scrollBar->setPageStep(kPage);
        m_scrollBar->setSingleStep(m_line);
        m_scrollBar->installEventFilter(this);
        connect(m_scrollBar, &QScrollBar::valueChanged, this, &CTabDlg::ScrollTo);
    }

    // It holds the keyboard focus without being seen: a widget Qt hides cannot take the focus,
    // so it is shown with no size.
    m_focusButton = new QPushButton(m_content);
    m_focusButton->setAutoDefault(false);
    m_focusButton->setGeometry(0, 0, 0, 0);
    m_focusButton->setFlat(true);
    SetControlId(m_focusButton, focusButtonId);
    m_controls.insert(focusButtonId, m_focusButton);
}

int CTabDlg::ClientWidth() const
{
    return m_extra > 0 ? kWidth - kScrollBarWidth : kWidth;
}

void CTabDlg::Scroll(ScrollRequest request, int thumb)
{
    ScrollTo(m_position + ScrollChange(request, m_position, m_extra, m_line, kPage, thumb));
}

void CTabDlg::ScrollTo(int position)
{
    position = std::clamp(position, 0, m_extra);
    if (position == m_position && (!m_scrollBar || m_scrollBar->value() == position))
        return;
    m_position = position;
    if (m_scrollBar) {
        const QSignalBlocker block(m_scrollBar);
        m_scrollBar->setValue(position);
    }
    m_content->move(0, -position);
}

void CTabDlg::Register(QWidget *control, int id)
{
    SetControlId(control, id);
    m_controls.insert(id, control);
    control->installEventFilter(this);
    control->show();
}

QLabel *CTabDlg::AddLabel(int id, const QFont &font)
{
    auto *label = new QLabel(m_content);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Register(label, id);
    return label;
}

QAbstractButton *CTabDlg::AddRadio(int id, int group)
{
    // Groups are kept by hand: an out-of-range value must be able to leave a group with no
    // radio checked, which Qt's exclusive radios do not allow.
    auto *radio = new QRadioButton(m_content);
    radio->setAutoExclusive(false);
    radio->setFont(m_textFont);
    radio->setFocusPolicy(Qt::NoFocus);
    m_radioGroup.insert(id, group);
    connect(radio, &QRadioButton::clicked, this, [this, radio] { RadioClicked(radio); });
    Register(radio, id);
    return radio;
}

QAbstractButton *CTabDlg::AddCheck(int id)
{
    auto *check = new QCheckBox(m_content);
    check->setFont(m_textFont);
    check->setFocusPolicy(Qt::NoFocus);
    connect(check, &QCheckBox::clicked, this, [this, id] { OnCommand(id); });
    Register(check, id);
    return check;
}

QPushButton *CTabDlg::AddPushButton(int id)
{
    auto *button = new QPushButton(m_content);
    button->setFont(m_textFont);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
    Register(button, id);
    return button;
}

QSlider *CTabDlg::NewTrackBar(int id, bool subSlider, int kind)
{
    QSlider *slider;
    if (subSlider) {
        auto *sub = new CSubSlider(m_content);
        sub->SetValueKind(kind);
        slider = sub;
    } else {
        slider = new QSlider(m_content);
    }
    slider->setOrientation(Qt::Horizontal);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(1);
    slider->setPageStep(1);
    slider->setFocusPolicy(Qt::NoFocus);
    connect(slider, &QSlider::valueChanged, this,
            [this, slider](int pos) { OnTrackBar(slider, pos); });
    Register(slider, id);
    return slider;
}

void CTabDlg::Place(int id, const QString &text, int x, int y, int width, int height)
{
    QWidget *w = Control(id);
    if (!w)
        return;
    // The templates' widths were made for the Windows fonts; a text that needs more room gets
    // it, so that nothing is cut off.
    int needed = 0;
    if (auto *label = qobject_cast<QLabel *>(w)) {
        label->setText(text);
        needed = label->fontMetrics().horizontalAdvance(text) + 2;
    } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
        button->setText(text);
        needed = button->sizeHint().width();
    }
    w->setGeometry(x, y, std::max(width, needed), height);
}

void CTabDlg::PlaceAt(int id, int x, int y, int width, int height)
{
    if (QWidget *w = Control(id))
        w->setGeometry(x, y, width, height);
}

void CTabDlg::PlaceText(int id, int number, int x, int y, int perChar, int extra, int height)
{
    const QString t = Text(number);
    Place(id, t, x, y, TextWidth(t, perChar, extra), height);
}

void CTabDlg::PlaceHeading(int id, int number, int y, int perChar, int extra)
{
    PlaceText(id, number, 15, y, perChar, extra, 14);
}

void CTabDlg::PlaceLabel(int id, int number, int x, int y)
{
    PlaceText(id, number, x, y, 6, 10, 13);
}

void CTabDlg::PlaceButton(int id, int number, int x, int y, int width, int height)
{
    const QString t = Text(number);
    Place(id, t, x, y, width > 0 ? width : TextWidth(t, 6, 20), height);
}

int CTabDlg::RightOf(int id) const
{
    const QRect r = Control(id)->geometry();
    return r.left() + r.width();
}

void CTabDlg::AddRecordingRadios(const RecordingSectionIds &ids)
{
    for (int id : ids.frontResolution)
        AddRadio(id, kFrontResolutionGroup);
    for (int id : ids.rearResolution)
        AddRadio(id, kRearResolutionGroup);
    for (int id : ids.frames)
        AddRadio(id, kFramesGroup);
    for (int id : ids.rearFrames)
        AddRadio(id, kRearFramesGroup);
    for (int id : ids.frontQuality)
        AddRadio(id, kFrontQualityGroup);
    for (int id : ids.rearQuality)
        AddRadio(id, kRearQualityGroup);
}

void CTabDlg::CheckRecordingSection(const RecordingSectionIds &ids, const RecordingFields &fields,
                                    int framesFallback, int rearFramesFallback)
{
    auto row = [](const auto &radios) { return QList<int>(std::begin(radios), std::end(radios)); };
    CheckByValue(row(ids.frontResolution), {1, 2, 3}, *fields.frontResolution,
                 ids.frontResolution[2]);
    CheckByValue(row(ids.rearResolution), {1, 2}, *fields.rearResolution, ids.rearResolution[1]);
    CheckByValue(row(ids.frames), {1, 2, 3}, *fields.frontFrameRate, framesFallback);
    CheckByValue(row(ids.rearFrames), {1, 2, 3}, *fields.rearFrameRate, rearFramesFallback);
    CheckByValue(row(ids.frontQuality), {1, 2, 3}, *fields.frontQuality, ids.frontQuality[2]);
    CheckByValue(row(ids.rearQuality), {1, 2, 3}, *fields.rearQuality, ids.rearQuality[2]);
}

void CTabDlg::StoreRecordingChoice(const RecordingSectionIds &ids, const RecordingFields &fields,
                                   int id)
{
    // The value of a radio is its place in its row, from 1; 0 for a radio of another row.
    auto value = [id](const auto &radios) {
        for (size_t i = 0; i < std::size(radios); ++i)
            if (radios[i] == id)
                return int(i) + 1;
        return 0;
    };
    if (const int v = value(ids.frontResolution))
        *fields.frontResolution = v;
    if (const int v = value(ids.rearResolution))
        *fields.rearResolution = v;
    // One frame row serves both cameras; a click on the hidden rear row stores nothing.
    if (const int v = value(ids.frames))
        *fields.frontFrameRate = *fields.rearFrameRate = v;
    if (const int v = value(ids.frontQuality))
        *fields.frontQuality = v;
    if (const int v = value(ids.rearQuality))
        *fields.rearQuality = v;
}

void CTabDlg::LayoutRecordingSection(const RecordingSectionIds &ids, int top)
{
    // Each row: its label at x = 25 and its radios `step` pixels apart from x, 110 wide but for
    // the last, which is 130. The y are below the section's top.
    static const int kResolutionTexts[3] = {129, 130, 131};
    static const int kRearResolutionTexts[2] = {180, 130};
    static const int kFrameTexts[3] = {132, 133, 134};
    static const int kQualityTexts[3] = {123, 124, 125};
    const struct {
        int label, labelText, labelY;
        const int *radios;
        int count;
        const int *texts;
        int x, step, radioY;
    } rows[] = {
        {ids.resolutionFrontLabel, 110, 30, ids.frontResolution, 3, kResolutionTexts, 80, 130, 23},
        {ids.resolutionRearLabel, 111, 60, ids.rearResolution, 2, kRearResolutionTexts, 80, 130,
         53},
        {ids.framesFrontLabel, 110, 141, ids.frames, 3, kFrameTexts, 25, 150, 134},
        {ids.framesRearLabel, 111, 171, ids.rearFrames, 3, kFrameTexts, 80, 130, 164},
        {ids.qualityFrontLabel, 110, 220, ids.frontQuality, 3, kQualityTexts, 80, 130, 215},
        {ids.qualityRearLabel, 111, 252, ids.rearQuality, 3, kQualityTexts, 80, 130, 245},
    };
    const struct {
        int id, text, y;
    } headings[] = {{ids.resolutionHeading, 120, 0},
                    {ids.framesHeading, 121, 111},
                    {ids.qualityHeading, 122, 192},
                    {ids.impactHeading, 126, 303}};
    for (const auto &h : headings)
        PlaceHeading(h.id, h.text, top + h.y);
    for (const auto &r : rows) {
        PlaceLabel(r.label, r.labelText, 25, top + r.labelY);
        for (int i = 0; i < r.count; ++i)
            PlaceButton(r.radios[i], r.texts[i], r.x + r.step * i, top + r.radioY,
                        i == r.count - 1 ? 130 : 110);
    }
    // The impact sensitivity's track bar between its two labels.
    PlaceLabel(ids.impactLowLabel, 127, 45, top + 338);
    PlaceAt(ids.impact, RightOf(ids.impactLowLabel), top + 323, 300, 42);
    PlaceLabel(ids.impactHighLabel, 128, RightOf(ids.impact), top + 338);
}

void CTabDlg::SetChecked(int id, bool checked)
{
    if (auto *b = ControlAs<QAbstractButton>(id))
        b->setChecked(checked);
}

bool CTabDlg::IsChecked(int id) const
{
    auto *b = ControlAs<QAbstractButton>(id);
    return b && b->isChecked();
}

void CTabDlg::CheckRadio(int id)
{
    const int group = m_radioGroup.value(id, -1);
    for (auto it = m_radioGroup.cbegin(); it != m_radioGroup.cend(); ++it)
        if (it.value() == group)
            SetChecked(it.key(), it.key() == id);
}

void CTabDlg::CheckByValue(const QList<int> &ids, const QList<int> &values, int value, int fallback)
{
    int chosen = -1;
    for (int i = 0; i < ids.size(); ++i)
        if (values[i] == value)
            chosen = ids[i];
    if (chosen < 0 && !m_profile.exactRadioChecks)
        chosen = fallback;
    if (chosen >= 0) {
        CheckRadio(chosen);
    } else {
        for (int id : ids)
            SetChecked(id, false);
    }
}

void CTabDlg::SetTrackPos(QSlider *slider, int position)
{
    const QSignalBlocker block(slider);
    slider->setValue(position);
}

void CTabDlg::SetTrackRange(QSlider *slider, int minimum, int maximum, int position)
{
    const QSignalBlocker block(slider);
    slider->setRange(minimum, maximum);
    slider->setTickInterval(1);
    slider->setValue(position);
}

void CTabDlg::RadioClicked(QAbstractButton *button)
{
    // A click on a checked radio leaves it checked, as an automatic radio button does.
    const int id = ControlId(button);
    CheckRadio(id);
    OnCommand(id);
}

void CTabDlg::DrawHeadingLine(QPainter &p, int headingId, int gap)
{
    QWidget *h = Control(headingId);
    if (!h || h->isHidden())
        return;
    const QRect r = h->geometry();
    const int y = r.top() + r.height() / 2;
    const int x0 = r.left() + r.width() + gap;
    const int x1 = ClientWidth() - 15;
    if (x0 >= x1)
        return;
    p.setPen(ColorFromRef(0xC6B5A3));
    p.drawLine(x0, y, x1 - 1, y);
}

void CTabDlg::DrawTrackLabel(QPainter &p, QSlider *slider, int offset, const QString &text)
{
    const QRect r = slider->geometry();
    p.setFont(m_textFont);
    p.setPen(Qt::black);
    p.drawText(QRect(r.left() + offset, r.bottom() + 1, 80, 14),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
}

void CTabDlg::keyPressEvent(QKeyEvent *e)
{
    // Escape would end the main dialog without a word.
    if (e->key() == Qt::Key_Escape) {
        e->accept();
        return;
    }
    QWidget::keyPressEvent(e);
}

void CTabDlg::ForwardMouse(QMouseEvent *e)
{
    QWidget *main = window();
    if (!main || main == this)
        return;
    const QPointF pos = main->mapFromGlobal(e->globalPosition());
    QMouseEvent forwarded(e->type(), pos, pos, e->globalPosition(), e->button(), e->buttons(),
                          e->modifiers());
    QCoreApplication::sendEvent(main, &forwarded);
}

void CTabDlg::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        m_focusButton->setFocus(Qt::MouseFocusReason);
    ForwardMouse(e);
}

void CTabDlg::mouseMoveEvent(QMouseEvent *e)
{
    ForwardMouse(e);
}

void CTabDlg::mouseReleaseEvent(QMouseEvent *e)
{
    ForwardMouse(e);
}

void CTabDlg::wheelEvent(QWheelEvent *e)
{
    ScrollTo(m_position + WheelChange(e->angleDelta().y(), m_position, m_extra, m_line));
    e->accept();
}

bool CTabDlg::eventFilter(QObject *watched, QEvent *e)
{
    // The wheel scrolls the tab wherever the pointer is, as it did with the focus on the tab.
    if (e->type() == QEvent::Wheel && m_extra > 0) {
        wheelEvent(static_cast<QWheelEvent *>(e));
        return true;
    }
    if (e->type() == QEvent::Wheel)
        return true;
    return QWidget::eventFilter(watched, e);
}
