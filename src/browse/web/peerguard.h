#pragma once

#include <QString>

// The script that keeps WebRTC and WebTransport out of every frame of a page
// (see peerguard.cpp).
namespace PeerGuard {
QString script();
}
