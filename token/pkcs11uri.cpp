#include "pkcs11uri.h"

#include <QStringList>

namespace
{

const QString kScheme = QStringLiteral("pkcs11:");

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The bytes of a value; false on a % without two hexadecimal digits after it.
bool percentDecoded(const QString& value, QByteArray& bytes)
{
    const QByteArray text = value.toUtf8();
    bytes.clear();
    for (int i = 0; i < text.size(); ++i)
    {
        if (text[i] != '%')
        {
            bytes += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return false;
        bytes += char(high * 16 + low);
        i += 2;
    }
    return true;
}

bool utf8Text(const QByteArray& bytes, QString& text)
{
    text = QString::fromUtf8(bytes);
    return text.toUtf8() == bytes;
}

// Attributes that name a token or an object in a way that this program does not match by are
// refused rather than ignored: ignoring one could pick another token than the one meant.
enum class Attribute
{
    Token,
    Serial,
    Object,
    Id,
    Type,
    Unknown
};

Attribute pathAttribute(const QString& name)
{
    if (name == QLatin1String("token"))
        return Attribute::Token;
    if (name == QLatin1String("serial"))
        return Attribute::Serial;
    if (name == QLatin1String("object"))
        return Attribute::Object;
    if (name == QLatin1String("id"))
        return Attribute::Id;
    if (name == QLatin1String("type"))
        return Attribute::Type;
    return Attribute::Unknown;
}

UriFinding readPath(const QString& path, Pkcs11Uri& uri, QString& attribute)
{
    QStringList seen;
    for (const QString& part : path.split(QLatin1Char(';'), Qt::SkipEmptyParts))
    {
        const qsizetype equals = part.indexOf(QLatin1Char('='));
        attribute = equals < 0 ? part : part.left(equals);
        if (seen.contains(attribute))
            return UriFinding::AttributeTwice;
        seen << attribute;
        QByteArray bytes;
        if (equals < 0 || !percentDecoded(part.mid(equals + 1), bytes))
            return equals < 0 ? UriFinding::UnknownAttribute : UriFinding::BadEncoding;
        QString text;
        switch (pathAttribute(attribute))
        {
        case Attribute::Id:
            uri.id = bytes;
            continue;
        case Attribute::Unknown:
            return UriFinding::UnknownAttribute;
        default:
            break;
        }
        if (!utf8Text(bytes, text))
            return UriFinding::BadEncoding;
        switch (pathAttribute(attribute))
        {
        case Attribute::Token:
            uri.token = text;
            break;
        case Attribute::Serial:
            uri.serial = text;
            break;
        case Attribute::Object:
            uri.object = text;
            break;
        case Attribute::Type:
            if (text != QLatin1String("private") && text != QLatin1String("cert"))
                return UriFinding::WrongObjectType;
            break;
        default:
            break;
        }
    }
    return UriFinding::Valid;
}

UriFinding readQuery(const QString& query, Pkcs11Uri& uri, QString& attribute)
{
    QStringList seen;
    for (const QString& part : query.split(QLatin1Char('&'), Qt::SkipEmptyParts))
    {
        const qsizetype equals = part.indexOf(QLatin1Char('='));
        attribute = equals < 0 ? part : part.left(equals);
        if (attribute == QLatin1String("pin-value") || attribute == QLatin1String("pin-source"))
            return UriFinding::PinInUri;
        if (seen.contains(attribute))
            return UriFinding::AttributeTwice;
        seen << attribute;
        if (attribute != QLatin1String("module-path") || equals < 0)
            return UriFinding::UnknownAttribute;
        QByteArray bytes;
        if (!percentDecoded(part.mid(equals + 1), bytes))
            return UriFinding::BadEncoding;
        uri.modulePath = QString::fromLocal8Bit(bytes);
    }
    return UriFinding::Valid;
}

QString encoded(const QString& value)
{
    // Everything but the unreserved characters, so that ; ? & = / and % never split a value.
    return QString::fromLatin1(value.toUtf8().toPercentEncoding());
}

} // namespace

bool IsPkcs11Uri(const QString& text)
{
    return text.startsWith(kScheme, Qt::CaseInsensitive);
}

UriFinding ParsePkcs11Uri(const QString& text, Pkcs11Uri& uri, QString* attribute)
{
    QString name;
    if (!IsPkcs11Uri(text))
        return UriFinding::NotPkcs11;
    const QString rest = text.mid(kScheme.size());
    const qsizetype question = rest.indexOf(QLatin1Char('?'));
    Pkcs11Uri read;
    UriFinding finding = readPath(question < 0 ? rest : rest.left(question), read, name);
    if (finding == UriFinding::Valid && question >= 0)
        finding = readQuery(rest.mid(question + 1), read, name);
    if (attribute)
        *attribute = name;
    if (finding == UriFinding::Valid)
        uri = read;
    return finding;
}

QString Pkcs11UriText(const QString& token, const QString& object)
{
    return QStringLiteral("pkcs11:token=%1;object=%2").arg(encoded(token), encoded(object));
}
