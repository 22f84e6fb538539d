// The blocking HTTP call through the bound HTTP client library, and small network
// and folder helpers. Stateless; callable from any thread.
#pragma once

#include <QJsonArray>
#include <QString>

// POSTs the body to http://host:port/path; the reply body, or empty on any failure.
// The timeout (seconds) is raised to at least 60.
QString Public__Webservice_Common(const QString& _qstrHost, int _iPort, const QString& _qstrPath,
                                  const QString& _qstrParam, int _iTimeout);

// The host's IPv4 addresses as text, loopback excluded.
QJsonArray GetLocalIPv4List();

// The folder of a file path, followed by "/".
QString GetFileDir(const QString& _qstrFilePath);

// Removes a folder with everything in it, when it exists.
void RemoveDirRecursive(const QString& _qstrDir);
