// Reading and writing the settings.
#include "app/Config.h"

#include "app/Globals.h"
#include "app/MainFrm.h"
#include "platform/profile.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "retrieval/DestPath.h"
#include "retrieval/ProgressMath.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <strings.h>

// QBX_APP_ID, the desktop entry's id, comes from the build (one place for it).
#ifndef QBX_APP_ID
#error "QBX_APP_ID must be defined by the build"
#endif

namespace {

std::string ExecutableFolder()
{
    char module[MAX_PATH];
    if (GetModuleFileName(module, sizeof module) == 0) return "./";
    char drive[MAX_PATH], dir[MAX_PATH];
    SplitPath(module, drive, dir, nullptr, nullptr);
    std::string folder = std::string(drive) + dir;
    return folder.empty() ? "./" : folder;
}

std::string UserConfigFolder() { return GetUserConfigFolder("quillbox"); }

bool FolderIsWritable(const std::string& folder) { return FolderWritable(folder.c_str()) != FALSE; }

// The per-user file, and whether the settings live there rather than beside the
// executable: always for an installed copy, else when the executable's folder
// cannot be written.
bool UsesUserFile(const std::string& exeFolder)
{
    return IsInstalledCopy(exeFolder.c_str()) || !FolderIsWritable(exeFolder);
}

}  // namespace

bool IsInstalledCopy(const char* exeFolder)
{
    if (!exeFolder || !*exeFolder) return false;
    std::string folder = exeFolder;
    if (folder.back() != '/') folder += '/';
    // The system's own program folders hold installed programs only, entry or not.
    if (IsSystemProgramFolder(folder.c_str())) return true;
    // Otherwise only a bin/ folder of an installation tree counts: a build tree has no entry.
    constexpr std::string_view bin = "/bin/";
    if (folder.size() < bin.size() || folder.compare(folder.size() - bin.size(), bin.size(), bin) != 0) return false;
    std::string entry = folder + "../share/applications/" QBX_APP_ID ".desktop";
    return FileExists(entry.c_str()) != FALSE;
}

// The per-user settings file; empty when the user has no home folder (the settings
// are then neither read from nor written to any shared place).
std::string UserIniFile()
{
    const std::string folder = UserConfigFolder();
    return folder.empty() ? std::string() : folder + "Quillbox.ini";
}

std::string QuillboxIniReadPath()
{
    std::string exeFolder = ExecutableFolder();
    if (IsInstalledCopy(exeFolder.c_str())) return UserIniFile();
    if (FolderIsWritable(exeFolder)) return exeFolder + "Quillbox.ini";
    std::string user = UserIniFile();
    if (!user.empty() && FileExists(user.c_str())) return user;
    return exeFolder + "Quillbox.ini";
}

std::string QuillboxIniPath()
{
    std::string exeFolder = ExecutableFolder();
    return UsesUserFile(exeFolder) ? UserIniFile() : exeFolder + "Quillbox.ini";
}

std::string QuillboxIniWritePath()
{
    std::string exeFolder = ExecutableFolder();
    if (!UsesUserFile(exeFolder)) return exeFolder + "Quillbox.ini";
    std::string folder = UserConfigFolder();
    if (folder.empty()) return {};
    CreateUserFolder(folder);
    return folder + "Quillbox.ini";
}

// The settings' numbers are read like a file's size text: one reader for both.
int LeadingNumber(const char* text) { return ReadSizeText(text); }

void ReadQuillboxSettings(const char* file, QbxSettings& out)
{
    out = QbxSettings{};
    GetPrivateProfileString("NetInfo", "RemoteIP", "", out.szRemoteIP, sizeof out.szRemoteIP, file);
    GetPrivateProfileString("NetInfo", "RemotePort", "3102", out.szRemotePort, sizeof out.szRemotePort, file);
    char autoDelete[8];
    GetPrivateProfileString("QBXConfig", "AutoDelete", "yes", autoDelete, sizeof autoDelete, file);
    out.bAutoDelete = strcasecmp(autoDelete, "no") != 0;
    GetPrivateProfileString("MiscData", "SortBy", "", out.szSortBy, sizeof out.szSortBy, file);
    GetPrivateProfileString("MiscData", "SaveDir", "", out.szSaveDir, sizeof out.szSaveDir, file);

    // The sibling product's file, looked up in the system folder.
    char systemDir[MAX_PATH];
    GetWindowsDirectory(systemDir, sizeof systemDir);
    SetProfileSystemFolder(systemDir);
    out.szBindIP[0] = '\0';
    char fromIni[8];
    GetPrivateProfileString("IP", "IPFROMINI", "", fromIni, sizeof fromIni, "Halvern.ini");
    if (fromIni[0] != '\0') GetPrivateProfileString("IP", "IP", "", out.szBindIP, sizeof out.szBindIP, "Halvern.ini");

    out.nRemotePort = LeadingNumber(out.szRemotePort);
    GetPrivateProfileString("NetInfo", "ServiceName", "", out.szServiceName, sizeof out.szServiceName, file);
    GetPrivateProfileString("NetInfo", "ServiceUUID", "", out.szServiceUUID, sizeof out.szServiceUUID, file);
    GetPrivateProfileString("QBXConfig", "SettleTime", "", out.szSettleTime, sizeof out.szSettleTime, file);
    if (out.szSettleTime[0] != '\0' && !ParseSettleSeconds(out.szSettleTime, out.nSettleSeconds)) {
        // Never less protection than the default for a value that is not understood.
        out.nSettleSeconds = QBX_DEFAULT_SETTLE_SECONDS;
        out.bSettleTimeBad = TRUE;
    }
}

