#include "locale/string_table.h"

#include "locale/resources.h"

#include <QFile>
#include <QStringList>

namespace {
// Text between the quotes starting at pos; false when it is not closed.
bool ParseQuoted(const QString &line, qsizetype pos, QString *out)
{
    out->clear();
    for (qsizetype i = pos + 1; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == '"') {
            if (i + 1 < line.size() && line[i + 1] == '"') {
                out->append('"');
                ++i;
                continue;
            }
            return true;
        }
        if (c == '\\' && i + 1 < line.size()) {
            const QChar e = line[++i];
            if (e == 'n')
                out->append('\n');
            else if (e == 'r')
                out->append('\r');
            else if (e == 't')
                out->append('\t');
            else
                out->append(e);
            continue;
        }
        out->append(c);
    }
    return false;
}
} // namespace

QMap<int, QString> ParseStringTable(const QByteArray &rcText)
{
    QMap<int, QString> table;
    bool inBlock = false;
    const QStringList lines = QString::fromUtf8(rcText).split('\n');
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line == QLatin1String("BEGIN") || line == QLatin1String("{")) {
            inBlock = true;
            continue;
        }
        if (line == QLatin1String("END") || line == QLatin1String("}")) {
            inBlock = false;
            continue;
        }
        if (!inBlock)
            continue;
        const qsizetype quote = line.indexOf('"');
        if (quote <= 0)
            continue;
        QString idText = line.left(quote).trimmed();
        if (idText.endsWith(','))
            idText.chop(1);
        bool ok = false;
        const int id = idText.trimmed().toInt(&ok);
        QString text;
        if (ok && ParseQuoted(line, quote, &text))
            table.insert(id, text);
    }
    return table;
}

QString StringTableText(int id)
{
    static const QMap<int, QString> table = [] {
        InitSettingsResources();
        QFile file(QStringLiteral(":/strings/kz7100_strings.rc"));
        return file.open(QIODevice::ReadOnly) ? ParseStringTable(file.readAll())
                                              : QMap<int, QString>();
    }();
    return table.value(id);
}
