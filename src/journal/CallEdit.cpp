#include "CallEdit.h"

#include "DataEnv.h"
#include "ListNames.h"
#include "RowSet.h"

CallEdit::CallEdit(QStringList services, QStringList sources)
    : m_services(std::move(services)), m_sources(std::move(sources))
{
}

CallEdit CallEdit::fromLists(DataEnv* env)
{
    auto names = [env](const QString& command, const QString& column) {
        QStringList list;
        RowSet* rows = env->bind(command);
        if (rows && rows->isOpen())
            for (int i = 0; i < rows->rowCount(); ++i)
                list << rows->value(i, column).toString();
        return list;
    };
    return {names(QStringLiteral("Uslugi"), QStringLiteral("Uname")),
            names(QStringLiteral("Istochnik"), QStringLiteral("IName"))};
}

QString CallEdit::listed(const QStringList& list, const QString& name)
{
    const QString key = ListNames::key(ListNames::normalized(name));
    for (const QString& entry : list)
        if (entry == name || ListNames::key(ListNames::normalized(entry)) == key)
            return entry;
    return {};
}

bool CallEdit::fail(const QString& error)
{
    m_error = error;
    return false;
}

bool CallEdit::check(Call& call)
{
    m_error.clear();
    if (!call.date.isValid())
        return fail(QStringLiteral("Укажите дату звонка."));
    if (ListNames::normalized(call.service).isEmpty())
        return fail(QStringLiteral("Выберите услугу."));
    if (ListNames::normalized(call.source).isEmpty())
        return fail(QStringLiteral("Выберите источник рекламы."));
    const QString service = listed(m_services, call.service);
    if (service.isEmpty())
        return fail(QStringLiteral("Услуги «%1» нет в списке услуг.").arg(call.service));
    const QString source = listed(m_sources, call.source);
    if (source.isEmpty())
        return fail(
            QStringLiteral("Источника «%1» нет в списке источников рекламы.").arg(call.source));
    call.service = service;
    call.source = source;
    return true;
}
