#pragma once

// CProgPopupDlg: a white popup with a text and a progress bar, shown while the memory card is
// formatted. The user cannot close it (Escape, Enter and the window's close are ignored);
// the worker ends it with CloseFromWorker() once the work is done.

#include <QDialog>
#include <QString>

#include <atomic>

class QLabel;
class QProgressBar;

class CProgPopupDlg : public QDialog
{
    Q_OBJECT
public:
    enum { kIdProgress = 1118, kIdText = 1120 };

    explicit CProgPopupDlg(QWidget *parent = nullptr);

    void SetPopup(const QString &caption, const QString &text, int width, int height);

    int Pos() const { return m_nPos; }
    // Sets the position (values above 100 are taken as 100, below 0 as 0) and the bar.
    void SetPos(int percent);

    // From any thread: closes the popup on the user-interface thread, after the progress
    // posted before it.
    void CloseFromWorker();

    void reject() override;

protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    QString m_strCaption;
    QString m_strText;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nPos = 0;
    bool m_bWorkerClose = false;
    QLabel *m_text;
    QProgressBar *m_bar;
};
