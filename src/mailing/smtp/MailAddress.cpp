#include "MailAddress.h"

#include <QStringList>
#include <QUrl>

namespace {

bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7f && u < 0xa0) || u == 0x2028 || u == 0x2029;
}

bool isAtext(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return QByteArray("!#$%&'*+-/=?^_`{|}~").contains(c);
}

bool isDotAtom(const QByteArray& text)
{
    if (text.isEmpty() || text.startsWith('.') || text.endsWith('.') || text.contains(".."))
        return false;
    for (char c : text) {
        if (c != '.' && !isAtext(c))
            return false;
    }
    return true;
}

bool isLabel(const QByteArray& label)
{
    if (label.isEmpty() || label.size() > 63 || label.startsWith('-') || label.endsWith('-'))
        return false;
    for (char c : label) {
        const bool ok =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        if (!ok)
            return false;
    }
    return true;
}

QByteArray asciiDomain(const QString& domain)
{
    bool ascii = true;
    for (QChar c : domain)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        return domain.toLatin1().toLower();
    return QUrl::toAce(domain).toLower();
}

QString roleWord(MailAddress::Role role)
{
    return role == MailAddress::Role::Recipient ? QStringLiteral("получателя")
                                                : QStringLiteral("отправителя");
}

} // namespace

QString MailAddress::printable(const QString& text)
{
    QString shown = text;
    for (QChar& c : shown) {
        if (isControl(c))
            c = QLatin1Char('?');
    }
    return shown;
}

Outcome<void> MailAddress::validate(const QString& address, Role role)
{
    const QString quoted = QStringLiteral("«%1»").arg(printable(address));
    const QString subject = QStringLiteral("Адрес %1 %2").arg(roleWord(role), quoted);
    auto refuse = [](const QString& reason) { return Outcome<void>::failure(reason); };

    if (address.trimmed().isEmpty()) {
        return refuse(role == Role::Recipient ? QStringLiteral("Не указан адрес получателя.")
                                              : QStringLiteral("Не указан адрес отправителя."));
    }
    for (QChar c : address) {
        if (isControl(c))
            return refuse(subject + QStringLiteral(" содержит управляющие символы."));
    }
    const QString notOne = subject + QStringLiteral(" не является одним почтовым адресом: ");
    if (address.contains(QLatin1Char(',')) || address.contains(QLatin1Char(';')))
        return refuse(notOne + QStringLiteral("в нём есть запятая или точка с запятой."));
    if (address.contains(QLatin1Char('<')) || address.contains(QLatin1Char('>')))
        return refuse(notOne + QStringLiteral("в нём есть угловые скобки."));
    for (QChar c : address) {
        if (c.isSpace())
            return refuse(notOne + QStringLiteral("в нём есть пробел."));
    }

    const QString form = subject + QStringLiteral(" не похож на почтовый адрес вида имя@домен.");
    if (address.count(QLatin1Char('@')) != 1)
        return refuse(form);
    const int at = address.indexOf(QLatin1Char('@'));
    const QString local = address.left(at);
    const QString domain = address.mid(at + 1);
    for (QChar c : local) {
        if (c.unicode() >= 0x80)
            return refuse(subject + QStringLiteral(" содержит в имени до «@» буквы не латиницей."));
    }
    if (local.size() > 64 || !isDotAtom(local.toLatin1()))
        return refuse(form);
    if (domain.isEmpty() || domain.endsWith(QLatin1Char('.')))
        return refuse(form);
    const QByteArray ace = asciiDomain(domain);
    if (ace.isEmpty() || ace.size() > 253)
        return refuse(form);
    for (const QByteArray& label : ace.split('.')) {
        if (!isLabel(label))
            return refuse(form);
    }
    return {};
}

QByteArray MailAddress::toAscii(const QString& address)
{
    const int at = address.lastIndexOf(QLatin1Char('@'));
    if (at < 0)
        return address.toLatin1();
    return address.left(at).toLatin1() + '@' + asciiDomain(address.mid(at + 1));
}

QByteArray MailAddress::domain(const QString& address)
{
    const int at = address.lastIndexOf(QLatin1Char('@'));
    return at < 0 ? QByteArray() : asciiDomain(address.mid(at + 1));
}
