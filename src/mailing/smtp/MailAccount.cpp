#include "MailAccount.h"

#include "MailAddress.h"
#include "SafeFile.h"
#include "SecretStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString kSecretStoreMark = QStringLiteral("secret-store");

// One entry in the secret store per account file.
QString secretKey(const QString& path)
{
    return QStringLiteral("mail-account ") + QFileInfo(path).absoluteFilePath();
}

const char* securityName(MailAccount::Security security)
{
    switch (security) {
    case MailAccount::Security::Ssl:
        return "Ssl";
    case MailAccount::Security::None:
        return "None";
    case MailAccount::Security::StartTls:
        break;
    }
    return "StartTls";
}

bool parseSecurity(const QString& text, MailAccount::Security* security)
{
    if (text.compare(QLatin1String("StartTls"), Qt::CaseInsensitive) == 0)
        *security = MailAccount::Security::StartTls;
    else if (text.compare(QLatin1String("Ssl"), Qt::CaseInsensitive) == 0)
        *security = MailAccount::Security::Ssl;
    else if (text.compare(QLatin1String("None"), Qt::CaseInsensitive) == 0)
        *security = MailAccount::Security::None;
    else
        return false;
    return true;
}

// Values are single lines: backslash, line breaks and other control characters are escaped,
// and so is half a surrogate pair, which UTF-8 cannot hold.
QString escape(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        const char16_t u = c.unicode();
        const bool whole =
            c.isHighSurrogate()
                ? i + 1 < value.size() && value.at(i + 1).isLowSurrogate()
                : !c.isLowSurrogate() || (i > 0 && value.at(i - 1).isHighSurrogate());
        if (u == '\\')
            out += QLatin1String("\\\\");
        else if (u == '\n')
            out += QLatin1String("\\n");
        else if (u == '\r')
            out += QLatin1String("\\r");
        else if (u == '\t')
            out += QLatin1String("\\t");
        else if (u < 0x20 || u == 0x7f || !whole)
            out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString unescape(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 >= value.size()) {
            out += c;
            continue;
        }
        const QChar next = value.at(++i);
        if (next == QLatin1Char('n')) {
            out += QLatin1Char('\n');
        } else if (next == QLatin1Char('r')) {
            out += QLatin1Char('\r');
        } else if (next == QLatin1Char('t')) {
            out += QLatin1Char('\t');
        } else if (next == QLatin1Char('u') && i + 4 < value.size()) {
            bool ok = false;
            const ushort code = value.mid(i + 1, 4).toUShort(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 4;
            } else {
                out += next;
            }
        } else {
            out += next;
        }
    }
    return out;
}

} // namespace

int MailAccount::defaultPort(Security security)
{
    switch (security) {
    case Security::Ssl:
        return 465;
    case Security::None:
        return 25;
    case Security::StartTls:
        break;
    }
    return 587;
}

QString MailAccount::incompleteReason() const
{
    const QString host = m_host.trimmed();
    if (host.isEmpty())
        return QStringLiteral("Не указан почтовый сервер.");
    // The name goes into a URL: nothing that could end or extend the host part.
    for (QChar c : host) {
        if (c.isSpace() || c.unicode() < 0x20 || QStringLiteral("/\\@?#%<>\"").contains(c)) {
            return QStringLiteral("Имя почтового сервера «%1» содержит недопустимые символы.")
                .arg(MailAddress::printable(host));
        }
    }
    if (m_port < 1 || m_port > 65535)
        return QStringLiteral("Порт почтового сервера должен быть числом от 1 до 65535.");
    return MailAddress::validate(m_senderAddress, MailAddress::Role::Sender).errorText();
}

QString MailAccount::caFileProblem() const
{
    if (m_caFile.isEmpty())
        return QString();
    const QString name = MailAddress::printable(m_caFile);
    const QFileInfo info(m_caFile);
    if (!info.exists())
        return QStringLiteral("Файл сертификата «%1» не найден.").arg(name);
    QFile file(m_caFile);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("Файл сертификата «%1» не читается%2")
            .arg(name, info.isFile() ? QStringLiteral(": ") + file.errorString() + '.'
                                     : QStringLiteral(": это не файл."));
    }
    return QString();
}

QString MailAccount::plaintextRefusal() const
{
    if (m_security != Security::None || m_login.isEmpty() || m_allowPlaintext)
        return QString();
    return QStringLiteral("Соединение с почтовым сервером не шифруется, и пароль ушёл бы "
                          "открытым текстом. Выберите STARTTLS или SSL/TLS либо явно разрешите "
                          "пароль без шифрования.");
}

bool MailAccount::isComplete() const
{
    return incompleteReason().isEmpty();
}

QString MailAccount::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Kalvent/mail-account.ini");
}

