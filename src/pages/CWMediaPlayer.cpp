#include "pages/CWMediaPlayer.h"

#include "resource.h"

namespace {
// The same key, spelled two ways by different rows.
constexpr char PREFS[] = "Software\\Microsoft\\MediaPlayer\\Preferences";
constexpr char PREFS_CAPS[] = "SOFTWARE\\Microsoft\\MediaPlayer\\Preferences";
constexpr char WMPPOLICY[] = "SOFTWARE\\Policies\\Microsoft\\WindowsMediaPlayer";
constexpr char POLICYPREFS[] = "SOFTWARE\\Policies\\Microsoft\\Preferences";
constexpr DWORD NONE = 0xFFFFFFFF; // the default that no condition of this page accepts
} // namespace

// clang-format off
const TweakRow CWMediaPlayer::kTweaks[8] = {
    {1003, "Disable Automatic License Acquisition", "Disable Media Player to acquire content-licenses automatically",
     {DwordIs(PREFS, "SilentAcquisition", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, PREFS, "SilentAcquisition", 0)},
     {Delete(HKCU, PREFS, "SilentAcquisition")}},
    {1004, "Import music as MP3", "Import Audio CDs as MP3 instead of WMA",
     {DwordIs(PREFS, "CDRecordMP3", NONE, HkcuFirst, 1), DwordIs(PREFS, "CDRecordMode", NONE, HkcuFirst, 1),
      DwordIs(PREFS, "MP3RecordRate", NONE, HkcuFirst, 128000)},
     {SetDword(HKCU, PREFS, "CDRecordMP3", 1), SetDword(HKCU, PREFS, "CDRecordMode", 1), SetDword(HKCU, PREFS, "MP3RecordRate", 128000)},
     {Delete(HKCU, PREFS, "CDRecordMP3"), Delete(HKCU, PREFS, "CDRecordMode"), Delete(HKCU, PREFS, "MP3RecordRate")}},
    {1006, "Don't add Media to Library", "Don't add played media to the Media Library",
     {DwordIs(PREFS_CAPS, "AutoAddMusicToLibrary", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, PREFS_CAPS, "AutoAddMusicToLibrary", 0)},
     {Delete(HKCU, PREFS_CAPS, "AutoAddMusicToLibrary")}},
    {1007, "Disable Metadata Retrieval", "Disable online metadata retrieval (i.e. for Audio-CDs",
     {DwordIs(PREFS_CAPS, "MetadataRetrieval", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, PREFS_CAPS, "MetadataRetrieval", 0)},
     {Delete(HKCU, PREFS_CAPS, "MetadataRetrieval")}},
    {1008, "Disable Usage Tracking", "Disable usage-statistics being sent to Microsoft",
     {DwordIs(PREFS_CAPS, "UsageTracking", NONE, HkcuFirst, 0), DwordIs(PREFS_CAPS, "ForceUsageTracking", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, PREFS_CAPS, "UsageTracking", 0), SetDword(HKCU, PREFS_CAPS, "ForceUsageTracking", 0)},
     {Delete(HKCU, PREFS_CAPS, "UsageTracking"), Delete(HKCU, PREFS_CAPS, "ForceUsageTracking")}},
    {1011, "Don't save data in Most Recent Used", "Disables media getting added to the Most Recent Used filelist",
     {DwordIs(WMPPOLICY, "disableMRU", 0, HklmOnly, 1)},
     {SetDword(HKLM, WMPPOLICY, "disableMRU", 1)},
     {Delete(HKLM, WMPPOLICY, "disableMRU")}},
    {1012, "Disable Automatic Codec Downloads", "Disable automatic codec downloads",
     {DwordIs(POLICYPREFS, "UpgradeCodecPrompt", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, POLICYPREFS, "UpgradeCodecPrompt", 0)},
     {Delete(HKCU, POLICYPREFS, "UpgradeCodecPrompt")}},
    {1013, "Disable DRM for imported music", "Disable copy protection for imported WMA files",
     {DwordIs(PREFS, "CDRecordDRM", NONE, HkcuFirst, 0)},
     {SetDword(HKCU, PREFS, "CDRecordDRM", 0)},
     {Delete(HKCU, PREFS, "CDRecordDRM")}},
};
// clang-format on

CWMediaPlayer::CWMediaPlayer(CWnd* pParent) : CTweakPage(IDD_MEDIAPLAYER, pParent, kTweaks) {}

void CWMediaPlayer::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, 1003, m_chkNoLicenseAcquisition);
    DDX_Control(pDX, 1004, m_chkImportMp3);
    DDX_Control(pDX, 1006, m_chkNoAutoAddToLibrary);
    DDX_Control(pDX, 1007, m_chkNoMetadata);
    DDX_Control(pDX, 1008, m_chkNoUsageTracking);
    DDX_Control(pDX, 1011, m_chkNoMru);
    DDX_Control(pDX, 1012, m_chkNoCodecDownloads);
    DDX_Control(pDX, 1013, m_chkNoDrm);
}

BEGIN_MESSAGE_MAP(CWMediaPlayer, CTweakPage)
ON_TWEAK_CLICKED(1003)
ON_TWEAK_CLICKED(1004)
ON_TWEAK_CLICKED(1006)
ON_TWEAK_CLICKED(1007)
ON_TWEAK_CLICKED(1008)
ON_TWEAK_CLICKED(1011)
ON_TWEAK_CLICKED(1012)
ON_TWEAK_CLICKED(1013)
END_MESSAGE_MAP()
