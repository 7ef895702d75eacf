#include "ReferenceList.h"

#include "DataEnv.h"
#include "Dialogs.h"
#include "ListNames.h"
#include "RowSet.h"

ReferenceList::ReferenceList(DataEnv* env, const QString& command, const Texts& texts)
    : m_env(env), m_rows(env->bind(command)), m_texts(texts)
{
}

bool ReferenceList::add(QWidget* parent)
{
    const Dialogs::PromptAnswer answer =
        Dialogs::prompt(parent, {m_texts.promptTitle, m_texts.promptLabel});
    if (!answer.accepted)
        return false;
    if (!m_rows->isOpen() && !m_rows->open()) {
        Dialogs::critical(parent, m_texts.promptTitle,
                          QStringLiteral("Запись не добавлена.\n%1").arg(m_env->errorText()));
        return false;
    }
    const QString refusal = ListNames::refusal(*m_rows, m_texts.column, answer.text);
    if (!refusal.isEmpty()) {
        Dialogs::critical(parent, m_texts.promptTitle, refusal);
        return false;
    }
    if (!m_rows->addRow(m_texts.column, ListNames::normalized(answer.text))) {
        Dialogs::critical(parent, m_texts.promptTitle,
                          QStringLiteral("Запись не добавлена.\n%1").arg(m_rows->errorText()));
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
    const auto choice = Dialogs::show(
        parent, {QMessageBox::Question, title,
                 QStringLiteral("Удалить «%1» из списка?\nУже записанные звонки сохранят это "
                                "название.")
                     .arg(name),
                 QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel});
    if (choice != QMessageBox::Ok)
        return false;
    if (!m_env->execute(m_texts.deleteCommand, {m_rows->value(row, "ID")})) {
        Dialogs::critical(parent, title,
                          QStringLiteral("Запись не удалена.\n%1").arg(m_env->errorText()));
        return false;
    }
    m_rows->dropRow(row);
    return true;
}
