// Where the disc publishers' watched folders are; shared by the Epson and Primera
// backends and the publisher simulator. Stateless; callable from any thread.
//
// Windows: the vendors' fixed folders "C:/EPSON/TDBridge/Orders/" and "C:/PTBurnJobs/".
// Elsewhere one setting moves both:
//
//   BURNMODULE_PUBLISHER_ROOT=<folder>
//     Epson orders (TDBridge)   <folder>/EPSON/TDBridge/Orders/
//     Primera jobs (PTBurn)     <folder>/PTBurnJobs/
//   unset or empty: <home>/BurnPublisher
//   a relative folder is taken from the process's current folder when read
//
// The jobs' work folders are <system temporary folder>/BurnFileTemp/<job id>/, where
// the system temporary folder follows TMPDIR (unset: /tmp).
#pragma once

#include <QString>

#include <string>

extern const char g_szPublisherRootVar[];  // "BURNMODULE_PUBLISHER_ROOT"

// The folder the setting names, or its default, absolute. Empty on Windows.
QString PublisherRoot();

// TDBridge's order folder, with a trailing "/".
std::string EpsonOrderDir();

// PTBurn's job folder, with a trailing "/".
std::string PrimeraJobDir();

// The same two folders under a root given explicitly, with a trailing "/".
QString EpsonOrderDirUnder(const QString& _qstrRoot);
QString PrimeraJobDirUnder(const QString& _qstrRoot);
