// The settings tool's compiled-in texts (language tables, string table) live in a static
// library; this registers them before the first lookup.
#pragma once

void InitSettingsResources();
