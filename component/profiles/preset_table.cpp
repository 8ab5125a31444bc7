#include "profiles/preset_table.h"

#include "resources/resource_ids.h"

const PresetRow BuiltInPresets[kBuiltInPresetCount] = {
    {"44kHz Stereo CBR 32kbps", "Please have mercy!", IDS_PROFILE_CBR_32K},
    {"44kHz Stereo CBR 48kbps", "FM Radio-Quality?", IDS_PROFILE_CBR_48K},
    {"44kHz Stereo CBR 64kbps", "CD-Quality? I hope not...", IDS_PROFILE_CBR_64K},
    {"44kHz Stereo CBR 80kbps", "A bit better...", IDS_PROFILE_CBR_80K},
    {"44kHz Stereo CBR 96kbps", "Possibly this codec's sweet-spot", IDS_PROFILE_CBR_96K},
    {"44kHz Stereo CBR 128kbps", "May I recommend LAME -b 128?", IDS_PROFILE_CBR_128K},
    {"44kHz Stereo CBR 160kbps", "Did I mention LAME?", IDS_PROFILE_CBR_160K},
    {"44kHz Stereo CBR 192kbps", "Use LAME!", IDS_PROFILE_CBR_192K},
    {"44kHz Stereo Lossless", "This _shouldn't_ sound too bad.", IDS_PROFILE_LOSSLESS},
};
