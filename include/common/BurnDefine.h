// The burn vocabulary shared by every layer: device kinds, job states, default
// ports and media tables. These numbers and texts travel in the JSON messages and
// the job store, so they are part of the module's external interface.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// Path and name constants shared by every source unit.
inline const QString g_qstrBackupDir = QStringLiteral("/Backup");
inline const QString g_qstrLogDir = QStringLiteral("/Log");
inline const QString g_qstrKestrelTempDir = QStringLiteral("/KestrelTemp");
inline const QString g_qstrClearIcon = QStringLiteral("ClearIcon");
inline const QString g_qstrExitProcess = QStringLiteral("ExitProcess");
inline const QString g_qstrKestrelBackupDir = QStringLiteral("/KestrelBackup");

// Device kind, carried as "BurnDev". Kinds 1 and 6 have no backend.
enum BurnDevType
{
    n_BurnDev_LocalCDRom = 0,
    n_BurnDev_Epson = 2,
    n_BurnDev_Primera = 3,
    n_BurnDev_Oda = 4,
    n_BurnDev_Hms = 5,
    n_BurnDev_Primera4200 = 7,
    n_BurnDev_HmsEx = 8,
    n_BurnDev_DMXTwelve = 9,
    n_BurnDev_DMXTwo = 10,
    n_BurnDev_DMXEight = 11,
};

// Job state, reported as "status" with the text of GetJobStatusText.
enum BurnJobState
{
    n_BurnJobState_Unknown = -1,
    n_BurnJobState_Waiting = 0,
    n_BurnJobState_PreProcess = 1,
    n_BurnJobState_Burning = 2,
    n_BurnJobState_Finished = 3,
    n_BurnJobState_Error = 4,
    n_BurnJobState_Paused = 5,
    n_BurnJobState_DiscError = 11,
    n_BurnJobState_Cancelled = 12,
};
// The twelve-drive robot's "waiting for discs"; polled on like any non-final state.
constexpr int n_BurnJobState_WaitDisc = 14;

// Port used when a device address arrives without one; kinds without a row have none.
inline const QMap<int, int> BurnDevDefaultPort = {
    {4, 8080}, {5, 8080}, {6, 6000}, {7, 6000}, {8, 8080}, {9, 1883}, {10, 1882}, {11, 1882},
};

// Media name -> class written into publisher job files (Epson, Primera job files).
inline const QMap<QString, QString> MediaClassMap = {
    {QStringLiteral("CD 700MB"), QStringLiteral("CD")},
    {QStringLiteral("DVD 4.7GB"), QStringLiteral("DVD")},
    {QStringLiteral("DVD DL 8.5GB"), QStringLiteral("DVD-DL")},
    {QStringLiteral("BD 25GB"), QStringLiteral("BD")},
    {QStringLiteral("BD DL 50GB"), QStringLiteral("BD-DL")},
};

// Media name -> code of the Primera burn service.
inline const QMap<QString, int> MediaCodeMap = {
    {QStringLiteral("CD 700MB"), 1},     {QStringLiteral("DVD 4.7GB"), 2},
    {QStringLiteral("DVD DL 8.5GB"), 3}, {QStringLiteral("BD 25GB"), 4},
    {QStringLiteral("BD DL 50GB"), 5},   {QStringLiteral("BD TL 100GB"), 6},
    {QStringLiteral("BD QL 128GB"), 7},
};

// Media name -> DMX "cdType"; each DMX backend keeps its own copy.
inline const QMap<QString, int> DMXMediaCodeMap = {
    {QStringLiteral("CD 700MB"), 1},     {QStringLiteral("DVD 4.7GB"), 2},
    {QStringLiteral("DVD DL 8.5GB"), 3}, {QStringLiteral("BD 25GB"), 4},
    {QStringLiteral("BD DL 50GB"), 5},   {QStringLiteral("BD XL 128GB"), 6},
    {QStringLiteral("BD TL 100GB"), 6},  {QStringLiteral("BD QL 128GB"), 7},
    {QStringLiteral("BD 200GB"), 8},
};

// The text of a job state, UTF-8.
QByteArray GetJobStatusText(int _iState);

// The default port of a device kind, 0 when it has none.
int GetBurnDevDefaultPort(int _iBurnDev);

// Whether a state ends the job: 3, 4, 12 and the unnamed 10.
bool IsFinalJobState(int _iState);
