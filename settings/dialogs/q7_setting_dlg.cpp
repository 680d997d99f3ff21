#include "dialogs/q7_setting_dlg.h"

#include "dialogs/common_dlg.h"
#include "dialogs/etc_dlg.h"
#include "dialogs/normal_dlg.h"
#include "dialogs/parking_dlg.h"
#include "file/debug_log.h"
#include "locale/texts.h"
#include "platform/card.h"
#include "platform/platform.h"
#include "platform/viewer.h"
#include "skin/rbutton.h"
#include "skin/rstatic_text.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace {
const SkinTextStyle kTitleStyle{QString(), 0xE9DFD6, 0xFFFFFF, 0xFFFFFF, 14, 0};
const SkinTextStyle kTabStyle{QString(), 0xB19477, 0xB19477, 0xFFFFFF, 14, 1};
const SkinTextStyle kButtonStyle{QString(), 0xC8BBB0, 0xFFFFFF, 0xFFFFFF, 14, 1};
const QRect kTabArea(QPoint(11, 85), QPoint(610, 521));

struct ButtonSpec {
    int id;
    QRect rect; // left, top, right, bottom as the table gives them (right and bottom outside)
    int text;   // 0: none
    int selected, normal, hover, pressed;
    const SkinTextStyle *style;
};

QRect FromEdges(int l, int t, int r, int b)
{
    return QRect(l, t, r - l, b - t);
}

const ButtonSpec kButtons[9] = {
    {CQ7SettingDlg::kIdTabCommon, FromEdges(11, 48, 161, 85), 102, 146, 143, 144, 145, &kTabStyle},
    {CQ7SettingDlg::kIdTabNormal, FromEdges(161, 48, 311, 85), 103, 150, 147, 148, 149, &kTabStyle},
    {CQ7SettingDlg::kIdTabParking, FromEdges(311, 48, 461, 85), 104, 150, 147, 148, 149,
     &kTabStyle},
    {CQ7SettingDlg::kIdTabEtc, FromEdges(461, 48, 611, 85), 105, 154, 151, 152, 153, &kTabStyle},
    {CQ7SettingDlg::kIdMinimize, FromEdges(548, 0, 577, 26), 0, 0, 155, 156, 157, nullptr},
    {CQ7SettingDlg::kIdClose, FromEdges(577, 0, 606, 26), 0, 0, 158, 159, 160, nullptr},
    {CQ7SettingDlg::kIdInitialize, FromEdges(8, 546, 229, 575), 106, 0, 161, 162, 163,
     &kButtonStyle},
    {CQ7SettingDlg::kIdCancel, FromEdges(410, 546, 510, 575), 107, 0, 161, 162, 163, &kButtonStyle},
    {CQ7SettingDlg::kIdSave, FromEdges(514, 546, 614, 575), 108, 0, 161, 162, 163, &kButtonStyle},
};
} // namespace

CQ7SettingDlg::CQ7SettingDlg(const QString &cardFolder, const DialogProfile &profile,
                             QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowMinimizeButtonHint),
      m_profile(profile), m_cardFolder(cardFolder), m_programPath(platform::ProgramFilePath()),
      m_isRemovable([](const QString &path) { return platform::IsRemovableDrive(path); }),
      m_localAppData(platform::LocalAppDataFolder()), m_start(StartDetached),
      m_viewer(&platform::Viewer())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CQ7SettingDlg::~CQ7SettingDlg() = default;

void CQ7SettingDlg::SetRelocation(std::function<bool(const QString &)> isRemovable,
                                  const QString &localAppData, ProgramStarter start)
{
    m_isRemovable = std::move(isRemovable);
    m_localAppData = localAppData;
    m_start = std::move(start);
}

bool CQ7SettingDlg::Relocate()
{
    m_programFolder = QFileInfo(m_programPath).absolutePath();
    if (!m_programFolder.endsWith(QLatin1Char('/')))
        m_programFolder += QLatin1Char('/');
    if (!m_isRemovable || !m_isRemovable(m_programFolder))
        return false;
    m_relocatedPath = RelocateProgram(m_programPath, m_programFolder, m_localAppData, m_start);
    return !m_relocatedPath.isEmpty();
}

bool CQ7SettingDlg::Init()
{
    // The language is chosen from the viewer and the record once the record is loaded; the
    // viewer's registry value is read by that choice.
    setWindowIcon(LoadIconResource(kIconId));
    if (Relocate())
        return false;
    DebugLog(QStringLiteral("Setting Dialog Init Start"));
    m_settings = std::make_unique<CameraSettings>();
    ClearSettings(*m_settings);

    setFixedSize(kWindowWidth, kWindowHeight);
    move(0, 0);
    m_client = rect();

    if (m_profile.selectsLanguage) {
        if (m_cardFolder.isEmpty())
            return false;
        LoadAndRefresh();
        return true;
    }
    CreateControls();
    CreateTabs();
    if (m_cardFolder.isEmpty())
        return false;
    LoadAndRefresh();
    return true;
}

void CQ7SettingDlg::LoadAndRefresh()
{
    if (!LoadSettings(*m_settings, SettingsPath())) {
        DebugLog(QStringLiteral("Setting Dialog Init Default Values"));
        ResetSettings(*m_settings, m_profile.model);
    }
    if (m_profile.selectsLanguage)
        SelectLanguage(ChooseLanguage(*m_settings, *m_viewer));
    DebugLog(QStringLiteral("Setting Dialog Update"));
    if (m_profile.selectsLanguage) {
        CreateControls();
        CreateTabs();
    }
    RefreshAll();
    DebugLog(QStringLiteral("Setting Dialog Completed"));
}

