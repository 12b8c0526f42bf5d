#pragma once
#include "core/foundation/ErrorCode.h"

namespace tonvane {

// Receiver of a TcpConnection's network events. Every operation runs on the connection's event
// thread and receives 0 or the error code of the event. Within one wake-up the events are
// delivered in the order read, write, accept, connect, close.
class ConnectionHandler {
public:
    virtual void onAccept(ErrorCode error) = 0;
    virtual void onClose(ErrorCode error) = 0;
    virtual void onConnect(ErrorCode error) = 0;
    virtual void onRead(ErrorCode error) = 0;
    virtual void onWrite(ErrorCode error) = 0;

protected:
    ~ConnectionHandler() = default;
};

} // namespace tonvane
