#include "ReferenceList.h"

#include "DataEnv.h"
#include "Dialogs.h"
#include "ListNames.h"
#include "ListStore.h"
#include "RowSet.h"

ReferenceList::ReferenceList(DataEnv* env, const QString& command, const Texts& texts)
    : m_env(env), m_rows(env->bind(command)), m_rowsCommand(command), m_texts(texts)
{
}

bool ReferenceList::add(QWidget* parent)
{
    const Dialogs::PromptAnswer answer =
        Dialogs::prompt(parent, {m_texts.promptTitle, m_texts.promptLabel, QString()});
    if (!answer.accepted)
        return false;
    ListStore& lists = m_env->lists();
    if (!lists.add(m_rowsCommand, answer.text)) {
        Dialogs::critical(parent, m_texts.promptTitle,
                          lists.refused()
                              ? lists.errorText()
                              : QStringLiteral("Запись не добавлена.\n%1").arg(lists.errorText()));
        return false;
    }
    return true;
}

bool ReferenceList::remove(QWidget* parent, int row)
{
    const QString title = QStringLiteral("Удаление");
    if (row < 0 || row >= m_rows->rowCount()) {
        Dialogs::information(parent, title, QStringLiteral("Выберите запись в списке."));
        return false;
    }
    const QString name = m_rows->value(row, m_texts.column).toString();
    ListStore& lists = m_env->lists();
    const qint64 calls = lists.callsUsing(m_rowsCommand, name);
    const QString usage =
        calls > 0 ? QStringLiteral("Это название записано в %1 звонк(ах): они сохранят его, но в "
                                   "отчетах по этому списку больше не будут показаны.")
                        .arg(calls)
                  : QStringLiteral("Записанных звонков с этим названием нет.");
    const auto choice =
        Dialogs::show(parent, {QMessageBox::Question, title,
                               QStringLiteral("Удалить «%1» из списка?\n%2").arg(name, usage),
                               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel});
    if (choice != QMessageBox::Ok)
        return false;
    if (!lists.remove(m_rowsCommand, row)) {
        Dialogs::critical(parent, title,
                          QStringLiteral("Запись не удалена.\n%1").arg(lists.errorText()));
        return false;
    }
    return true;
}

bool ReferenceList::rename(QWidget* parent, int row)
{
    const QString title = QStringLiteral("Переименование");
    if (row < 0 || row >= m_rows->rowCount())
        return false;
    const QString name = m_rows->value(row, m_texts.column).toString();
    const Dialogs::PromptAnswer answer =
        Dialogs::prompt(parent, {title, QStringLiteral("Новое название «%1»").arg(name), name});
    const QString newName = ListNames::normalized(answer.text);
    if (!answer.accepted || answer.text == name || newName == name)
        return false;
    const QString fault = ListNames::fault(newName);
    if (!fault.isEmpty()) {
        Dialogs::critical(parent, title, fault + QStringLiteral(" Ничего не изменено."));
        return false;
    }
    QString mergedInto;
    ListStore& lists = m_env->lists();
    if (!lists.rename(m_rowsCommand, row, newName, &mergedInto)) {
        Dialogs::critical(parent, title,
                          lists.refused()
                              ? lists.errorText()
                              : QStringLiteral("Название не изменено.\n%1").arg(lists.errorText()));
        return false;
    }
    if (!mergedInto.isEmpty())
        Dialogs::information(parent, title,
                             QStringLiteral("«%1» объединено с «%2»: звонки записаны под «%2».")
                                 .arg(name, mergedInto));
    return true;
}
