#pragma once

// CMsgPopupDlg: a white yes-or-no question with a caption and one or two lines of text.
// Y answers Yes (1), N answers No (2), Enter is Yes (the default button), Escape does nothing,
// closing the window is No.

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

class CMsgPopupDlg : public QDialog
{
    Q_OBJECT
public:
    enum { kIdYes = 1, kIdNo = 2, kIdText = 1501 };

    explicit CMsgPopupDlg(QWidget *parent = nullptr);

    // Caption, text (lines end in "\r\n") and the window size in pixels; lays the popup out.
    void SetPopup(const QString &caption, const QString &text, int width, int height);

    void reject() override;

protected:
    void keyPressEvent(QKeyEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    bool HandleKey(QKeyEvent *e);

    QString m_strCaption;
    QString m_strText;
    int m_nWidth = 0;
    int m_nHeight = 0;
    QLabel *m_text;
    QPushButton *m_yes;
    QPushButton *m_no;
};

// The number of "\r\n" pairs in `text`; two of them make the popups' text 50 pixels high.
int CountLineBreaks(const QString &text);
// Makes a popup white with its texts drawn on white.
void SetPopupLook(QWidget *popup);
