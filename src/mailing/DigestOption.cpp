#include "DigestOption.h"

#include "MailMessage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

enum File
{
    Text,
    Html,
    Chart
};

Outcome<QString> readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Outcome<QString>::failure(
            QStringLiteral("Не удалось прочитать сводку «%1»: %2")
                .arg(QDir::toNativeSeparators(path), file.errorString()));
    return QString::fromUtf8(file.readAll());
}

} // namespace

QStringList DigestOption::fileNames()
{
    return {QStringLiteral("svodka.txt"), QStringLiteral("svodka.htm"),
            QStringLiteral("svodka.png")};
}

QStringList DigestOption::filePaths(const QString& dir)
{
    QStringList paths;
    for (const QString& name : fileNames())
        paths << QDir(dir).filePath(name);
    return paths;
}

QStringList DigestOption::takeDigestFiles(QStringList* files)
{
    QStringList digest;
    for (const QString& name : fileNames()) {
        for (const QString& file : std::as_const(*files))
            if (QFileInfo(file).fileName() == name) {
                digest << file;
                break;
            }
    }
    // Only a whole summary makes a body; the files of a part of one stay attachments.
    if (digest.size() != fileNames().size())
        return {};
    for (const QString& file : std::as_const(digest))
        files->removeOne(file);
    return digest;
}

Outcome<void> DigestOption::fillBody(MailMessage* message, const QString& mailText,
                                     const QStringList& files)
{
    if (files.size() != fileNames().size())
        return Outcome<void>::failure(QStringLiteral("Сводка для письма неполна."));
    const Outcome<QString> text = readText(files.at(Text));
    if (!text)
        return Outcome<void>::failure(text.errorText());
    const Outcome<QString> html = readText(files.at(Html));
    if (!html)
        return Outcome<void>::failure(html.errorText());
    message->setBody(plainBody(mailText, text.value()));
    message->setHtmlBody(htmlBody(mailText, html.value()));
    message->setInlineImages({{QByteArray(chartContentId), "image/png", files.at(Chart)}});
    return {};
}

QString DigestOption::plainBody(const QString& mailText, const QString& digestText)
{
    return mailText + QStringLiteral("\n\n") + digestText;
}

QString DigestOption::htmlBody(const QString& mailText, const QString& digestHtml)
{
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title>"
                          "</head>\n<body style=\"font-family: sans-serif\">\n<p>%2</p>\n%3"
                          "</body></html>\n")
        .arg(mailText.toHtmlEscaped(),
             mailText.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")),
             digestHtml);
}
