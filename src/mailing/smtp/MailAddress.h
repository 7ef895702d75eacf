#pragma once

#include "Outcome.h"

#include <QByteArray>
#include <QString>

// One plain mailbox address, local@domain, as the operator types it.
class MailAddress
{
public:
    enum class Role
    {
        Recipient,
        Sender
    };

    // True for exactly one address local@domain: a dot-atom local part and a dotted or plain
    // domain (international domains allowed); a refusal gives the reason in Russian.
    static Outcome<void> validate(const QString& address, Role role);

    // The address as it goes on the wire: the domain in its ASCII (punycode) form.
    // Only meaningful for an address that validate() accepts.
    static QByteArray toAscii(const QString& address);

    // The ASCII domain of a valid address, lower case.
    static QByteArray domain(const QString& address);

    // The text with control characters shown as "?", for quoting in messages.
    static QString printable(const QString& text);
};
