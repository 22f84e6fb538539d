#include "IsoImage.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

namespace fs = std::filesystem;

namespace
{
constexpr size_t n_ReadChunk = 1 << 20;

std::string IsoError(const char* _szWhat, int _iCode)
{
    std::ostringstream oss;
    oss << _szWhat << " (libisofs " << std::hex << _iCode << ")";
    return oss.str();
}

std::string Hex(const unsigned char* _pDigest, unsigned int _uLen)
{
    static const char s_szDigits[] = "0123456789abcdef";
    std::string strHex;
    for (unsigned int uByte = 0; uByte < _uLen; ++uByte) {
        strHex += s_szDigits[_pDigest[uByte] >> 4];
        strHex += s_szDigits[_pDigest[uByte] & 0xf];
    }
    return strHex;
}

// Feeds an MD5 context from a reader until it reports the end (0) or an error (<0).
template <typename Reader>
std::string Md5Of(Reader _fnRead)
{
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> pCtx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!pCtx || EVP_DigestInit_ex(pCtx.get(), EVP_md5(), nullptr) != 1)
        return std::string();
    std::vector<char> vecBuffer(n_ReadChunk);
    for (;;) {
        const long long llRead = _fnRead(vecBuffer.data(), vecBuffer.size());
        if (llRead < 0)
            return std::string();
        if (llRead == 0)
            break;
        EVP_DigestUpdate(pCtx.get(), vecBuffer.data(), size_t(llRead));
    }
    unsigned char arrDigest[EVP_MAX_MD_SIZE];
    unsigned int uLen = 0;
    EVP_DigestFinal_ex(pCtx.get(), arrDigest, &uLen);
    return Hex(arrDigest, uLen);
}

// MD5 of a file of an imported image, read extent by extent through the reader.
std::string DiscFileMd5(IsoFile* _pFile, const DiscReader& _fnRead)
{
    int iSections = 0;
    struct iso_file_section* pSections = nullptr;
    if (iso_file_get_old_image_sections(_pFile, &iSections, &pSections, 0) < 0)
        return std::string();
    std::unique_ptr<iso_file_section, decltype(&std::free)> pOwned(pSections, &std::free);
    int iSection = 0;
    long long llDone = 0;  // of the current section
    return Md5Of([&](char* _pBuf, size_t _uSize) -> long long {
        while (iSection < iSections && llDone >= pSections[iSection].size) {
            ++iSection;
            llDone = 0;
        }
        if (iSection >= iSections)
            return 0;
        const size_t uPiece = size_t(std::min<long long>(_uSize, pSections[iSection].size - llDone));
        const long long llOffset = (long long)pSections[iSection].block * 2048 + llDone;
        if (!_fnRead(llOffset, _pBuf, uPiece))
            return -1;
        llDone += (long long)uPiece;
        return (long long)uPiece;
    });
}

bool Readable(const fs::path& _path)
{
    std::error_code ec;
    if (fs::is_directory(_path, ec)) {
        for (fs::recursive_directory_iterator it(_path, ec), itEnd; !ec && it != itEnd; it.increment(ec)) {
            if (!it->is_directory(ec) && !Readable(it->path()))
                return false;
        }
        return !ec;
    }
    std::ifstream ifs(_path, std::ios::binary);
    return ifs.good() && fs::is_regular_file(_path, ec);
}
}  // namespace

std::string DiscPath(const std::string& _strDestination)
{
    std::string strPath;
    std::string strPart;
    std::string strNormal = _strDestination;
    for (char& c : strNormal)
        c = c == '\\' ? '/' : c;
    std::istringstream issParts(strNormal);
    while (std::getline(issParts, strPart, '/')) {
        if (strPart.empty() || strPart == ".")
            continue;
        if (strPart == "..")
            return std::string();
        strPath += "/" + strPart;
    }
    return strPath.empty() ? "/" : strPath;
}

std::string FirstUnreadableSource(const std::vector<BurnFileEntry>& _vecEntries)
{
    for (const BurnFileEntry& stEntry : _vecEntries) {
        if (!Readable(fs::path(stEntry.strSource)))
            return stEntry.strSource;
    }
    return std::string();
}

