#pragma once

#include "CallWriter.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVector>

class PostgresDialect;

// Bulk insertion on the server: calls travel in batches of many rows to a session table; at
// the end they go into Base with their keys, and their totals are added, in a few statements.
// Other desks adding calls meanwhile are neither counted twice nor missed.
class PostgresCallWriter : public CallWriter
{
public:
    PostgresCallWriter(const PostgresDialect& dialect, const QSqlDatabase& db);

    bool add(const QVariantList& call) override;
    bool finish() override;

private:
    bool flush();
    bool runAll(const QStringList& statements);

    static constexpr int batchRows = 500;

    const PostgresDialect& m_dialect;
    QSqlDatabase m_db;
    QSqlQuery m_batch;
    QVector<QVariantList> m_pending;
    bool m_ready = false;
};
