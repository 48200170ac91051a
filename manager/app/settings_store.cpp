// SettingsStore over the registry.
#include "manager/app/settings_store.h"
