#include "ScriptedSmtpServer.h"

#include "FuzzSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// How long the server waits for the client's next line before it hangs up.
constexpr int kSilenceMs = 100;

bool sendAll(int socket, const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(socket, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

// Reads into `pending` until it holds `end`; false on silence, end of stream or an error.
bool readUntil(int socket, QByteArray& pending, const QByteArray& end)
{
    while (!pending.contains(end)) {
        pollfd waiting{socket, POLLIN, 0};
        if (::poll(&waiting, 1, kSilenceMs) <= 0)
            return false;
        char buffer[4096];
        const ssize_t n = ::recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        pending.append(buffer, qsizetype(n));
    }
    return true;
}

} // namespace

ScriptedSmtpServer::ScriptedSmtpServer()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    FUZZ_REQUIRE(m_listener >= 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    FUZZ_REQUIRE(::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) == 0);
    FUZZ_REQUIRE(::listen(m_listener, 4) == 0);
    FUZZ_REQUIRE(::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) == 0);
    m_port = ntohs(address.sin_port);
    // Serves until the process ends.
    m_thread = std::thread([this] { serve(); });
    m_thread.detach();
}

void ScriptedSmtpServer::setScript(const QList<QByteArray>& replies)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_script = replies;
}

void ScriptedSmtpServer::serve()
{
    for (;;) {
        const int socket = ::accept(m_listener, nullptr, nullptr);
        if (socket < 0)
            continue;
        QList<QByteArray> replies;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            replies = m_script;
        }
        converse(socket, replies);
        ::close(socket);
    }
}

void ScriptedSmtpServer::converse(int socket, const QList<QByteArray>& replies)
{
    QByteArray pending;
    bool message = false;
    for (qsizetype i = 0; i < replies.size(); ++i) {
        const QByteArray& reply = replies.at(i);
        if (message) {
            if (!readUntil(socket, pending, "\r\n.\r\n"))
                return;
            pending.remove(0, pending.indexOf("\r\n.\r\n") + 5);
            message = false;
        } else if (i > 0) {
            if (!readUntil(socket, pending, "\n"))
                return;
            const qsizetype end = pending.indexOf('\n');
            const QByteArray line = pending.left(end).trimmed().toUpper();
            pending.remove(0, end + 1);
            message = line == "DATA" && reply.startsWith("354");
        }
        if (!sendAll(socket, reply))
            return;
    }
}
