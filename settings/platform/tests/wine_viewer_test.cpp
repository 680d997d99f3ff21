#include "locale/tests/xvfb_server.h"
#include "platform/linux/wine_viewer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

class EnvGuard
{
public:
    explicit EnvGuard(const char *name) : m_name(name), m_had(qEnvironmentVariableIsSet(name))
    {
        m_old = qgetenv(name);
    }
    ~EnvGuard()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

void WriteSystemReg(const QString &prefix, const QByteArray &body)
{
    QFile f(prefix + "/system.reg");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n");
    f.write(body);
}

TEST(WineViewerProbe, LanguageFromThePrefixRegistry)
{
    EnvGuard guard("WINEPREFIX");
    const struct {
        const char *name;
        QByteArray body;
        const char *value;
    } cases[] = {
        {"plain", "[Software\\\\KESTRAVON] 1700000000\n#time=1\n\"LANGUAGE\"=\"FRENCH\"\n",
         "FRENCH"},
        {"caseOfNames", "[SOFTWARE\\\\Kestravon] 1\n\"language\"=\"russian\"\n", "russian"},
        {"wow64", "[Software\\\\Wow6432Node\\\\KESTRAVON] 1\n\"LANGUAGE\"=\"french\"\n", "french"},
        {"otherKey", "[Software\\\\Other] 1\n\"LANGUAGE\"=\"french\"\n", ""},
        {"noValue", "[Software\\\\KESTRAVON] 1\n\"Other\"=\"x\"\n", ""},
        {"dword", "[Software\\\\KESTRAVON] 1\n\"LANGUAGE\"=dword:00000001\n", ""},
        {"tooLong", "[Software\\\\KESTRAVON] 1\n\"LANGUAGE\"=\"" + QByteArray(130, 'f') + "\"\n",
         ""},
        {"longest", "[Software\\\\KESTRAVON] 1\n\"LANGUAGE\"=\"" + QByteArray(129, 'f') + "\"\n",
         "fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"
         "ffffffffffffffffffffffffffffffffffffffffffff"},
    };
    for (const auto &c : cases) {
        QTemporaryDir prefix;
        ASSERT_TRUE(prefix.isValid());
        WriteSystemReg(prefix.path(), c.body);
        qputenv("WINEPREFIX", prefix.path().toUtf8());
        EXPECT_EQ(WineViewerProbe().languageValue(), c.value) << c.name;
    }
}

TEST(WineViewerProbe, NoPrefixMeansNoLanguage)
{
    EnvGuard guard("WINEPREFIX");
    QTemporaryDir empty;
    qputenv("WINEPREFIX", (empty.path() + "/missing").toUtf8());
    EXPECT_EQ(WineViewerProbe().languageValue(), "");
}

TEST(WineViewerProbe, DefaultPrefixIsHomeWine)
{
    EnvGuard guard("WINEPREFIX");
    qunsetenv("WINEPREFIX");
    EXPECT_EQ(WineViewerProbe::winePrefix(), QDir::homePath() + "/.wine");
}

TEST(WineViewerProbe, NoDisplayMeansNoViewer)
{
    EnvGuard guard("DISPLAY");
    qunsetenv("DISPLAY");
    EXPECT_FALSE(WineViewerProbe().isRunning());
    qputenv("DISPLAY", ":4097"); // no server there
    EXPECT_FALSE(WineViewerProbe().isRunning());
}

// A private X server: the probe must find the viewer's window by its exact title, as a direct
// child of the root and under a frame window, and nothing else.
class XServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        display = server.Start(&error);
        ASSERT_FALSE(display.isEmpty()) << error.toStdString();
        qputenv("DISPLAY", display);
        conn = xcb_connect(display.constData(), nullptr);
        ASSERT_EQ(xcb_connection_has_error(conn), 0);
        screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
    }
    void TearDown() override
    {
        if (conn)
            xcb_disconnect(conn);
    }
    xcb_window_t Window(xcb_window_t parent, const char *title)
    {
        const xcb_window_t w = xcb_generate_id(conn);
        xcb_create_window(conn, XCB_COPY_FROM_PARENT, w, parent, 0, 0, 100, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        if (title)
            xcb_change_property(conn, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING,
                                8, uint32_t(std::strlen(title)), title);
        xcb_flush(conn);
        return w;
    }
    EnvGuard guard{"DISPLAY"};
    XvfbServer server;
    QByteArray display;
    xcb_connection_t *conn = nullptr;
    xcb_screen_t *screen = nullptr;
};

TEST_F(XServer, FindsTheViewerWindowByItsTitle)
{
    EXPECT_FALSE(WineViewerProbe().isRunning());
    Window(screen->root, "KESTRAVON DASHCAM PC VIEWER - setup");
    Window(screen->root, "kestravon dashcam pc viewer");
    EXPECT_FALSE(WineViewerProbe().isRunning());
    const xcb_window_t frame = Window(screen->root, nullptr);
    Window(frame, kViewerWindowTitle);
    EXPECT_TRUE(WineViewerProbe().isRunning());
}

TEST_F(XServer, FindsATopLevelWindow)
{
    const xcb_window_t w = Window(screen->root, kViewerWindowTitle);
    EXPECT_TRUE(WineViewerProbe().isRunning());
    xcb_destroy_window(conn, w);
    xcb_flush(conn);
    free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
    EXPECT_FALSE(WineViewerProbe().isRunning());
}

} // namespace
