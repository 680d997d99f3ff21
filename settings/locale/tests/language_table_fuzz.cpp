// The language table parser on arbitrary bytes (with and without byte order mark), and GetText
// over what it stored.
#include "file/debug_log.h"
#include "locale/language_table.h"
#include "locale/texts.h"

#include <cstdint>

namespace {
class OneTable : public LanguageTableStore
{
public:
    QByteArray bytes;
    bool find(const QString &, QByteArray *table) const override
    {
        *table = bytes;
        return true;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    DebugLogCapture log;
    OneTable store;
    store.bytes = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
    TextCatalog texts(store);
    texts.SelectLanguage(QStringLiteral("fuzz"));
    for (const QString &message : log.messages()) {
        // every logged key is looked up again
        const qsizetype close = message.indexOf(QStringLiteral("] = "));
        if (message.startsWith('[') && close > 0)
            (void)texts.GetText(message.mid(1, close - 1));
    }
    (void)texts.GetText(QStringLiteral("IDS_STRING101"));
    return 0;
}
