#pragma once

#include "RegisterFigures.h"

#include <QString>
#include <QVector>

class DataEnv;

// Copies a register (the two lists, every call, the spend and the change log) from one location to
// another, file or server, in one transaction of the target: the target's lists are replaced by the
// source's, in their order, and the calls go in with their totals. Before the commit the counts and
// every report over the whole span of the calls are compared on both sides; any difference rolls
// the copy back. A target that already holds calls is refused and left untouched, unless it is to
// be replaced: then its calls, totals and spend go in the same transaction. The source is read
// in one snapshot transaction, so a busy source gives the register of one moment.
class RegisterCopy
{
public:
    RegisterCopy(DataEnv& source, DataEnv& target) : m_source(source), m_target(target) {}

    // The target's calls are removed rather than refused.
    void setReplacing(bool replacing) { m_replacing = replacing; }
    bool run();
    qint64 calls() const { return m_calls; }
    // The source's figures read in the snapshot the copy was taken from (after run()).
    const RegisterFigures& sourceFigures() const { return m_sourceFigures; }
    // True when the target was refused because it holds calls.
    bool targetNotEmpty() const { return m_targetNotEmpty; }
    QString errorText() const { return m_error; }

private:
    bool copyLists();
    bool copyCalls();
    // The tables copied row for row (the spend), replacing the target's.
    bool copyRows();
    // The change log, its entries following the calls' new keys.
    bool copyChanges();
    bool compare();
    bool copyInTransaction();
    bool fail(const QString& error);

    DataEnv& m_source;
    DataEnv& m_target;
    qint64 m_calls = 0;
    // The keys of the source's calls in order, and of their copies.
    QVector<qint64> m_sourceIds;
    QVector<qint64> m_targetIds;
    bool m_replacing = false;
    bool m_targetNotEmpty = false;
    RegisterFigures m_sourceFigures;
    QString m_error;
};