bool ParseSettleSeconds(const std::string& text, int& seconds)
{
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const int value = std::stoi(text);
    if (value > QBX_MAX_SETTLE_SECONDS) return false;
    seconds = value;
    return true;
}

void ApplyLanguageSetting(const char* iniFile, const char* language)
{
    char fromIni[32] = "";
    if (!language || !*language) {
        GetPrivateProfileString("QBXConfig", "Language", "", fromIni, sizeof fromIni, iniFile);
        language = fromIni;
    }
    SetResourceLanguage(language);
}

void CMainFrame::ReadConfiguration()
{
    std::string ini = QuillboxIniReadPath();
    QbxSettings s;
    ReadQuillboxSettings(ini.c_str(), s);
    static_assert(sizeof s.szRemoteIP == sizeof m_szRemoteIP && sizeof s.szRemotePort == sizeof m_szRemotePort &&
                  sizeof s.szSortBy == sizeof g_szSortBy && sizeof s.szSaveDir == sizeof m_szSaveDir &&
                  sizeof s.szBindIP == sizeof m_szBindIP);
    std::memcpy(m_szRemoteIP, s.szRemoteIP, sizeof m_szRemoteIP);
    std::memcpy(m_szRemotePort, s.szRemotePort, sizeof m_szRemotePort);
    g_bAutoDelete = s.bAutoDelete;
    std::memcpy(g_szSortBy, s.szSortBy, sizeof g_szSortBy);
    std::memcpy(m_szSaveDir, s.szSaveDir, sizeof m_szSaveDir);
    std::memcpy(m_szBindIP, s.szBindIP, sizeof m_szBindIP);
    m_nRemotePort = s.nRemotePort;
    m_nSettleMs = s.nSettleSeconds * 1000;
    if (s.bSettleTimeBad)
        TraceF("SettleTime \"%s\" is no number of seconds from 0 to %d; %d s used\n", s.szSettleTime,
               QBX_MAX_SETTLE_SECONDS, QBX_DEFAULT_SETTLE_SECONDS);
    static_assert(sizeof s.szServiceName == sizeof m_szServiceName && sizeof s.szServiceUUID == sizeof m_szServiceUUID);
    std::memcpy(m_szServiceName, s.szServiceName, sizeof m_szServiceName);
    std::memcpy(m_szServiceUUID, s.szServiceUUID, sizeof m_szServiceUUID);
}

void CMainFrame::WriteSettings()
{
    std::string ini = QuillboxIniWritePath();
    const char* file = ini.c_str();
    WritePrivateProfileString("NetInfo", "RemoteIP", m_szRemoteIP, file);
    WritePrivateProfileString("NetInfo", "RemotePort", m_szRemotePort, file);
    WritePrivateProfileString("MiscData", "SaveDir", m_szSaveDir, file);
    // Only once a printer was chosen from the network; an address typed by hand clears them.
    char had[2] = "";
    GetPrivateProfileString("NetInfo", "ServiceName", "", had, sizeof had, file);
    if (m_szServiceName[0] || had[0]) {
        WritePrivateProfileString("NetInfo", "ServiceName", m_szServiceName, file);
        WritePrivateProfileString("NetInfo", "ServiceUUID", m_szServiceUUID, file);
    }
}

void WriteSortBySetting()
{
    if (!g_bSortByChanged) return;
    std::string ini = QuillboxIniWritePath();
    WritePrivateProfileString("MiscData", "SortBy", g_szSortBy, ini.c_str());
}
