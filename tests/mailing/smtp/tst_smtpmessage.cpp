#include "MailMessage.h"
#include "SmtpTestServer.h"
#include "TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

QByteArray writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(data);
    return data;
}

// Header block split into (name, unfolded value) pairs.
QList<QPair<QByteArray, QByteArray>> headerFields(const QByteArray& message)
{
    const QByteArray block = message.left(message.indexOf("\r\n\r\n"));
    QList<QPair<QByteArray, QByteArray>> fields;
    for (const QByteArray& line : block.split('\n')) {
        const QByteArray text = line.endsWith('\r') ? line.chopped(1) : line;
        if ((text.startsWith(' ') || text.startsWith('\t')) && !fields.isEmpty()) {
            fields.last().second += text;
            continue;
        }
        const int colon = text.indexOf(':');
        fields.append({text.left(colon), text.mid(colon + 1).trimmed()});
    }
    return fields;
}

QByteArray field(const QByteArray& message, const QByteArray& name)
{
    for (const auto& pair : headerFields(message)) {
        if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
            return pair.second;
    }
    return QByteArray();
}

} // namespace

class TestSmtpMessage : public QObject
{
    Q_OBJECT

private:
    QJsonObject parsedByMailReader(const QByteArray& message)
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("message.eml"));
        writeFile(path, message);
        return SmtpTestServer::parse(path);
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    void recipientForms_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("reasonPart");
        const QString notOne = QStringLiteral("не является одним почтовым адресом");
        const QString form = QStringLiteral("вида имя@домен");
        QTest::newRow("plain") << "director@example.com"
                               << "";
        QTest::newRow("dots and tag") << "a.b+tag@mail.example.ru"
                                      << "";
        QTest::newRow("plain domain") << "user@localhost"
                                      << "";
        QTest::newRow("ip domain") << "user@127.0.0.1"
                                   << "";
        QTest::newRow("apostrophe") << "o'brien@example.com"
                                    << "";
        QTest::newRow("international domain") << "info@почта.рф"
                                              << "";
        QTest::newRow("empty") << ""
                               << "Не указан адрес получателя";
        QTest::newRow("blank") << "   "
                               << "Не указан адрес получателя";
        QTest::newRow("comma") << "a@b.ru, c@d.ru" << notOne;
        QTest::newRow("semicolon") << "a@b.ru;c@d.ru" << notOne;
        QTest::newRow("display name") << "Иван <a@b.ru>" << notOne;
        QTest::newRow("angle brackets") << "<a@b.ru>" << notOne;
        QTest::newRow("inner space") << "a b@c.ru" << notOne;
        QTest::newRow("trailing space") << "a@c.ru " << notOne;
        QTest::newRow("header injection") << "a@b.ru\r\nBcc: x@y.ru"
                                          << "управляющие";
        QTest::newRow("line feed") << "a@b.ru\n"
                                   << "управляющие";
        QTest::newRow("nul") << QStringLiteral("a@b.ru") + QChar(0) << "управляющие";
        QTest::newRow("no at") << "ab.ru" << form;
        QTest::newRow("two at") << "a@@b.ru" << form;
        QTest::newRow("no local") << "@b.ru" << form;
        QTest::newRow("no domain") << "a@" << form;
        QTest::newRow("empty label") << "a@b..ru" << form;
        QTest::newRow("leading dot domain") << "a@.b.ru" << form;
        QTest::newRow("trailing dot domain") << "a@b.ru." << form;
        QTest::newRow("trailing dot local") << "a.@b.ru" << form;
        QTest::newRow("leading dot local") << ".a@b.ru" << form;
        QTest::newRow("double dot local") << "a..b@b.ru" << form;
        QTest::newRow("underscore domain") << "a@b_c.ru" << form;
        QTest::newRow("hyphen label") << "a@-b.ru" << form;
        QTest::newRow("quoted local") << "\"a\"@b.ru" << form;
        QTest::newRow("cyrillic local") << "иван@b.ru"
                                        << "латиницей";
    }

    void recipientForms()
    {
        QFETCH(QString, address);
        QFETCH(QString, reasonPart);
        const auto valid = MailMessage::validateRecipient(address);
        const bool accepted = valid.ok();
        const QString why = valid.errorText();
        if (reasonPart.isEmpty()) {
            QVERIFY2(accepted, qPrintable(why));
            return;
        }
        QVERIFY(!accepted);
        QVERIFY2(why.contains(reasonPart), qPrintable(why));
        if (!address.trimmed().isEmpty()) {
            // The operator sees the address, without raw control characters.
            QVERIFY2(why.startsWith(QStringLiteral("Адрес получателя «")), qPrintable(why));
            QVERIFY(!why.contains(QLatin1Char('\n')) && !why.contains(QLatin1Char('\r')));
        }
    }

    void composedMessageReadsBackInFull()
    {
        KALVENT_REQUIRE_SMTP_TOOLS();
        QTemporaryDir dir;
        const QByteArray html = writeFile(dir.filePath(QStringLiteral("poist.htm")),
                                          "<html><body>Источник: Газета</body></html>\n");
        QByteArray binary(20000, Qt::Uninitialized);
        for (char& c : binary)
            c = char(QRandomGenerator::global()->bounded(256));
        writeFile(dir.filePath(QStringLiteral("data.bin")), binary);
        const QByteArray named =
            writeFile(dir.filePath(QStringLiteral("отчёт по датам.HTML")), "<p>по датам</p>");
        const QByteArray quoted = writeFile(dir.filePath(QStringLiteral("a \"b\" c.txt")), "");

        MailMessage message;
        message.setRecipient(QStringLiteral("director@example.com"));
        const QString subject =
            QStringLiteral("Отчёты о звонках за неделю: источники, услуги, Интернет и даты 📞 ok");
        message.setSubject(subject);
        message.setBody(QStringLiteral("Реклама\nвторая строка\r\n.\r\nконец"));
        message.setAttachments({dir.filePath(QStringLiteral("poist.htm")),
                                dir.filePath(QStringLiteral("data.bin")),
                                dir.filePath(QStringLiteral("отчёт по датам.HTML")),
                                dir.filePath(QStringLiteral("a \"b\" c.txt"))});
        const QDateTime date(QDate(2024, 3, 8), QTime(9, 5, 7), Qt::OffsetFromUTC, 3 * 3600);
        message.setDate(date);
        QByteArray text;
        QString why;
        QVERIFY2(message.compose(QStringLiteral("office@example.ru"), &text, &why),
                 qPrintable(why));

        const QJsonObject parsed = parsedByMailReader(text);
        QVERIFY(!parsed.isEmpty());
        QCOMPARE(parsed.value("defects").toArray(), QJsonArray());
        QCOMPARE(parsed.value("subject").toString(), subject);
        QCOMPARE(parsed.value("to").toString(), QStringLiteral("director@example.com"));
        QCOMPARE(parsed.value("from").toString(), QStringLiteral("office@example.ru"));
        QCOMPARE(parsed.value("content_type").toString(), QStringLiteral("multipart/mixed"));
        QCOMPARE(parsed.value("date").toString(), QStringLiteral("2024-03-08T09:05:07+03:00"));
        QCOMPARE(parsed.value("body_content_type").toString(), QStringLiteral("text/plain"));
        QCOMPARE(parsed.value("body_charset").toString(), QStringLiteral("utf-8"));
        QCOMPARE(parsed.value("body").toString(),
                 QStringLiteral("Реклама\r\nвторая строка\r\n.\r\nконец"));

        const QJsonArray attachments = parsed.value("attachments").toArray();
        QCOMPARE(attachments.size(), 4);
        const QStringList names = {QStringLiteral("poist.htm"), QStringLiteral("data.bin"),
                                   QStringLiteral("отчёт по датам.HTML"),
                                   QStringLiteral("a \"b\" c.txt")};
        const QStringList types = {"text/html", "application/octet-stream", "text/html",
                                   "application/octet-stream"};
        const QList<QByteArray> contents = {html, binary, named, quoted};
        for (int i = 0; i < 4; ++i) {
            const QJsonObject part = attachments.at(i).toObject();
            QCOMPARE(part.value("filename").toString(), names.at(i));
            QCOMPARE(part.value("content_type").toString(), types.at(i));
            QCOMPARE(QByteArray::fromBase64(part.value("data").toString().toLatin1()),
                     contents.at(i));
        }
        QCOMPARE(attachments.at(0).toObject().value("charset").toString(), QStringLiteral("utf-8"));
    }

    void wireFormatIsPlainAsciiWithShortLines()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("point.htm")), QByteArray(5000, 'x'));
        MailMessage message;
        message.setRecipient(QStringLiteral("info@почта.рф"));
        const QString subject = QStringLiteral("Ё").repeated(30) +
                                QStringLiteral("😀").repeated(25) +
                                QStringLiteral(" hello =?UTF-8?B?x?= world");
        message.setSubject(subject);
        message.setBody(QStringLiteral("т").repeated(300));
        message.addAttachment(dir.filePath(QStringLiteral("point.htm")));
        QByteArray text;
        QVERIFY(message.compose(QStringLiteral("office@example.ru"), &text));

        QVERIFY(text.endsWith("\r\n"));
        const QList<QByteArray> lines = text.chopped(1).split('\n');
        for (const QByteArray& line : lines) {
            QVERIFY2(line.endsWith('\r'), "every line ends with CRLF");
            QVERIFY2(line.size() - 1 <= 78, line.constData());
            QVERIFY(!line.chopped(1).contains('\r'));
        }
        for (char c : text)
            QVERIFY(uchar(c) < 0x80);
        QCOMPARE(field(text, "To"), QByteArray("<info@xn--80a1acny.xn--p1ai>"));

        // Every encoded word is at most 75 characters and decodes alone to whole characters.
        const QByteArray subjectValue = field(text, "Subject");
        static const QRegularExpression word(QStringLiteral("=\\?UTF-8\\?B\\?([^?]*)\\?="));
        QString joined;
        int words = 0;
        auto it = word.globalMatch(QString::fromLatin1(subjectValue));
        while (it.hasNext()) {
            const QRegularExpressionMatch match = it.next();
            QVERIFY2(match.capturedLength(0) <= 75, qPrintable(match.captured(0)));
            QStringDecoder decoder(QStringDecoder::Utf8);
            const QString piece =
                decoder.decode(QByteArray::fromBase64(match.captured(1).toLatin1()));
            QVERIFY(!decoder.hasError());
            joined += piece;
            ++words;
        }
        QVERIFY(words > 3);
        QCOMPARE(joined, subject);
    }

    void headersAreFixedWhateverTheLocaleAndUnique()
    {
        MailMessage message;
        message.setRecipient(QStringLiteral("director@example.com"));
        message.setDate(QDateTime(QDate(2024, 12, 1), QTime(23, 0), Qt::OffsetFromUTC, -5 * 3600));
        QByteArray first;
        QByteArray second;
        QVERIFY(message.compose(QStringLiteral("office@Example.RU"), &first));
        QVERIFY(message.compose(QStringLiteral("office@Example.RU"), &second));

        QCOMPARE(field(first, "Date"), QByteArray("Sun, 01 Dec 2024 23:00:00 -0500"));
        const QByteArray id = field(first, "Message-ID");
        QVERIFY2(QRegularExpression(QStringLiteral("^<[A-Za-z0-9.]+@example\\.ru>$"))
                     .match(QString::fromLatin1(id))
                     .hasMatch(),
                 id.constData());
        QVERIFY(id != field(second, "Message-ID"));
        QCOMPARE(field(first, "MIME-Version"), QByteArray("1.0"));
        QVERIFY(field(first, "Content-Type").startsWith("multipart/mixed;"));
        QVERIFY(field(first, "Content-Type") != field(second, "Content-Type"));
    }

    // Every try of one mail carries the Message-ID it was given; one that could carry another
    // header or is not one id is never written.
    void aGivenMessageIdIsKeptAndAForgedOneReplaced()
    {
        MailMessage message;
        message.setRecipient(QStringLiteral("director@example.com"));
        const QByteArray id = MailMessage::newMessageId(QStringLiteral("office@Example.RU"));
        QVERIFY2(QRegularExpression(QStringLiteral("^<[A-Za-z0-9.]+@example\\.ru>$"))
                     .match(QString::fromLatin1(id))
                     .hasMatch(),
                 id.constData());
        QVERIFY(id != MailMessage::newMessageId(QStringLiteral("office@example.ru")));
        message.setMessageId(id);
        QByteArray first;
        QByteArray second;
        QVERIFY(message.compose(QStringLiteral("office@example.ru"), &first));
        QVERIFY(message.compose(QStringLiteral("office@example.ru"), &second));
        QCOMPARE(field(first, "Message-ID"), id);
        QCOMPARE(field(second, "Message-ID"), id);

        for (const QByteArray& forged :
             {QByteArray("<a@b>\r\nBcc: evil@example.com"), QByteArray("<a b@c>"),
              QByteArray("a@b"), QByteArray("<a@b@c>"), QByteArray("<@b>"),
              QByteArray("<\xd0\x96@b>")}) {
            QVERIFY2(!MailMessage::isValidMessageId(forged), forged.constData());
            message.setMessageId(forged);
            QByteArray text;
            QVERIFY(message.compose(QStringLiteral("office@example.ru"), &text));
            QVERIFY(!text.contains("evil"));
            QVERIFY(MailMessage::isValidMessageId(field(text, "Message-ID")));
            QVERIFY(field(text, "Message-ID").endsWith("@example.ru>"));
        }
    }

    void controlCharactersNeverMakeAHeader_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("shown");
        QTest::newRow("crlf") << "x\r\nBcc: evil@example.com"
                              << "x Bcc: evil@example.com";
        QTest::newRow("lf") << "x\nBcc: evil@example.com"
                            << "x Bcc: evil@example.com";
        QTest::newRow("cr") << "x\rBcc: evil@example.com"
                            << "x Bcc: evil@example.com";
        QTest::newRow("line separator")
            << QStringLiteral("x\u2028Bcc: evil@example.com") << "x Bcc: evil@example.com";
        QTest::newRow("tab and nul") << QStringLiteral("a\tb") + QChar(0) + "c"
                                     << "a b c";
    }

    void controlCharactersNeverMakeAHeader()
    {
        QFETCH(QString, subject);
        QFETCH(QString, shown);
        MailMessage message;
        message.setRecipient(QStringLiteral("director@example.com"));
        message.setSubject(subject);
        message.setBody(QStringLiteral("Body\r\nCc: evil@example.com\r\n\r\nmore"));
        QByteArray text;
        QVERIFY(message.compose(QStringLiteral("office@example.ru"), &text));

        QList<QByteArray> names;
        for (const auto& pair : headerFields(text))
            names << pair.first.toLower();
        const QList<QByteArray> expected = {"date",    "message-id",   "from",        "to",
                                            "subject", "mime-version", "content-type"};
        QCOMPARE(names, expected);
        QVERIFY(!text.contains("evil@example.com"));
        QVERIFY(!text.contains("\nBcc") && !text.contains("\nCc"));

        KALVENT_REQUIRE_SMTP_TOOLS();
        const QJsonObject parsed = parsedByMailReader(text);
        QCOMPARE(parsed.value("subject").toString(), shown);
        QCOMPARE(SmtpTestServer::headers(parsed, QStringLiteral("Bcc")), QStringList());
        QCOMPARE(parsed.value("body").toString(),
                 QStringLiteral("Body\r\nCc: evil@example.com\r\n\r\nmore"));
    }

    // Without an HTML body the parts are those of a plain mail; with one, the text and the HTML
    // are alternatives, the HTML related to its image, and the attachments follow in order.
    void anHtmlBodyIsAnAlternativeWithItsImageInline()
    {
        KALVENT_REQUIRE_SMTP_TOOLS();
        QTemporaryDir dir;
        const QStringList names{"poist.htm", "pousl.htm", "point.htm", "podates.htm"};
        QStringList files;
        for (const QString& name : names) {
            writeFile(dir.filePath(name), "<p>" + name.toLatin1() + "</p>");
            files << dir.filePath(name);
        }
        const QByteArray png = writeFile(dir.filePath("grafik.png"),
                                         QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(300, 'p'));
        MailMessage message;
        message.setRecipient(QStringLiteral("director@example.com"));
        message.setSubject(QStringLiteral("Отчеты"));
        message.setBody(QStringLiteral("Отчеты"));
        message.setAttachments(files);
        const QStringList plain{"multipart/mixed", "  text/plain", "  text/html",
                                "  text/html",     "  text/html",  "  text/html"};
        QByteArray text;
        QVERIFY(message.compose(QStringLiteral("office@example.ru"), &text));
        QJsonObject parsed = parsedByMailReader(text);
        QCOMPARE(parsed.value("structure").toVariant().toStringList(), plain);
        QCOMPARE(parsed.value("body").toString(), QStringLiteral("Отчеты"));

        message.setBody(QStringLiteral("Отчеты\n\nЗвонков: 12"));
        const QString html = QStringLiteral("<p>Звонков: 12</p><img src=\"cid:g@x.invalid\">");
        message.setHtmlBody(html);
        message.setInlineImages({{"g@x.invalid", "image/png", dir.filePath("grafik.png")}});
        QVERIFY(message.compose(QStringLiteral("office@example.ru"), &text));
        parsed = parsedByMailReader(text);
        QCOMPARE(parsed.value("defects").toArray(), QJsonArray());
        QCOMPARE(parsed.value("structure").toVariant().toStringList(),
                 QStringList({"multipart/mixed", "  multipart/alternative", "    text/plain",
                              "    multipart/related", "      text/html", "      image/png",
                              "  text/html", "  text/html", "  text/html", "  text/html"}));
        const QJsonArray parts = parsed.value("parts").toArray();
        QCOMPARE(parts.at(0)["text"].toString(), QStringLiteral("Отчеты\r\n\r\nЗвонков: 12"));
        QCOMPARE(parts.at(1)["text"].toString(), html);
        QCOMPARE(parts.at(1)["charset"].toString(), QStringLiteral("utf-8"));
        QCOMPARE(parts.at(2)["content_id"].toString(), QStringLiteral("<g@x.invalid>"));
        QCOMPARE(parts.at(2)["disposition"].toString(), QStringLiteral("inline"));
        QCOMPARE(QByteArray::fromBase64(parts.at(2)["data"].toString().toLatin1()), png);
        QStringList attached;
        for (const QJsonValue& part : parsed.value("attachments").toArray())
            attached << part["filename"].toString();
        QCOMPARE(attached, names);

        // An image that cannot be read stops the message like an attachment would.
        QFile::remove(dir.filePath("grafik.png"));
        QString why;
        QVERIFY(!message.compose(QStringLiteral("office@example.ru"), &text, &why));
        QVERIFY2(why.contains(dir.filePath("grafik.png")), qPrintable(why));
    }

    void unreadableAttachmentIsAnErrorNamingTheFile()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("poist.htm")), "ok");
        const QString missing = dir.filePath(QStringLiteral("pousl.htm"));
        MailMessage message;
        message.setRecipient(QStringLiteral("director@example.com"));
        message.setAttachments({dir.filePath(QStringLiteral("poist.htm")), missing});
        QByteArray text = "untouched";
        QString why;
        QVERIFY(!message.compose(QStringLiteral("office@example.ru"), &text, &why));
        QVERIFY2(why.contains(QStringLiteral("«") + missing + QStringLiteral("»")),
                 qPrintable(why));
        QCOMPARE(text, QByteArray("untouched"));

        message.setAttachments({dir.path()});
        QVERIFY(!message.compose(QStringLiteral("office@example.ru"), &text, &why));
        QVERIFY2(why.contains(dir.path()), qPrintable(why));

        if (::geteuid() != 0) {
            const QString locked = dir.filePath(QStringLiteral("locked.htm"));
            writeFile(locked, "secret");
            QFile::setPermissions(locked, QFileDevice::WriteOwner);
            message.setAttachments({locked});
            QVERIFY(!message.compose(QStringLiteral("office@example.ru"), &text, &why));
            QVERIFY2(why.contains(locked), qPrintable(why));
        }
    }

    void badAddressesStopComposing()
    {
        MailMessage message;
        message.setRecipient(QStringLiteral("a@b.ru, c@d.ru"));
        QByteArray text;
        QString why;
        QVERIFY(!message.compose(QStringLiteral("office@example.ru"), &text, &why));
        QVERIFY(why.startsWith(QStringLiteral(
            "Адрес получателя «a@b.ru, c@d.ru» не является одним почтовым адресом")));
        QVERIFY(text.isEmpty());

        message.setRecipient(QStringLiteral("director@example.com"));
        QVERIFY(!message.compose(QStringLiteral("office\r\n@example.ru"), &text, &why));
        QVERIFY2(why.startsWith(QStringLiteral("Адрес отправителя")), qPrintable(why));
    }
};

QTEST_MAIN(TestSmtpMessage)
#include "tst_smtpmessage.moc"
