#include "ImportHarness.h"

#include "FuzzSupport.h"

#include <QSqlQuery>
#include <QVariant>

ImportHarness::ImportHarness() : m_env(FuzzSupport::workDir() + QStringLiteral("/calls.db"))
{
    FUZZ_REQUIRE(m_env.connect());
}

ImportHarness& ImportHarness::instance()
{
    static ImportHarness* harness = new ImportHarness;
    return *harness;
}

int ImportHarness::storedCalls()
{
    QSqlQuery query(m_env.database().connection());
    FUZZ_REQUIRE(query.exec(QStringLiteral("SELECT COUNT(*) FROM Base")) && query.next());
    return query.value(0).toInt();
}

QVariantList ImportHarness::firstDateAndTime()
{
    QSqlQuery query(m_env.database().connection());
    FUZZ_REQUIRE(query.exec(QStringLiteral("SELECT Data, Vrem FROM Base ORDER BY ID LIMIT 1")) &&
                 query.next());
    return {query.value(0), query.value(1)};
}

void ImportHarness::clear()
{
    QSqlQuery query(m_env.database().connection());
    FUZZ_REQUIRE(query.exec(QStringLiteral("DELETE FROM Base")));
}
