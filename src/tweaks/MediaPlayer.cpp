#include "tweaks/Tweaks.h"

namespace {
// The same key, spelled two ways by different rows.
constexpr Key PREFS{"Software\\Microsoft\\MediaPlayer\\Preferences"};
constexpr Key PREFS_CAPS{"SOFTWARE\\Microsoft\\MediaPlayer\\Preferences"};
constexpr Key WMPPOLICY{"SOFTWARE\\Policies\\Microsoft\\WindowsMediaPlayer"};
constexpr Key POLICYPREFS{"SOFTWARE\\Policies\\Microsoft\\Preferences"};
} // namespace

// clang-format off
const TweakRow kMediaPlayerTweaks[8] = {
    {1003, "mediaplayer/disable-license-acquisition", "Disable Automatic License Acquisition", "Disable Media Player to acquire content-licenses automatically",
     {DwordIs(PREFS, "SilentAcquisition", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, PREFS, "SilentAcquisition", 0)},
     {Delete(HKCU, PREFS, "SilentAcquisition")}},
    {1004, "mediaplayer/import-as-mp3", "Import music as MP3", "Import Audio CDs as MP3 instead of WMA",
     {DwordIs(PREFS, "CDRecordMP3", NONE, HkcuFirst, 1), DwordIs(PREFS, "CDRecordMode", NONE, HkcuFirst, 1),
      DwordIs(PREFS, "MP3RecordRate", NONE, HkcuFirst, 128000)},
     {SetDword(HKCU, PREFS, "CDRecordMP3", 1), SetDword(HKCU, PREFS, "CDRecordMode", 1), SetDword(HKCU, PREFS, "MP3RecordRate", 128000)},
     {Delete(HKCU, PREFS, "CDRecordMP3"), Delete(HKCU, PREFS, "CDRecordMode"), Delete(HKCU, PREFS, "MP3RecordRate")}},
    {1006, "mediaplayer/dont-add-to-library", "Don't add Media to Library", "Don't add played media to the Media Library",
     {DwordIs(PREFS_CAPS, "AutoAddMusicToLibrary", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, PREFS_CAPS, "AutoAddMusicToLibrary", 0)},
     {Delete(HKCU, PREFS_CAPS, "AutoAddMusicToLibrary")}},
    {1007, "mediaplayer/disable-metadata-retrieval", "Disable Metadata Retrieval", "Disable online metadata retrieval (i.e. for Audio-CDs",
     {DwordIs(PREFS_CAPS, "MetadataRetrieval", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, PREFS_CAPS, "MetadataRetrieval", 0)},
     {Delete(HKCU, PREFS_CAPS, "MetadataRetrieval")}},
    {1008, "mediaplayer/disable-usage-tracking", "Disable Usage Tracking", "Disable usage-statistics being sent to Microsoft",
     {DwordIs(PREFS_CAPS, "UsageTracking", NONE, HkcuFirst, 0), DwordIs(PREFS_CAPS, "ForceUsageTracking", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, PREFS_CAPS, "UsageTracking", 0), SetDword(HKCU, PREFS_CAPS, "ForceUsageTracking", 0)},
     {Delete(HKCU, PREFS_CAPS, "UsageTracking"), Delete(HKCU, PREFS_CAPS, "ForceUsageTracking")}},
    {1011, "mediaplayer/dont-save-recent-files", "Don't save data in Most Recent Used", "Disables media getting added to the Most Recent Used filelist",
     {DwordIs(WMPPOLICY, "disableMRU", 0, HklmOnly, 1)},
     {SetDword(HKLM, WMPPOLICY, "disableMRU", 1)},
     {Delete(HKLM, WMPPOLICY, "disableMRU")}},
    {1012, "mediaplayer/disable-codec-downloads", "Disable Automatic Codec Downloads", "Disable automatic codec downloads",
     {DwordIs(POLICYPREFS, "UpgradeCodecPrompt", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, POLICYPREFS, "UpgradeCodecPrompt", 0)},
     {Delete(HKCU, POLICYPREFS, "UpgradeCodecPrompt")}},
    {1013, "mediaplayer/disable-drm-on-import", "Disable DRM for imported music", "Disable copy protection for imported WMA files",
     {DwordIs(PREFS, "CDRecordDRM", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, PREFS, "CDRecordDRM", 0)},
     {Delete(HKCU, PREFS, "CDRecordDRM")}},
};
// clang-format on
