// What tells one disc publisher fed through a watched folder from another: the names,
// encoding and fields of its job files and the texts its backend answers with. Data
// only, one constant row per vendor; read by the publisher backends and the publisher
// simulator from any thread.
#pragma once

#include <vector>

// How a job file's text becomes bytes: the machine's 8-bit code page or UTF-8.
enum class JobFileEncoding
{
    Local8Bit,
    Utf8,
};

// Where the value of an order file line comes from. JobId and Title lines are written
// only when the value is not empty, Copies only when it is not -1, CoverFile and
// LabelFile only when the job has a cover; every other line always.
enum class PublisherValue
{
    JobId,
    Copies,
    MediaClass,
    Title,
    CoverFile,
    LabelFile,
    Publisher,  // szText is the default for an unknown publisher
    CloseDisc,  // szText is the default when the request names none
    Fixed,      // szText is the value
};

struct PublisherField
{
    const char* szKey;
    PublisherValue eValue;
    const char* szText;
};

struct PublisherVendor
{
    const char* szName;           // lower case: the simulator's vendor name
    const char* szBrand;          // in reply texts: "[<brand>][没有文件]"
    const char* szClassName;      // names the backend's functions in log lines
    const char* szLogSource;
    const char* szOrderExt;       // the order file: "<job id><ext>"
    const char* szLabelExt;       // the label field file beside it
    const char* szCoverExt;       // the cover template under the application folder
    const char* szFileSeparator;  // between source and destination in a DATA line
    JobFileEncoding eEncoding;    // of the order file; label files are always 8-bit
    std::vector<PublisherField> vecOrderFields;  // in file order
    int iLabelFieldsPerGroup;     // of the ten per label group
    const char* szLabelKey;       // the key of every label line; null: the field's name
    const char* szOpenFailLog;    // AddFile's log line; arguments function, job id, path
};

const PublisherVendor& EpsonPublisher();
const PublisherVendor& PrimeraPublisher();

// The key of the vendor's order line that carries the value; null when it has none.
const char* PublisherFieldKey(const PublisherVendor& _stVendor, PublisherValue _eValue);
