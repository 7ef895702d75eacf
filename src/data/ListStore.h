#pragma once

#include "DataStore.h"

#include <QObject>

class DataEnv;
class RowSet;

// The reference lists ("Uslugi", the services, and "Istochnik", the sources) through their
// shared row sets, so that every bound list shows a change at once: entries added, renamed,
// merged and removed, and the calls that use them.
class ListStore : public QObject, public DataStore
{
    Q_OBJECT

public:
    explicit ListStore(DataEnv& env);

    // Adds a name as ListNames stores it; a name it refuses, or one already listed (letter
    // case aside), is not added and refused() tells so.
    bool add(const QString& listCommand, const QString& name);
    // The entry of the list that `name` means (blanks and letter case aside, see ListNames),
    // written as the list writes it; null when the list holds none. False when the list could
    // not be read.
    bool find(const QString& listCommand, const QString& name, QString* entry);
    // The last add() or rename() failed on the name rather than on the database.
    bool refused() const { return m_refused; }
    // Removes the entry at `row`; calls keep the name they were stored with.
    bool remove(const QString& listCommand, int row);
    // The number of recorded calls whose name is `name`, letter case aside; -1 on failure.
    qint64 callsUsing(const QString& listCommand, const QString& name);
    // Renames the entry at `row`, and every call that uses its name, in one transaction; the
    // new name is stored as ListNames gives it, and refused when it cannot be. A new name equal
    // to another entry (letter case aside) merges into that one: the entry goes and its calls
    // take the other's name, given back in *mergedInto. The source the Internet report counts
    // by its name (SqlDialect::internetSource(), letter case aside) keeps that name: renaming
    // it is refused (refused() tells so) unless only the letter case changes.
    bool rename(const QString& listCommand, int row, const QString& newName,
                QString* mergedInto = nullptr);

    // Whether `name` is the source the Internet report counts, letter case aside.
    static bool isInternet(const QString& name);

Q_SIGNALS:
    // A list was reloaded after another desk or program changed it.
    void listChanged(const QString& listCommand);

private:
    void onTableChanged(const QString& table);
    void onChangedElsewhere();
    // Reads a list's shared row set again (when it is open), if asked only when its stored
    // rows differ from it.
    void reload(const QString& list, bool onlyWhenChanged);
    bool differsFromStored(const RowSet& rows);
    // The shared row set of a list, open; null (and errorText()) when it cannot be.
    RowSet* openList(const QString& listCommand);

    DataEnv& m_env;
    bool m_refused = false;
};
