#include "formatter/qt_format_ui.h"

#include "skin/prog_popup_dlg.h"

#include <QMessageBox>
#include <QMetaObject>
#include <QTimer>

namespace {

QString QtLines(const QString &text)
{
    QString t = text;
    t.replace("\r\n", "\n");
    return t.trimmed();
}

} // namespace

CQtFormatUi::~CQtFormatUi()
{
    delete m_popup;
}

bool CQtFormatUi::AskYesNo(const QString &caption, const QString &text)
{
    return QMessageBox::question(m_owner, caption, QtLines(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void CQtFormatUi::ShowMessage(const QString &caption, const QString &text)
{
    QMessageBox::information(m_owner, caption, QtLines(text), QMessageBox::Ok);
}

void CQtFormatUi::CreatePopup(const QString &caption, const QString &text, int width, int height)
{
    DestroyPopup();
    m_popup = new CProgPopupDlg(m_owner);
    m_popup->SetPopup(caption, text, width, height);
}

void CQtFormatUi::RunPopup(const std::function<void()> &shown)
{
    // Runs inside the modal loop, once the window is up.
    QTimer::singleShot(0, m_popup, shown);
    m_popup->exec();
}

void CQtFormatUi::DestroyPopup()
{
    delete m_popup;
    m_popup = nullptr;
}

QObject *CQtFormatUi::PopupWindow()
{
    return m_popup;
}

void CQtFormatUi::SetPopupPos(int percent)
{
    CProgPopupDlg *popup = m_popup;
    QMetaObject::invokeMethod(
        popup, [popup, percent] { popup->SetPos(percent); }, Qt::QueuedConnection);
}

void CQtFormatUi::ClosePopup()
{
    m_popup->CloseFromWorker();
}

void CQtFormatUi::ShowWorkerMessage(const QString &caption, const QString &text)
{
    // The worker waits for the box as it waited for MessageBoxW.
    CProgPopupDlg *popup = m_popup;
    QMetaObject::invokeMethod(
        popup,
        [popup, caption, text] {
            QMessageBox::information(popup, caption, QtLines(text), QMessageBox::Ok);
        },
        Qt::BlockingQueuedConnection);
}
