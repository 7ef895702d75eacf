#include "CallRegister.h"

#include "DataEnv.h"
#include "RowSet.h"

CallRegister::CallRegister(DataEnv* env) : m_env(env) {}

CallRegister::AddResult CallRegister::add(const QDate& date, const QString& service,
                                          const QString& source, bool booked, const QTime& time)
{
    m_error.clear();
    if (service.isEmpty() || source.isEmpty())
        return AddResult::MissingChoice;
    if (!m_env->executeWaiting("AddNew", {date, service, source, booked, time}, m_notice)) {
        m_error = m_env->errorText();
        return AddResult::Failed;
    }
    return AddResult::Added;
}

bool CallRegister::openLast(bool* empty)
{
    m_error.clear();
    RowSet* calls = m_env->rowSet("rsBase");
    if (!calls->open()) {
        m_error = m_env->errorText();
        return false;
    }
    *empty = !calls->moveLast();
    return true;
}

bool CallRegister::deleteLast()
{
    RowSet* calls = m_env->rowSet("rsBase");
    if (!calls->deleteCurrent()) {
        m_error = calls->errorText();
        return false;
    }
    return true;
}

void CallRegister::closeLast()
{
    m_env->rowSet("rsBase")->close();
}
