// The settings tool's compiled-in resources (language tables, string table, time zone data)
// live in a static library; this registers them before the first lookup.
#pragma once

void InitSettingsResources();