void CQ7SettingDlg::CreateControls()
{
    setWindowTitle(ModelText(m_profile.model, 101));
    m_titleFont = CreateSkinFont(14, 700, QStringLiteral("돋움"));
    m_background = SkinCanvas(m_client.width(), m_client.height());
    DrawNinePatch(m_background, 501);

    m_title = new CRStaticText(FromEdges(11, 7, 411, 27), this, kIdTitle);
    SkinTextStyle title = kTitleStyle;
    title.text = ModelText(m_profile.model, 101);
    m_title->SetText(&title, m_titleFont, &m_background);
    m_title->show();

    for (int i = 0; i < 9; ++i) {
        const ButtonSpec &b = kButtons[i];
        auto *button = new CRButton(b.rect, this, b.id);
        if (b.selected)
            button->SetSelectedImage(b.selected);
        if (b.style) {
            SkinTextStyle style = *b.style;
            style.text = ModelText(m_profile.model, b.text);
            button->SetNinePatchImages(&style, b.normal, b.hover, b.pressed, &m_background);
        } else {
            button->SetImages(b.normal, b.hover, b.pressed, &m_background);
        }
        button->show();
        m_buttons[i] = button;
    }
    for (int i = 0; i < 4; ++i) {
        m_buttons[i]->SetState(i == 0 ? CRButton::kSelected : CRButton::kNormal);
        m_buttons[i]->SetSticky(i == 0);
    }
}

void CQ7SettingDlg::CreateTabs()
{
    DebugLog(QStringLiteral("Setting Dialog Init Tab"));
    CameraSettings &s = *m_settings;
    m_tabs[0] = new CCommonDlg(this, s, m_profile);
    m_tabs[1] = new CNormalDlg(this, s, m_profile);
    m_tabs[2] = new CParkingDlg(this, s, m_profile);
    auto *etc = new CEtcDlg(this, s, m_profile);
    etc->Job().cardFolder = m_cardFolder;
    etc->Job().programFile = m_programPath;
    m_tabs[3] = etc;
    for (int i = 0; i < 4; ++i) {
        m_tabs[i]->move(kTabArea.topLeft());
        m_tabs[i]->setVisible(i == 0);
    }
}

void CQ7SettingDlg::RefreshAll()
{
    for (CTabDlg *tab : m_tabs)
        if (tab)
            tab->RefreshControls();
}

CTabDlg *CQ7SettingDlg::Tab(int index) const
{
    return index >= 0 && index < 4 ? m_tabs[index] : nullptr;
}

int CQ7SettingDlg::CurrentTab() const
{
    for (int i = 0; i < 4; ++i)
        if (m_tabs[i] && !m_tabs[i]->isHidden())
            return i;
    return -1;
}

CRButton *CQ7SettingDlg::Button(int id) const
{
    for (CRButton *b : m_buttons)
        if (b && b->Id() == id)
            return b;
    return nullptr;
}

void CQ7SettingDlg::SelectTab(int index)
{
    for (int i = 0; i < 4; ++i) {
        m_buttons[i]->SetState(i == index ? CRButton::kSelected : CRButton::kNormal);
        m_buttons[i]->SetSticky(i == index);
    }
    for (int i = 0; i < 4; ++i)
        if (i != index)
            m_tabs[i]->hide();
    m_tabs[index]->show();
}

void CQ7SettingDlg::CloseDialog(int result)
{
    // Each pointer is cleared as it is freed, so closing twice is harmless.
    for (CTabDlg *&tab : m_tabs) {
        delete tab;
        tab = nullptr;
    }
    m_settings.reset();
    done(result);
}

void CQ7SettingDlg::OnCommand(int id)
{
    switch (id) {
    case kIdTabCommon:
    case kIdTabNormal:
    case kIdTabParking:
    case kIdTabEtc:
        if (m_tabs[id - kIdTabCommon])
            SelectTab(id - kIdTabCommon);
        break;
    case kIdMinimize:
        showMinimized();
        break;
    case kIdClose:
    case kIdCancel:
        CloseDialog(QDialog::Rejected);
        break;
    case kIdInitialize:
        if (!m_settings)
            break;
        ResetSettings(*m_settings, m_profile.model);
        RefreshAll();
        break;
    case kIdSave:
        if (m_settings)
            SaveSettings(*m_settings, SettingsPath(), m_profile.model);
        CloseDialog(QDialog::Accepted);
        break;
    default:
        break;
    }
}

bool CQ7SettingDlg::event(QEvent *e)
{
    if (e->type() == CCommandEvent::EventType()) {
        OnCommand(static_cast<CCommandEvent *>(e)->Id());
        return true;
    }
    return QDialog::event(e);
}

void CQ7SettingDlg::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (m_background.IsValid())
        p.drawImage(0, 0, m_background.image);
    p.fillRect(kTabArea, Qt::white);
}

void CQ7SettingDlg::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton) {
        m_dragOffset = e->globalPosition().toPoint() - pos();
        m_dragging = true;
        m_systemMove = false;
    }
    QDialog::mousePressEvent(e);
}

void CQ7SettingDlg::mouseMoveEvent(QMouseEvent *e)
{
    // A move with the left button held drags the window, as its caption would. Without a window
    // manager that moves it (a bare X server, the offscreen platform) the window follows the
    // pointer itself.
    if ((e->buttons() & Qt::LeftButton) && m_dragging && !m_systemMove) {
        if (windowHandle() && windowHandle()->startSystemMove()) {
            m_systemMove = true;
            m_dragging = false;
        } else {
            move(e->globalPosition().toPoint() - m_dragOffset);
        }
    }
    QDialog::mouseMoveEvent(e);
}

void CQ7SettingDlg::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton) {
        m_dragging = false;
        m_systemMove = false;
    }
    QDialog::mouseReleaseEvent(e);
}