bool MailAccount::parse(const QString& path, const QByteArray& text, bool* inSecretStore)
{
    *inSecretStore = false;
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
            line.startsWith(QLatin1Char('[')))
            continue;
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed().toLower();
        const QString value = unescape(line.mid(eq + 1));
        if (key == QLatin1String("host")) {
            m_host = value.trimmed();
        } else if (key == QLatin1String("port")) {
            bool ok = false;
            const int port = value.trimmed().toInt(&ok);
            m_port = ok ? port : 0;
        } else if (key == QLatin1String("security")) {
            if (!parseSecurity(value.trimmed(), &m_security)) {
                m_errorText = QStringLiteral("В файле настроек почты «%1» неизвестный способ "
                                             "защиты соединения «%2».")
                                  .arg(path, MailAddress::printable(value));
                return false;
            }
        } else if (key == QLatin1String("login")) {
            m_login = value;
        } else if (key == QLatin1String("password")) {
            m_password = value;
            m_passwordPlace = value.isEmpty() ? PasswordPlace::None : PasswordPlace::File;
        } else if (key == QLatin1String("passwordstore")) {
            *inSecretStore = value.trimmed() == kSecretStoreMark;
        } else if (key == QLatin1String("sender")) {
            m_senderAddress = value.trimmed();
        } else if (key == QLatin1String("cafile")) {
            m_caFile = value.trimmed();
        } else if (key == QLatin1String("allowplaintext")) {
            m_allowPlaintext =
                value.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
        }
    }
    return true;
}

bool MailAccount::load(const QString& path)
{
    m_errorText.clear();
    QFile file(path);
    if (!file.exists()) {
        m_errorText = QStringLiteral("Файл настроек почты «%1» не найден.").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        m_errorText = QStringLiteral("Не удалось прочитать файл настроек почты «%1»: %2")
                          .arg(path, file.errorString());
        return false;
    }
    MailAccount loaded;
    bool inSecretStore = false;
    if (!loaded.parse(path, file.readAll(), &inSecretStore)) {
        m_errorText = loaded.m_errorText;
        return false;
    }
    if (inSecretStore && loaded.m_passwordPlace != PasswordPlace::File) {
        QString why;
        if (!SecretStore::system().read(secretKey(path), &loaded.m_password, &why)) {
            m_errorText = QStringLiteral("Пароль почты хранится в хранилище паролей рабочего "
                                         "стола, но прочитать его не удалось.\n%1")
                              .arg(why);
            return false;
        }
        loaded.m_passwordPlace = PasswordPlace::SecretStore;
    }
    loaded.m_errorText.clear();
    *this = loaded;
    return true;
}

QString MailAccount::storedCaFile(const QString& path)
{
    QFile file(path);
    MailAccount stored;
    bool inSecretStore = false;
    if (!file.open(QIODevice::ReadOnly) || !stored.parse(path, file.readAll(), &inSecretStore))
        return QString();
    return stored.m_caFile;
}

bool MailAccount::save(const QString& path)
{
    m_errorText.clear();
    m_secretStoreWhy.clear();
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!QFileInfo::exists(folder)) {
        if (!QDir().mkpath(folder)) {
            m_errorText = QStringLiteral("Не удалось создать папку «%1».").arg(folder);
            return false;
        }
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    }

    QString text = QStringLiteral("[Account]\n");
    text += QStringLiteral("Host=%1\n").arg(escape(m_host));
    text += QStringLiteral("Port=%1\n").arg(m_port);
    text += QStringLiteral("Security=%1\n").arg(QLatin1String(securityName(m_security)));
    text += QStringLiteral("Login=%1\n").arg(escape(m_login));
    PasswordPlace place = PasswordPlace::None;
    SecretStore& store = SecretStore::system();
    if (!m_password.isEmpty()) {
        if (store.write(secretKey(path), m_password, &m_secretStoreWhy)) {
            place = PasswordPlace::SecretStore;
            text += QStringLiteral("PasswordStore=%1\n").arg(kSecretStoreMark);
        } else {
            place = PasswordPlace::File;
            text += QStringLiteral("Password=%1\n").arg(escape(m_password));
        }
    }
    text += QStringLiteral("Sender=%1\n").arg(escape(m_senderAddress));
    text += QStringLiteral("CaFile=%1\n").arg(escape(m_caFile));
    text += QStringLiteral("AllowPlaintext=%1\n")
                .arg(m_allowPlaintext ? QLatin1String("true") : QLatin1String("false"));

    // The new file is the owner's alone (0600) before the password goes into it.
    const Outcome<void> written =
        SafeFile::write(path, text.toUtf8(),
                        QStringLiteral("Не удалось записать файл настроек почты «%1»").arg(path));
    if (!written) {
        m_errorText = written.errorText();
        return false;
    }
    // A password no longer used stays nowhere.
    if (place != PasswordPlace::SecretStore && store.isAvailable(nullptr))
        store.remove(secretKey(path), nullptr);
    m_passwordPlace = place;
    return true;
}

bool MailAccount::moveToSecretStore(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.readAll().contains("\nPassword="))
        return false;
    MailAccount account;
    if (!account.load(path) || account.passwordPlace() != PasswordPlace::File ||
        !SecretStore::system().isAvailable(nullptr))
        return false;
    return account.save(path) && account.passwordPlace() == PasswordPlace::SecretStore;
}

bool MailAccount::operator==(const MailAccount& other) const
{
    return m_host == other.m_host && m_port == other.m_port && m_security == other.m_security &&
           m_login == other.m_login && m_password == other.m_password &&
           m_senderAddress == other.m_senderAddress && m_caFile == other.m_caFile &&
           m_allowPlaintext == other.m_allowPlaintext;
}