bool InitIsoLibrary()
{
    static std::once_flag s_once;
    static bool s_blReady = false;
    std::call_once(s_once, [] {
        s_blReady = iso_init_with_flag(1) >= 0;
        if (s_blReady)
            iso_set_local_charset(const_cast<char*>("UTF-8"), 0);
        iso_set_msgs_severities(const_cast<char*>("NEVER"), const_cast<char*>("NEVER"),
                                const_cast<char*>("BurnSdkIOCTL"));
    });
    return s_blReady;
}

CLS_IsoImageStream::~CLS_IsoImageStream()
{
    if (m_pSource)
        burn::burn_source_free(m_pSource);
    if (m_pImage)
        iso_image_unref(m_pImage);
}

bool CLS_IsoImageStream::Create(const std::string& _strVolumeId, const std::vector<BurnFileEntry>& _vecEntries,
                                std::string& _strError)
{
    int iRet = iso_image_new(_strVolumeId.c_str(), &m_pImage);
    if (iRet < 0)
        return (_strError = IsoError("cannot make an image", iRet)), false;
    iso_image_set_volume_id(m_pImage, _strVolumeId.c_str());
    for (const BurnFileEntry& stEntry : _vecEntries) {
        if (!AddEntry(stEntry, _strError))
            return false;
    }
    IsoWriteOpts* pOpts = nullptr;
    if ((iRet = iso_write_opts_new(&pOpts, 2)) < 0)
        return (_strError = IsoError("cannot set image options", iRet)), false;
    iso_write_opts_set_iso_level(pOpts, 3);
    iso_write_opts_set_rockridge(pOpts, 1);
    iso_write_opts_set_joliet(pOpts, 1);
    iso_write_opts_set_joliet_longer_paths(pOpts, 1);
    iso_write_opts_set_joliet_long_names(pOpts, 1);
    iso_write_opts_set_output_charset(pOpts, "UTF-8");
    struct burn_source* pIsoSource = nullptr;
    iRet = iso_image_create_burn_source(m_pImage, pOpts, &pIsoSource);
    iso_write_opts_free(pOpts);
    if (iRet < 0)
        return (_strError = IsoError("cannot start the image stream", iRet)), false;
    // libisofs declares the stream type globally, libburn in its namespace: one type.
    m_pSource = reinterpret_cast<burn::burn_source*>(pIsoSource);
    return true;
}

long long CLS_IsoImageStream::Size() const
{
    return m_pSource ? (long long)m_pSource->get_size(m_pSource) : 0;
}

IsoDir* CLS_IsoImageStream::MakeDirs(const std::string& _strDiscDir, std::string& _strError)
{
    IsoDir* pDir = iso_image_get_root(m_pImage);
    std::istringstream issParts(_strDiscDir);
    std::string strPart;
    std::string strPath;
    while (std::getline(issParts, strPart, '/')) {
        if (strPart.empty())
            continue;
        strPath += "/" + strPart;
        IsoNode* pNode = nullptr;
        if (iso_tree_path_to_node(m_pImage, strPath.c_str(), &pNode) == 1) {
            if (iso_node_get_type(pNode) != LIBISO_DIR)
                return (_strError = "a file of the disc is in the way of folder " + strPath), nullptr;
            pDir = reinterpret_cast<IsoDir*>(pNode);
            continue;
        }
        IsoDir* pNew = nullptr;
        const int iRet = iso_tree_add_new_dir(pDir, strPart.c_str(), &pNew);
        if (iRet < 0)
            return (_strError = IsoError(("cannot make folder " + strPath).c_str(), iRet)), nullptr;
        pDir = pNew;
    }
    return pDir;
}

