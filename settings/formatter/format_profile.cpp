#include "formatter/format_profile.h"

const FormatProfile K420_Format = {&K420_Setting, "K420", ProgressScale::From10, 10, true, true, true, false};
const FormatProfile KZ7100_Format = {&KZ7100_Setting, "KZ7100", ProgressScale::From0, 0, false, false, false, true};

const FormatProfile &FormatProfileFor(const ModelProfile &model)
{
    return &model == &KZ7100_Setting ? KZ7100_Format : K420_Format;
}
