// The component's resource table, registered with the platform under the
// module name so that LoadStringA and the dialog runtime find it.
#include "entry/component_resources.h"

#include "resources/profile_strings.h"
#include "resources/settings_dialog.h"

const ModuleResources* ComponentResources() {
    static const ModuleResources resources = {ProfileStrings(), kProfileStringCount,
                                              &SettingsDialog, 1};
    return &resources;
}
