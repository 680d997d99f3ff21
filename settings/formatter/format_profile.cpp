#include "formatter/format_profile.h"

const FormatProfile K420_Format = {
    {TextSource::LanguageTables}, "K420", ProgressScale::From10, 10, true, true, true, false};
const FormatProfile KZ7100_Format = {
    {TextSource::StringTable}, "KZ7100", ProgressScale::From0, 0, false, false, false, true};
