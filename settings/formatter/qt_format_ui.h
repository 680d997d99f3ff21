// The format procedure's windows in the settings tool: the skin's progress popup and standard
// message boxes, owned by the tab that starts the format.
#pragma once

#include "formatter/card_format.h"

#include <QPointer>

class CProgPopupDlg;
class QWidget;

class CQtFormatUi : public FormatUi
{
public:
    explicit CQtFormatUi(QWidget *owner) : m_owner(owner) {}
    ~CQtFormatUi() override;

    bool AskYesNo(const QString &caption, const QString &text) override;
    void ShowMessage(const QString &caption, const QString &text) override;
    void CreatePopup(const QString &caption, const QString &text, int width, int height) override;
    void RunPopup(const std::function<void()> &shown) override;
    void DestroyPopup() override;
    QObject *PopupWindow() override;
    void SetPopupPos(int percent) override;
    void ClosePopup() override;
    void ShowWorkerMessage(const QString &caption, const QString &text) override;

    // The current progress popup (none between formats).
    CProgPopupDlg *Popup() const { return m_popup; }

private:
    QWidget *m_owner;
    CProgPopupDlg *m_popup = nullptr;
};
