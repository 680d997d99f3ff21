// The main dialog on Linux: its icon in a real X session, and the relocation's card test on
// fake sysfs trees.
#include "dialog_test_env.h"
#include "main_dialog_test.h"

#include "dialogs/q7_setting_dlg.h"
#include "fake_system.h"
#include "file/debug_log.h"
#include "platform/card.h"
#include "xvfb_server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// The program in a real X session: its window's _NET_WM_ICON holds the icon at every size, as
// a window manager or a task bar reads it.
TEST_P(EachBuild, TheIconReachesTheXWindow)
{
    XvfbServer server;
    QString error;
    const QByteArray display = server.Start(&error);
    ASSERT_FALSE(display.isEmpty()) << error.toStdString();
    QTemporaryDir card;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", QString::fromLatin1(display));
    env.insert("QT_QPA_PLATFORM", "xcb");
    program.setProcessEnvironment(env);
    program.start(Profile().selectsLanguage ? QStringLiteral(K420_SETTING_PROGRAM)
                                            : QStringLiteral(KZ7100_SETTING_PROGRAM),
                  {card.path() + "/"});
    ASSERT_TRUE(program.waitForStarted());
    struct Stop {
        QProcess &p;
        ~Stop()
        {
            p.kill();
            p.waitForFinished();
        }
    } stop{program};

    xcb_connection_t *conn = xcb_connect(display.constData(), nullptr);
    ASSERT_EQ(xcb_connection_has_error(conn), 0);
    struct Disconnect {
        xcb_connection_t *c;
        ~Disconnect() { xcb_disconnect(c); }
    } disconnect{conn};
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(conn)).data->root;
    xcb_intern_atom_reply_t *atom =
        xcb_intern_atom_reply(conn, xcb_intern_atom(conn, 0, 12, "_NET_WM_ICON"), nullptr);
    ASSERT_NE(atom, nullptr);
    const xcb_atom_t netWmIcon = atom->atom;
    free(atom);

    // The icon property of the program's top-level window, once it is up.
    std::vector<uint32_t> data;
    for (int tries = 0; tries < 200 && data.empty(); ++tries) {
        QThread::msleep(100);
        xcb_query_tree_reply_t *tree =
            xcb_query_tree_reply(conn, xcb_query_tree(conn, root), nullptr);
        if (!tree)
            continue;
        const xcb_window_t *children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree) && data.empty(); ++i) {
            xcb_get_property_reply_t *p = xcb_get_property_reply(
                conn,
                xcb_get_property(conn, 0, children[i], netWmIcon, XCB_ATOM_CARDINAL, 0, 1 << 20),
                nullptr);
            if (p && p->format == 32 && xcb_get_property_value_length(p) > 0) {
                const auto *v = static_cast<const uint32_t *>(xcb_get_property_value(p));
                data.assign(v, v + xcb_get_property_value_length(p) / 4);
            }
            free(p);
        }
        free(tree);
    }
    ASSERT_FALSE(data.empty()) << "no window with _NET_WM_ICON";

    // Width, height and the ARGB pixels of each size in turn.
    const QMap<int, QImage> images = IconImages();
    QList<int> sizes;
    for (size_t at = 0; at + 2 <= data.size();) {
        const uint32_t w = data[at], h = data[at + 1];
        ASSERT_LE(at + 2 + size_t(w) * h, data.size());
        sizes << int(w);
        EXPECT_EQ(w, h);
        const QImage &want = images.value(int(w));
        ASSERT_FALSE(want.isNull()) << w;
        int differ = 0;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                differ += data[at + 2 + y * w + x] != want.pixel(int(x), int(y));
        EXPECT_EQ(differ, 0) << w;
        at += 2 + size_t(w) * h;
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, images.keys());
}

// The relocation asks the formatter's card test, so the tool moves off every card it may
// format: an SD card in a built-in reader calls itself not removable and is one all the same.
TEST(Relocation, TheToolMovesOffEveryCardItMayFormat)
{
    struct Case {
        const char *what;
        QString disk;
        bool removable;
        QString bus, type;
        bool moves;
    };
    const Case cases[] = {
        {"USB card reader", "sdb", true, "scsi", "0", true},
        {"SD card in a built-in reader", "mmcblk0", false, "mmc", "SD", true},
        {"soldered eMMC", "mmcblk1", false, "mmc", "MMC", false},
        {"NVMe disk", "nvme0n1", false, "nvme", "", false},
    };
    for (const Case &tc : cases) {
        SCOPED_TRACE(tc.what);
        FakeSystem sys;
        const QString card = QFileInfo(sys.root).canonicalFilePath() + "/card";
        const QString folder = card + "/SETTING/";
        ASSERT_TRUE(QDir().mkpath(folder));
        QFile program(folder + "K420_Setting");
        ASSERT_TRUE(program.open(QIODevice::WriteOnly));
        program.write("program bytes");
        program.close();
        sys.AddDisk(tc.disk, tc.removable, tc.bus, tc.type);
        sys.AddPartition(tc.disk, tc.disk + "p1", 179, 1);
        sys.AddMount(179, 1, card, "vfat", "/dev/" + tc.disk + "p1");
        EXPECT_EQ(platform::IsRemovableDrive(folder, sys.host), tc.moves);

        bool started = false;
        DebugLogCapture log;
        CQ7SettingDlg dlg(folder, K420_Dialogs);
        dlg.SetProgramPath(program.fileName());
        NoViewer viewer;
        dlg.SetViewerProbe(&viewer);
        dlg.SetRelocation(
            [&](const QString &f) { return platform::IsRemovableDrive(f, sys.host); },
            sys.root + "/local",
            [&](const QString &, const QStringList &, const QString &) { return started = true; });
        EXPECT_EQ(dlg.Init(), !tc.moves);
        EXPECT_EQ(started, tc.moves);
        EXPECT_EQ(QFileInfo::exists(sys.root + "/local/Orbilux/K420_Setting"), tc.moves);
    }
}

} // namespace
