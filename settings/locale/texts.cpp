#include "locale/texts.h"

#include "file/camera_settings.h"
#include "locale/resources.h"
#include "platform/viewer.h"

#include <QDir>
#include <QFile>

namespace {
const QString kTextSection = QStringLiteral("TEXT");
}

bool ResourceLanguageTables::find(const QString &name, QByteArray *table) const
{
    InitSettingsResources();
    const QDir dir(QStringLiteral(":/language"));
    const QStringList entries = dir.entryList(QDir::Files);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        QFile file(dir.filePath(entry));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        *table = file.readAll();
        return true;
    }
    return false;
}

bool TextCatalog::SelectLanguage(const QString &name)
{
    m_loaded = false;
    m_primary.clear();
    m_fallback.clear();
    bool parsed = false;
    const QString names[2] = {name, QStringLiteral("english")};
    LanguageTable *tables[2] = {&m_primary, &m_fallback};
    for (int i = 0; i < 2; ++i) {
        if (names[i].isEmpty())
            continue;
        QByteArray bytes;
        if (!m_store.find(names[i], &bytes))
            return false;
        parsed = tables[i]->parse(bytes) || parsed;
    }
    if (!parsed)
        return false;
    m_loaded = true;
    m_language = name;
    return true;
}

QString TextCatalog::GetText(const QString &key) const
{
    if (!m_loaded)
        return QStringLiteral("Error Loading");
    QString text = m_primary.value(kTextSection, key);
    if (text.isEmpty())
        text = m_fallback.value(kTextSection, key);
    text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    text.replace(QStringLiteral("\\r"), QStringLiteral("\r"));
    return text;
}

TextCatalog &AppTexts()
{
    static const ResourceLanguageTables store;
    static TextCatalog catalog(store);
    return catalog;
}

bool SelectLanguage(const QString &name)
{
    return AppTexts().SelectLanguage(name);
}

QString GetText(const QString &key)
{
    return AppTexts().GetText(key);
}

QString ChooseLanguage(const CameraSettings &settings, const ViewerProbe &viewer)
{
    const QString value = viewer.languageValue();
    if (!value.isEmpty() && viewer.isRunning()) {
        return value.compare(QStringLiteral("french"), Qt::CaseInsensitive) == 0
                   ? QStringLiteral("french")
                   : QStringLiteral("english");
    }
    return settings.language != 0 ? QStringLiteral("french") : QStringLiteral("english");
}
