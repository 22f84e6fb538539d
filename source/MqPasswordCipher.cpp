// RSA private decryption of the broker password with OpenSSL 3's EVP interface.
#include "MqPasswordCipher.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <QByteArray>
#include <QRegularExpression>

#include <memory>

namespace {

struct BioFree
{
    void operator()(BIO* _pBio) const { BIO_free(_pBio); }
};
struct PkeyFree
{
    void operator()(EVP_PKEY* _pKey) const { EVP_PKEY_free(_pKey); }
};
struct PkeyCtxFree
{
    void operator()(EVP_PKEY_CTX* _pCtx) const { EVP_PKEY_CTX_free(_pCtx); }
};

// Never asks for a pass phrase (the default callback would read the terminal).
int NoPassphrase(char*, int, int, void*)
{
    return 0;
}

std::unique_ptr<EVP_PKEY, PkeyFree> LoadKey()
{
    std::unique_ptr<BIO, BioFree> pBio(BIO_new_mem_buf(g_szMqPasswordKeyPem, -1));
    if (!pBio)
        return nullptr;
    return std::unique_ptr<EVP_PKEY, PkeyFree>(PEM_read_bio_PrivateKey(pBio.get(), nullptr, &NoPassphrase, nullptr));
}

// Strict Base64; line breaks and blanks (as wrapped by base64 tools) are ignored.
QByteArray DecodeBase64(const QString& _qstrText)
{
    QString qstrCompact = _qstrText;
    qstrCompact.remove(QRegularExpression(QStringLiteral("\\s")));
    const QByteArray::FromBase64Result result =
        QByteArray::fromBase64Encoding(qstrCompact.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    return result ? result.decoded : QByteArray();
}

std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree> DecryptContext(EVP_PKEY* _pKey)
{
    std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree> pCtx(EVP_PKEY_CTX_new(_pKey, nullptr));
    if (!pCtx || EVP_PKEY_decrypt_init(pCtx.get()) <= 0 ||
        EVP_PKEY_CTX_set_rsa_padding(pCtx.get(), RSA_PKCS1_PADDING) <= 0)
        return nullptr;
    // OpenSSL 3.2 and later would answer a bad padding with random bytes instead
    // of an error; a wrong password must come out empty. Unknown to 3.0: ignored.
    unsigned int uImplicitRejection = 0;
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_uint("implicit-rejection", &uImplicitRejection),
                                 OSSL_PARAM_construct_end()};
    EVP_PKEY_CTX_set_params(pCtx.get(), params);
    return pCtx;
}

QString Decrypt(const QString& _qstrCipherBase64)
{
    const QByteArray qbaCipher = DecodeBase64(_qstrCipherBase64);
    if (qbaCipher.isEmpty())
        return QString();
    const std::unique_ptr<EVP_PKEY, PkeyFree> pKey = LoadKey();
    if (!pKey)
        return QString();
    const std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree> pCtx = DecryptContext(pKey.get());
    if (!pCtx)
        return QString();
    const auto* pIn = reinterpret_cast<const unsigned char*>(qbaCipher.constData());
    const auto uInLen = static_cast<size_t>(qbaCipher.size());
    size_t uOutLen = 0;
    if (EVP_PKEY_decrypt(pCtx.get(), nullptr, &uOutLen, pIn, uInLen) <= 0)
        return QString();
    QByteArray qbaPlain(static_cast<int>(uOutLen), '\0');
    if (EVP_PKEY_decrypt(pCtx.get(), reinterpret_cast<unsigned char*>(qbaPlain.data()), &uOutLen, pIn, uInLen) <= 0)
        return QString();
    return QString::fromUtf8(qbaPlain.constData(), static_cast<int>(uOutLen));
}

} // namespace

QString MqDecryptPassword(const QString& _qstrCipherBase64)
{
    const QString qstrPlain = Decrypt(_qstrCipherBase64);
    ERR_clear_error();  // a failure's reasons must not reach later OpenSSL callers of this thread
    return qstrPlain;
}
