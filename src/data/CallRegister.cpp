#include "CallRegister.h"

#include "DataEnv.h"

CallRegister::CallRegister(DataEnv* env) : m_env(env) {}

CallRegister::AddResult CallRegister::add(const QDate& date, const QString& service,
                                          const QString& source, bool booked, const QTime& time)
{
    m_error.clear();
    if (service.isEmpty() || source.isEmpty())
        return AddResult::MissingChoice;
    CallStore& calls = m_env->calls();
    if (!calls.add(Call{date, service, source, booked, time}, m_notice)) {
        m_error = calls.errorText();
        return AddResult::Failed;
    }
    return AddResult::Added;
}

CallRegister::RemoveResult CallRegister::removePrevious(const std::function<bool()>& confirm)
{
    CallStore& calls = m_env->calls();
    const RemoveResult result = calls.removeLast(confirm);
    m_error = calls.errorText();
    return result;
}
