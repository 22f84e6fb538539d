// File operations the module shares: a copy that makes its folder, the probe of how
// far a job file dropped into a publisher's watched folder has come, and hiding a file.
// Stateless; callable from any thread.
#pragma once

#include <QString>

#include <string>

#ifdef CopyFile
#undef CopyFile  // windows.h maps it to CopyFileA/W
#endif

class CLS_OperateFile
{
public:
    // Replaces an existing destination and creates its folder when missing.
    static bool CopyFile(const std::string& _strSrcPath, const std::string& _strDesPath);

    // -1 unknown, 0 job file present, 1 taken (.rjd/.qrj), 2 in progress (.inf/.inp),
    // 3 done (.don), 4 error (.err), 5 stopped (.stp).
    static int GetJobFileState(const std::string& _strJobFilePath);

    // Gives the file the hidden attribute (outside Windows the DOS attributes that
    // Samba and Wine keep in "user.DOSATTRIB"); failures are only logged.
    static void HideFile(const QString& _qstrPath);
};
