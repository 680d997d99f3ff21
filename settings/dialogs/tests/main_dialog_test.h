// What the main dialog's test files share: the fixture of the tests run for each build, and
// the skin's icon.
#pragma once

#include "dialog_test_env.h"
#include "skin/skin_image.h"

#include <QIcon>
#include <QImage>
#include <QMap>

#include <gtest/gtest.h>

class EachBuild : public ::testing::TestWithParam<BuildCase>
{
protected:
    const DialogProfile &Profile() const { return *GetParam().profile; }
};

// The skin's icon at every size it is drawn in.
inline QMap<int, QImage> IconImages()
{
    const QIcon icon = LoadIconResource(CQ7SettingDlg::kIconId);
    QMap<int, QImage> images;
    for (const QSize &size : icon.availableSizes())
        images[size.width()] = QImage(QStringLiteral(":/ICON/128/%1").arg(size.width()))
                                   .convertToFormat(QImage::Format_ARGB32);
    return images;
}
