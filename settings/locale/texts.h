// K420_Setting's texts: the chosen language table with English behind it, looked up by key
// ("IDS_STRING" and the text's number).
#pragma once

#include "locale/language_table.h"

#include <QByteArray>
#include <QString>

struct CameraSettings;
class ViewerProbe;

// Where the tables are found by name (names compare without regard to case).
class LanguageTableStore
{
public:
    virtual ~LanguageTableStore() = default;
    virtual bool find(const QString &name, QByteArray *table) const = 0;
};

// The program's own tables, compiled in as resources: ENGLISH, FRENCH, RUSSIA.
class ResourceLanguageTables : public LanguageTableStore
{
public:
    bool find(const QString &name, QByteArray *table) const override;
};

class TextCatalog
{
public:
    explicit TextCatalog(const LanguageTableStore &store) : m_store(store) {}

    // Parses name into the primary table and "english" into the fallback. False, with every
    // text reading "Error Loading", when a named table does not exist or neither parsed.
    bool SelectLanguage(const QString &name);
    QString GetText(const QString &key) const;

    bool loaded() const { return m_loaded; }
    const QString &language() const { return m_language; }

private:
    const LanguageTableStore &m_store;
    LanguageTable m_primary;
    LanguageTable m_fallback;
    bool m_loaded = false;
    QString m_language;
};

// The process-wide selection over the program's resources, as the dialogs use it.
TextCatalog &AppTexts();
bool SelectLanguage(const QString &name);
QString GetText(const QString &key);

// "english" or "french": the running viewer's LANGUAGE value when it gives one, otherwise the
// record's language field.
QString ChooseLanguage(const CameraSettings &settings, const ViewerProbe &viewer);
