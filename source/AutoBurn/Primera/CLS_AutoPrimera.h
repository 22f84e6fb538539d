// Primera PTBurn backend (device kind 3): a publisher fed job request files through
// PTBurn's watched folder; everything it does is the shared publisher's, with its own
// vendor description. Process-wide singleton; bus threads.
#pragma once

#include <string>

#include "Publisher/CLS_AutoPublisher.h"
#include "Publisher/PublisherFolders.h"

class CLS_AutoPrimera : public CLS_AutoPublisher
{
    Q_OBJECT

public:
    // _strOrderDir: PTBurn's watched job folder with a trailing "/".
    explicit CLS_AutoPrimera(const std::string& _strOrderDir = PrimeraJobDir());
};
