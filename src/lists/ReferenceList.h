#pragma once

#include <QString>

class DataEnv;
class QWidget;
class RowSet;

// One reference list (services or sources): adding an entry through a prompt, deleting one
// after a confirmation. Calls keep the names they were stored with.
class ReferenceList
{
public:
    struct Texts
    {
        QString column; // column the add writes
        QString promptTitle;
        QString promptLabel;
    };

    ReferenceList(DataEnv* env, const QString& command, const Texts& texts);

    RowSet* rows() const { return m_rows; }
    // The column of the names.
    QString column() const { return m_texts.column; }
    // Asks for a name; Cancel adds nothing, an empty name is refused. True when a row was added.
    bool add(QWidget* parent);
    // Asks for confirmation, then deletes the entry at row. True when it was deleted.
    bool remove(QWidget* parent, int row);
    // Asks for a new name of the entry at row (the prompt holds the old one), then renames it
    // and every call that uses it; a name already in the list merges the two. True when done.
    bool rename(QWidget* parent, int row);

private:
    DataEnv* m_env;
    RowSet* m_rows;
    QString m_rowsCommand;
    Texts m_texts;
};
