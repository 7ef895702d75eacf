#pragma once

#include <QByteArray>
#include <QList>
#include <mutex>
#include <thread>

// A mail server on the loopback address that answers from a script instead of speaking SMTP:
// on a connection it sends the first reply of the script, then one more after every line the
// client sends (after the whole message once a DATA command was answered with 354). It hangs
// up when the script is done or the client has been silent for a moment.
class ScriptedSmtpServer
{
public:
    ScriptedSmtpServer();
    ScriptedSmtpServer(const ScriptedSmtpServer&) = delete;
    ScriptedSmtpServer& operator=(const ScriptedSmtpServer&) = delete;

    int port() const { return m_port; }
    // The replies for the next connection.
    void setScript(const QList<QByteArray>& replies);

private:
    void serve();
    void converse(int socket, const QList<QByteArray>& replies);

    int m_listener = -1;
    int m_port = 0;
    std::mutex m_mutex;
    QList<QByteArray> m_script;
    std::thread m_thread;
};
