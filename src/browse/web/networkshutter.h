#pragma once

#include <QNetworkProxy>

// Shuts what the browser engine connects to besides the requests a request
// guard sees (the TCP connections of WebRTC, connections opened ahead of
// time) while any view is off-line: the engine is told to reach everything
// through a proxy that is a port of this program's taking no connection, so
// nothing leaves the machine. One for the program, as the engine's proxy is.
class NetworkShutter {
public:
    static NetworkShutter &instance();
    // A view goes off-line (true) or back on-line (false); the network
    // stays shut while any view is off-line.
    void shut(bool shut);

private:
    NetworkShutter();

    QNetworkProxy m_before;
    QNetworkProxy m_deadEnd;
    int m_offline = 0;
};
