#pragma once

#include <QByteArray>
#include <QString>

// A password outside a widget, as the 8-bit text the engine takes. Its bytes are wiped when
// it is destroyed, cleared or given a new value; it cannot be copied, and a move hands over
// the one buffer, so no second copy of the bytes is ever made by this type.
class Secret
{
public:
    Secret() = default;
    // The text as UTF-8, the 8-bit form the window has always handed to the engine
    // (QString::toStdString).
    explicit Secret(const QString& text);
    // The same, and a text held nowhere else (a temporary made for this) is wiped as well.
    explicit Secret(QString&& text);
    // Takes over the buffer of `bytes`, which is left empty (a buffer shared with another
    // QByteArray stays readable there, and only that one can wipe it).
    explicit Secret(QByteArray&& bytes);
    ~Secret();

    Secret(Secret&& other) noexcept;
    Secret& operator=(Secret&& other) noexcept;
    Secret(const Secret&) = delete;
    Secret& operator=(const Secret&) = delete;

    // Replaces the value with a copy of `size` bytes at `data` (borrowed).
    void assign(const char* data, int size);
    // Wipes the value now.
    void clear();

    // Null-terminated; "" when empty. Valid until the value changes.
    const char* data() const { return mBytes.constData(); }
    int size() const { return int(mBytes.size()); }
    bool isEmpty() const { return mBytes.isEmpty(); }

private:
    // The one buffer is owned alone (never shared), so writing through it wipes the password
    // itself, not a detached copy.
    QByteArray mBytes;
};
