// CTabDlg: what the four tabs of the main dialog share. A tab is a white child window of
// 600 x 437 pixels; its controls sit on a content widget that scrolls under the tab when the
// tab has an extra height. The tab keeps the keyboard focus on its focus button, swallows
// Escape, and hands its mouse presses, moves and releases to the main dialog so that the
// window can be dragged from anywhere.
#pragma once

#include "builds/dialog_profile.h"
#include "file/camera_settings.h"

#include <QFont>
#include <QHash>
#include <QList>
#include <QWidget>

class QAbstractButton;
class QLabel;
class QPainter;
class QPushButton;
class QScrollBar;
class QSlider;

// Scroll requests of the vertical scroll bar, as WM_VSCROLL names them.
enum ScrollRequest {
    kLineUp,
    kLineDown,
    kPageUp,
    kPageDown,
    kThumbPosition,
    kThumbTrack,
    kOtherRequest
};

// The change of the scroll position P for a request, clamped to 0..extra.
int ScrollChange(ScrollRequest request, int position, int extra, int line, int page, int thumb = 0);
// The change for a mouse wheel delta: only exactly +120 or -120 scrolls, by one line.
int WheelChange(int delta, int position, int extra, int line);

// Width rules of the dialog templates: n characters of text.
inline int TextWidth(const QString &text, int perChar, int extra)
{
    return int(text.size()) * perChar + extra;
}

// The controls of the recording section that the Continuous and Parking tabs both lay out:
// resolution, frame rate, quality and impact sensitivity, front row before rear row.
struct RecordingSectionIds {
    int resolutionHeading, resolutionFrontLabel, frontResolution[3];
    int resolutionRearLabel, rearResolution[2];
    int framesHeading, framesFrontLabel, frames[3], framesRearLabel, rearFrames[3];
    int qualityHeading, qualityFrontLabel, frontQuality[3], qualityRearLabel, rearQuality[3];
    int impactHeading, impactLowLabel, impact, impactHighLabel;
};

// The record's fields that a recording section shows and stores.
struct RecordingFields {
    int32_t *frontResolution, *rearResolution, *frontFrameRate, *rearFrameRate;
    int32_t *frontQuality, *rearQuality;
};

// The radio groups of a recording section, one per row; a tab's own groups follow them.
enum RecordingGroup {
    kFrontResolutionGroup,
    kRearResolutionGroup,
    kFramesGroup,
    kRearFramesGroup,
    kFrontQualityGroup,
    kRearQualityGroup,
    kRecordingGroupCount
};

class CTabDlg : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWidth = 600;
    static constexpr int kHeight = 437;
    static constexpr int kPage = 437;
    static constexpr int kScrollBarWidth = 17;

    // extraHeight 0: no scroll bar.
    CTabDlg(QWidget *parent, CameraSettings &settings, const DialogProfile &profile,
            int focusButtonId, int extraHeight, int lineStep);

    virtual void RefreshControls() = 0;

    // The control with this id (on the content widget), or null.
    QWidget *Control(int id) const { return m_controls.value(id); }
    template <class T> T *ControlAs(int id) const { return qobject_cast<T *>(Control(id)); }

    int ScrollPosition() const { return m_position; }
    int ExtraHeight() const { return m_extra; }
    QWidget *Content() const { return m_content; }
    QScrollBar *ScrollBar() const { return m_scrollBar; }
    QPushButton *FocusButton() const { return m_focusButton; }
    // Width of the client area: the tab less its scroll bar.
    int ClientWidth() const;

    // Applies a scroll request or wheel delta as the scroll bar's owner does.
    void Scroll(ScrollRequest request, int thumb = 0);
    void ScrollTo(int position);

protected:
    // Control factories: each control is a child of the content widget with its id.
    QLabel *AddLabel(int id, const QFont &font);
    QAbstractButton *AddRadio(int id, int group);
    QAbstractButton *AddCheck(int id);
    QPushButton *AddPushButton(int id);
    template <class T> T *AddControl(T *control, int id)
    {
        Register(control, id);
        return control;
    }
    void Register(QWidget *control, int id);

    // Sets a label's or button's text and geometry.
    void Place(int id, const QString &text, int x, int y, int width, int height);
    void PlaceAt(int id, int x, int y, int width, int height);
    // The text of string `number` at (x, y), n characters wide as TextWidth counts them.
    void PlaceText(int id, int number, int x, int y, int perChar, int extra, int height);
    // A heading at x = 15, 14 pixels high.
    void PlaceHeading(int id, int number, int y, int perChar = 6, int extra = 10);
    // A label, n x 6 + 10 wide and 13 high.
    void PlaceLabel(int id, int number, int x, int y);
    // A radio button, check box or push button of the template's width, or n x 6 + 20 wide
    // when it gives none.
    void PlaceButton(int id, int number, int x, int y, int width = 0, int height = 25);
    // The x just right of a control.
    int RightOf(int id) const;
    // The recording section: its radios in their groups; laid out with its resolution heading
    // at y = top; its radios set from the record (the value's radio, or under the K420 rule
    // the last of the row for any other value; for the frame rows the fallbacks say which,
    // -1 for none); a click on one of its radios stored.
    void AddRecordingRadios(const RecordingSectionIds &ids);
    void LayoutRecordingSection(const RecordingSectionIds &ids, int top);
    void CheckRecordingSection(const RecordingSectionIds &ids, const RecordingFields &fields,
                               int framesFallback, int rearFramesFallback);
    void StoreRecordingChoice(const RecordingSectionIds &ids, const RecordingFields &fields,
                              int id);
    QString Text(int number) const { return ModelText(m_profile.model, number); }

    // Radios: checks id and clears the others of its group.
    void CheckRadio(int id);
    void SetChecked(int id, bool checked);
    bool IsChecked(int id) const;
    // One radio of ids (values[i] for ids[i]): the exact match, or under the K420 rule the
    // last id for any other value (fallback says which id stands for the other values).
    void CheckByValue(const QList<int> &ids, const QList<int> &values, int value, int fallback);

    // Track bar position without a change notification (the refresh shows, it does not store).
    void SetTrackPos(QSlider *slider, int position);
    void SetTrackRange(QSlider *slider, int minimum, int maximum, int position);

    // A click on a radio, check box or push button.
    virtual void OnCommand(int id) = 0;
    // A track bar moved by the user.
    virtual void OnTrackBar(QSlider *, int) {}
    // Drawn on the content widget after its white background.
    virtual void PaintContent(QPainter &) {}

    // The one-pixel line in 0xC6B5A3 beside a heading, from `gap` pixels right of its box to 15
    // pixels before the client's right edge.
    void DrawHeadingLine(QPainter &p, int headingId, int gap);
    // A text under a track bar in the text font, 12 pixels high.
    void DrawTrackLabel(QPainter &p, QSlider *slider, int offset, const QString &text);

    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

    QSlider *NewTrackBar(int id, bool subSlider = false, int kind = 0);

    CameraSettings &m_settings;
    const DialogProfile &m_profile;
    QFont m_headingFont;
    QFont m_labelFont;
    QFont m_textFont;

private:
    friend class CTabContent;
    void ForwardMouse(QMouseEvent *e);
    void RadioClicked(QAbstractButton *button);

    QWidget *m_content;
    QScrollBar *m_scrollBar = nullptr;
    QPushButton *m_focusButton;
    QHash<int, QWidget *> m_controls;
    QHash<int, int> m_radioGroup; // radio id -> group
    int m_extra;
    int m_line;
    int m_position = 0;
};
