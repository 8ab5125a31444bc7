// The template of the settings dialog: the quality slider with the preset's
// name and description, the custom profile box with its "Load" button, OK and
// Cancel.
#pragma once

#include "platform/win32_api.h"

extern const DialogTemplate SettingsDialog;
