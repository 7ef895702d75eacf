#include "PostgresConnectionOptions.h"

#include <QStringList>

QString PostgresConnectionOptions::text(const QMap<QString, QString>& parameters)
{
    QMap<QString, QString> options{{"connect_timeout", "10"}, {"application_name", "kalvent"}};
    options.insert(parameters);
    // The driver joins the options into the client library's "key='value' ..." string as they
    // are: a value is quoted here, a quote and a backslash in it escaped.
    QStringList list;
    for (auto option = options.cbegin(); option != options.cend(); ++option) {
        QString value = option.value();
        value.replace('\\', "\\\\").replace('\'', "\\'");
        list << QStringLiteral("%1='%2'").arg(option.key(), value);
    }
    return list.join(';');
}
