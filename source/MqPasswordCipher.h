// Decryption of the broker password that arrives encrypted in "passWord"
// ("encryption" 1). Pure functions; any thread.
#pragma once

#include <QString>

// Base64 of one RSA block encrypted with PKCS #1 v1.5 padding under the public key
// docs/mq-public-key.pem (docs/mq-password.md) -> the password as UTF-8 text.
// Any failure (not Base64, wrong key or length, bad padding) gives the empty text.
QString MqDecryptPassword(const QString& _qstrCipherBase64);

// The compiled-in private key, a PEM text (MqPasswordKey.cpp).
extern const char g_szMqPasswordKeyPem[];
