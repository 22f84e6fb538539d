// Per-job folders under "./BurnJob/" (relative to the current directory) and the
// one check that keeps every path built from a job id inside its folder.
// Stateless; callable from any thread.
#pragma once

#include <QString>

// Whether a job id (or a file name derived from a message) may name a folder entry:
// not empty, not "." or "..", no path separator, no control character (and on
// Windows no ':').
bool IsSafeFolderName(const QString& _qstrName);

// Whether a destination path stays inside a job's folder once appended to it.
// Backslashes count as slashes. Refused: empty, a ".." part, a drive letter, a "//"
// share prefix, a control character. One leading "/" names the folder's root, as
// destinations on a disc do.
bool IsSafeRelativePath(const QString& _qstrPath);

// "./BurnJob/" + job id.
QString GetJobInfoDir(const QString& _qstrJobId);

// Writes one file of the job, replacing an earlier one; refusals and failures are
// logged under the caller's source name.
void WriteJobInfoFile(const char* _szLogSource, const QString& _qstrJobId, const QString& _qstrFileName,
                      const QString& _qstrContent);

// The content of one file of the job; empty when there is none or a name is unsafe.
QString ReadJobInfoFile(const QString& _qstrJobId, const QString& _qstrFileName);

// Removes the job's folder with everything in it.
void RemoveJobInfoDir(const char* _szLogSource, const QString& _qstrJobId);

// The gateway's writer: "BurnStatusReply" removes the job's folder, any other name is
// written as WriteJobInfoFile does; every line at the error level, under the caller's
// source name.
void SaveGatewayJobInfo(const char* _szLogSource, const QString& _qstrJobId, const QString& _qstrFileName,
                        const QString& _qstrContent);
