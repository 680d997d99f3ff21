#include "locale/model_text.h"

#include "locale/string_table.h"
#include "locale/texts.h"

QString ModelText(const TextProfile &model, int number)
{
    if (model.textSource == TextSource::StringTable)
        return StringTableText(number);
    return GetText(QStringLiteral("IDS_STRING%1").arg(number));
}
