#pragma once

// CSubSlider: a track bar whose tooltip shows the setting the position stands for (hours,
// volts, sensitivity) instead of the bare position.

#include <QSlider>
#include <QString>

class CSubSlider : public QSlider
{
    Q_OBJECT
public:
    enum Kind {
        kPosition = 0,
        kStopTimer = 1,
        kCutoff12V = 2,
        kCutoff24V = 3,
        kMotionSensitivity = 4
    };

    explicit CSubSlider(QWidget *parent = nullptr);

    void SetValueKind(int kind) { m_nValueKind = kind; }
    int ValueKind() const { return m_nValueKind; }
    // The position that stands for the table's first entry: 0, or 1 for a track bar that counts
    // its positions from 1.
    void SetFirstPosition(int position) { m_firstPosition = position; }

    // The tooltip text for the current position.
    QString ToolTipText() const;
    static QString ToolTipText(int kind, int position);

private:
    void ShowValueTip();

    int m_nValueKind = 0;
    int m_firstPosition = 0;
};
