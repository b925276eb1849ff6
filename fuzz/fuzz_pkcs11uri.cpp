// The reader of token URIs, which takes whatever a user types after --token or --issuer: any
// text is read or refused without fault, and what it reads names the same token and object when
// written out and read again.
#include "fuzzinput.h"
#include "pkcs11uri.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    Pkcs11Uri uri;
    QString attribute;
    if (ParsePkcs11Uri(text, uri, &attribute) != UriFinding::Valid)
        return 0;
    FuzzInput::Require(IsPkcs11Uri(text));
    Pkcs11Uri again;
    FuzzInput::Require(ParsePkcs11Uri(Pkcs11UriText(uri.token, uri.object), again) == UriFinding::Valid);
    FuzzInput::Require(again.token == uri.token && again.object == uri.object);
    return 0;
}