bool CLS_IsoImageStream::AddEntry(const BurnFileEntry& _stEntry, std::string& _strError)
{
    const std::string strTarget = DiscPath(_stEntry.strTarget);
    std::error_code ec;
    const std::string strSource = fs::absolute(_stEntry.strSource, ec).string();
    const bool blFolder = fs::is_directory(strSource, ec);
    // Only a folder may go to the root: its content lands there.
    if (strTarget.empty() || (strTarget == "/" && !blFolder))
        return (_strError = "no place on the disc for " + _stEntry.strSource + ": " + _stEntry.strTarget), false;
    if (!blFolder)
        return AddFile(strSource, strTarget, _strError);
    if (!MakeDirs(strTarget, _strError))
        return false;
    const std::string strBase = strTarget == "/" ? std::string() : strTarget;
    for (fs::recursive_directory_iterator it(strSource, ec), itEnd; !ec && it != itEnd; it.increment(ec)) {
        const std::string strPath = strBase + "/" + fs::relative(it->path(), strSource).string();
        const bool blOk = it->is_directory(ec) ? MakeDirs(strPath, _strError) != nullptr
                                               : AddFile(it->path().string(), strPath, _strError);
        if (!blOk)
            return false;
    }
    return !ec || (_strError = "cannot read folder " + strSource + ": " + ec.message(), false);
}

// A regular file whose bytes the image takes through an MD5 stream.
bool CLS_IsoImageStream::AddFile(const std::string& _strSource, const std::string& _strTarget, std::string& _strError)
{
    const size_t uSlash = _strTarget.rfind('/');
    IsoDir* pParent = MakeDirs(_strTarget.substr(0, uSlash), _strError);
    if (!pParent)
        return false;
    const int iRet = iso_tree_add_new_node(m_pImage, pParent, _strTarget.substr(uSlash + 1).c_str(),
                                           _strSource.c_str(), nullptr);
    if (iRet < 0)
        return (_strError = IsoError(("cannot add " + _strSource + " as " + _strTarget).c_str(), iRet)), false;
    return true;
}

std::map<std::string, std::string> SourceMd5s(const std::vector<BurnFileEntry>& _vecEntries)
{
    std::map<std::string, std::string> mapMd5s;
    for (const BurnFileEntry& stEntry : _vecEntries) {
        const std::string strTarget = DiscPath(stEntry.strTarget);
        std::error_code ec;
        if (!fs::is_directory(stEntry.strSource, ec)) {
            mapMd5s[strTarget] = FileMd5(stEntry.strSource);
            continue;
        }
        const std::string strBase = strTarget == "/" ? std::string() : strTarget;
        for (fs::recursive_directory_iterator it(stEntry.strSource, ec), itEnd; !ec && it != itEnd; it.increment(ec)) {
            if (!it->is_directory(ec))
                mapMd5s[strBase + "/" + fs::relative(it->path(), stEntry.strSource).string()] =
                    FileMd5(it->path().string());
        }
    }
    return mapMd5s;
}

std::string FileMd5(const std::string& _strPath)
{
    FILE* pFile = std::fopen(_strPath.c_str(), "rb");
    if (!pFile)
        return std::string();
    const std::string strMd5 = Md5Of([pFile](char* _pBuf, size_t _uSize) {
        const size_t uRead = std::fread(_pBuf, 1, _uSize, pFile);
        return uRead == 0 && std::ferror(pFile) ? -1LL : (long long)uRead;
    });
    std::fclose(pFile);
    return strMd5;
}

std::string VerifyImage(IsoDataSource* _pSource, const DiscReader& _fnRead,
                        const std::map<std::string, std::string>& _mapMd5s)
{
    IsoImage* pImage = nullptr;
    IsoReadOpts* pOpts = nullptr;
    if (iso_image_new("verify", &pImage) < 0 || iso_read_opts_new(&pOpts, 0) < 0) {
        if (pImage)
            iso_image_unref(pImage);
        return "cannot read the disc back";
    }
    iso_read_opts_set_input_charset(pOpts, "UTF-8");
    const int iImported = iso_image_import(pImage, _pSource, pOpts, nullptr);
    iso_read_opts_free(pOpts);
    std::string strMismatch = iImported < 0 ? IsoError("cannot read the disc back", iImported) : std::string();
    for (auto it = _mapMd5s.begin(); strMismatch.empty() && it != _mapMd5s.end(); ++it) {
        IsoNode* pNode = nullptr;
        if (iso_tree_path_to_node(pImage, it->first.c_str(), &pNode) != 1 || iso_node_get_type(pNode) != LIBISO_FILE)
            strMismatch = "missing on the disc: " + it->first;
        else if (DiscFileMd5(reinterpret_cast<IsoFile*>(pNode), _fnRead) != it->second)
            strMismatch = "differs from its source: " + it->first;
    }
    iso_image_unref(pImage);
    return strMismatch;
}
