#include "skin/msg_popup_dlg.h"

#include "skin/control_id.h"
#include "skin/skin_image.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

int CountLineBreaks(const QString &text)
{
    return text.count(QStringLiteral("\r\n"));
}

void SetPopupLook(QWidget *popup)
{
    QPalette pal = popup->palette();
    pal.setColor(QPalette::Window, Qt::white);
    popup->setPalette(pal);
    popup->setAutoFillBackground(true);
    // The dialog font of the Windows templates (8 points at 96 dpi).
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    popup->setFont(font);
}

CMsgPopupDlg::CMsgPopupDlg(QWidget *parent) : QDialog(parent)
{
    SetPopupLook(this);
    m_text = new QLabel(this);
    m_text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    SetControlId(m_text, kIdText);
    m_yes = new QPushButton(QStringLiteral("Yes(Y)"), this);
    SetControlId(m_yes, kIdYes);
    m_yes->setDefault(true);
    m_no = new QPushButton(QStringLiteral("No(N)"), this);
    SetControlId(m_no, kIdNo);
    connect(m_yes, &QPushButton::clicked, this, [this] { done(kIdYes); });
    connect(m_no, &QPushButton::clicked, this, [this] { done(kIdNo); });
    // The shortcuts work wherever the focus is, before a button sees the key.
    for (QWidget *w : {static_cast<QWidget *>(m_text), static_cast<QWidget *>(m_yes),
                       static_cast<QWidget *>(m_no)})
        w->installEventFilter(this);
    m_yes->setFocus();
}

void CMsgPopupDlg::SetPopup(const QString &caption, const QString &text, int width, int height)
{
    m_strCaption = caption;
    m_strText = text;
    m_nWidth = width;
    m_nHeight = height;
    setFixedSize(width, height);
    setWindowTitle(caption);
    m_text->setText(ToQtLineBreaks(text));
    m_text->setGeometry(0, 28, width, CountLineBreaks(text) == 2 ? 50 : 20);
    m_yes->setGeometry(width / 2 - 95, height - 60, 85, 25);
    m_no->setGeometry(width / 2 + 10, height - 60, 85, 25);
}

void CMsgPopupDlg::reject()
{
    // Closing the window answers No.
    done(kIdNo);
}

bool CMsgPopupDlg::HandleKey(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Escape:
        return true;
    case Qt::Key_N:
        done(kIdNo);
        return true;
    case Qt::Key_Y:
        done(kIdYes);
        return true;
    default:
        return false;
    }
}

void CMsgPopupDlg::keyPressEvent(QKeyEvent *e)
{
    if (!HandleKey(e))
        QDialog::keyPressEvent(e);
}

bool CMsgPopupDlg::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::KeyPress && HandleKey(static_cast<QKeyEvent *>(e)))
        return true;
    return QDialog::eventFilter(watched, e);
}
