#include "browse/web/networkshutter.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port of the loopback bound for the rest of the run and never listening:
// a connection to it is refused at once. 0 when none could be had (then
// port 0, which takes no connection either).
quint16 deadEndPort()
{
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return 0;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (::bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ::close(socket);
        return 0;
    }
    return ntohs(address.sin_port);
}

} // namespace

NetworkShutter &NetworkShutter::instance()
{
    static NetworkShutter shutter;
    return shutter;
}

NetworkShutter::NetworkShutter()
    : m_before(QNetworkProxy::applicationProxy()),
      m_deadEnd(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), deadEndPort())
{
}

void NetworkShutter::shut(bool shut)
{
    m_offline += shut ? 1 : -1;
    if (m_offline == (shut ? 1 : 0))
        QNetworkProxy::setApplicationProxy(m_offline > 0 ? m_deadEnd : m_before);
}
