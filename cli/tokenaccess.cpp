#include "tokenaccess.h"

#include "console.h"
#include "notes.h"
#include "passwords.h"
#include "refusals.h"
#include "secret.h"

#include <QByteArray>

#include <openssl/rand.h>

namespace
{

constexpr int kSeedBytes = 32;

} // namespace

Refusal OpenTokenForNewKey(const Invocation& invocation, const QString& text, Option option,
                           TokenAccess& access)
{
    if (auto error = OpenToken(invocation, text, option, access))
        return error;
    if (access.uri.object.isEmpty())
        return Refuse::tokenObjectNotNamed(text, OptionText(option));
    if (access.session->holdsLabel(access.uri.object))
        return TokenRefusal(TokenFinding::ObjectTaken, access);
    return std::nullopt;
}

CommandError TokenRefusal(TokenFinding finding, const TokenAccess& access)
{
    const QString& token = access.uri.token;
    switch (finding)
    {
    case TokenFinding::ModuleMissing:
        return Refuse::tokenModuleMissing(access.module);
    case TokenFinding::ModuleUnloadable:
        return Refuse::tokenModuleUnloadable(access.module);
    case TokenFinding::TokenMissing:
        return Refuse::tokenMissing(token, access.module);
    case TokenFinding::TokenAmbiguous:
        return Refuse::tokenAmbiguous(token);
    case TokenFinding::SessionRefused:
        return Refuse::tokenSessionRefused(token);
    case TokenFinding::WrongPin:
        return Refuse::tokenWrongPin(token);
    case TokenFinding::PinLocked:
        return Refuse::tokenPinLocked(token);
    case TokenFinding::ObjectMissing:
        return Refuse::tokenObjectMissing(
            access.uri.object.isEmpty() ? QString::fromLatin1(access.uri.id.toHex()) : access.uri.object,
            token);
    case TokenFinding::ObjectTaken:
        return Refuse::tokenObjectTaken(access.uri.object, token);
    case TokenFinding::GenerationFailed:
        return Refuse::tokenKeyNotMade(token);
    case TokenFinding::LoginFailed:
    case TokenFinding::StoreFailed:
    case TokenFinding::Done:
        break;
    }
    return Refuse::tokenLoginFailed(token);
}

Refusal OpenToken(const Invocation& invocation, const QString& text, Option option, TokenAccess& access)
{
    access.uriText = text;
    QString attribute;
    const UriFinding read = ParsePkcs11Uri(text, access.uri, &attribute);
    if (read != UriFinding::Valid)
        return Refuse::tokenUriRefused(read, text, attribute, OptionText(option));
    if (access.uri.token.isEmpty() || (access.uri.object.isEmpty() && access.uri.id.isEmpty()))
        return Refuse::tokenObjectNotNamed(text, OptionText(option));
    access.module = TokenModulePath(invocation.value(Option::Module), access.uri,
                                    qEnvironmentVariable("TALVANE_PKCS11_MODULE"));

    TokenFinding finding = TokenFinding::Done;
    std::shared_ptr<TokenSession> session = TokenSession::open(access.module, access.uri, finding);
    if (!session)
        return TokenRefusal(finding, access);
    // The PIN is asked for only once the token is known to be there.
    Secret pin;
    const PasswordSource source{invocation.value(Option::PinFile), "TALVANE_PIN", Option::PinFile,
                                Note::tokenPinPurpose(access.uri.token), false};
    if (auto error = ObtainPassword(invocation.console(), source, pin))
        return error;
    finding = session->logIn(pin);
    pin.clear();
    if (finding != TokenFinding::Done)
        return TokenRefusal(finding, access);
    access.session = std::move(session);
    return std::nullopt;
}

void SeedToken(Console& console, const TokenAccess& access)
{
    QByteArray bytes(kSeedBytes, '\0');
    const bool drawn = RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), kSeedBytes) == 1;
    if (!drawn || !access.session->seed(bytes))
        console.errLine(Note::tokenNotSeeded(access.uri.token));
    bytes.fill('\0');
}
