// ISO 9660 images of a burn group with libisofs: level 3 (files over 4 GiB), Rock
// Ridge and Joliet, UTF-8 names. The image is produced as a stream for libburn, never
// as a file; a written image is checked by reading it back. Any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <libburn/libburn.h>
#include <libisofs/libisofs.h>

// One file or folder of a group: where it comes from, where it goes on the disc.
struct BurnFileEntry
{
    std::string strSource;
    std::string strTarget;
};

// A destination made a path of the disc: "/"-separated from the root, "\" taken as
// "/", no empty or "." parts; "/" for the root; empty (refused) when a part is "..".
std::string DiscPath(const std::string& _strDestination);

// The first source that cannot be read (folders walked), empty when all can.
std::string FirstUnreadableSource(const std::vector<BurnFileEntry>& _vecEntries);

// Starts libisofs once per process (UTF-8 as the local character set).
bool InitIsoLibrary();

// The image as a stream for libburn, and its size.
class CLS_IsoImageStream
{
public:
    ~CLS_IsoImageStream();
    // Builds the tree and the stream; false with a message on failure.
    bool Create(const std::string& _strVolumeId, const std::vector<BurnFileEntry>& _vecEntries,
                std::string& _strError);
    burn::burn_source* Source() const { return m_pSource; }
    long long Size() const;

private:
    bool AddEntry(const BurnFileEntry& _stEntry, std::string& _strError);
    bool AddFile(const std::string& _strSource, const std::string& _strTarget, std::string& _strError);
    IsoDir* MakeDirs(const std::string& _strDiscDir, std::string& _strError);

    IsoImage* m_pImage = nullptr;
    burn::burn_source* m_pSource = nullptr;
};

// Disc path -> MD5 (32 hex digits) of every file the entries put on the disc, folders
// walked; an unreadable file has an empty MD5.
std::map<std::string, std::string> SourceMd5s(const std::vector<BurnFileEntry>& _vecEntries);

// MD5 of a file's bytes as 32 hex digits; empty when it cannot be read.
std::string FileMd5(const std::string& _strPath);

// Reads bytes of the disc at a byte offset; false on a read error.
using DiscReader = std::function<bool(long long _llOffset, char* _pBuffer, size_t _uSize)>;

// Reads the image's tree through the data source and each file's extents through the
// reader (in large pieces), and compares the file's MD5 with the expected one (disc
// path -> MD5). Empty when all match, else what differs (the first file named).
std::string VerifyImage(IsoDataSource* _pSource, const DiscReader& _fnRead,
                        const std::map<std::string, std::string>& _mapMd5s);
