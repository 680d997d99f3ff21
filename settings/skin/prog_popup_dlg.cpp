#include "skin/prog_popup_dlg.h"

#include "skin/control_id.h"
#include "skin/format_progress.h"
#include "skin/msg_popup_dlg.h"
#include "skin/skin_image.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>

#include <algorithm>

CProgPopupDlg::CProgPopupDlg(QWidget *parent) : QDialog(parent)
{
    // A caption without a close box: only the worker closes it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    SetPopupLook(this);
    m_text = new QLabel(this);
    m_text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    SetControlId(m_text, kIdText);
    m_bar = new QProgressBar(this);
    m_bar->setTextVisible(false);
    SetControlId(m_bar, kIdProgress);
}

void CProgPopupDlg::SetPopup(const QString &caption, const QString &text, int width, int height)
{
    m_strCaption = caption;
    m_strText = text;
    m_nWidth = width;
    m_nHeight = height;
    setFixedSize(width, height);
    setWindowTitle(caption);
    m_text->setText(ToQtLineBreaks(text));
    m_text->setGeometry(0, 28, width, CountLineBreaks(text) == 2 ? 50 : 40);
    m_bar->setGeometry(40, height - 70, width - 80, 30);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_nPos = 0;
}

void CProgPopupDlg::SetPos(int percent)
{
    m_nPos = std::clamp(percent, 0, 100);
    m_bar->setValue(m_nPos);
}

void CProgPopupDlg::CloseFromWorker()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_bWorkerClose = true;
            close();
        },
        Qt::QueuedConnection);
}

bool CProgPopupDlg::event(QEvent *e)
{
    if (e->type() == CFormatProgressEvent::kType) {
        SetPos(static_cast<CFormatProgressEvent *>(e)->Percent());
        return true;
    }
    return QDialog::event(e);
}

void CProgPopupDlg::keyPressEvent(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return;
    default:
        QDialog::keyPressEvent(e);
    }
}

void CProgPopupDlg::reject()
{
    if (m_bWorkerClose)
        done(2);
}

void CProgPopupDlg::closeEvent(QCloseEvent *e)
{
    if (!m_bWorkerClose) {
        e->ignore();
        return;
    }
    QDialog::closeEvent(e);
}
