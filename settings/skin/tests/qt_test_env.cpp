#include "qt_test_env.h"

#include "platform/tests/support/platform_test_support.h"
#include "skin/skin_image.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class QtEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        m_app = new QApplication(TestProgramArgc(), TestProgramArgv());
        LoadSkinFonts();
    }
    void TearDown() override
    {
        delete m_app;
        m_app = nullptr;
    }

private:
    QApplication *m_app = nullptr;
};

const ::testing::Environment *const kEnv = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

QRect DiffBox(const QImage &a, const QImage &b)
{
    QRect box;
    const QImage ra = a.convertToFormat(QImage::Format_RGB32);
    const QImage rb = b.convertToFormat(QImage::Format_RGB32);
    if (ra.size() != rb.size())
        return QRect(QPoint(0, 0), ra.size().expandedTo(rb.size()));
    for (int y = 0; y < ra.height(); ++y)
        for (int x = 0; x < ra.width(); ++x)
            if (ra.pixel(x, y) != rb.pixel(x, y))
                box |= QRect(x, y, 1, 1);
    return box;
}

QImage Shot(QWidget &w)
{
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void Settle()
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        RunPendingEvents();
    else
        QTest::qWait(150);
}

bool ShowAndWait(QWidget &w)
{
    w.show();
    const bool exposed = QTest::qWaitForWindowExposed(&w);
    Settle();
    return exposed;
}
