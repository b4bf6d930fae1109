#pragma once

#include <QByteArray>
#include <QJsonValue>

struct ServerPacketResult;

// Returns the data of an application-server result ({"ok":true,"data":…}). When the result
// reports a failure ({"ok":false,"message":…}) or is no result at all, the message is shown
// through the message service and, with abort true, the running operation is abandoned with
// the silent EAbort; with abort false an undefined value is returned after the message.
QJsonValue CheckResultServ(const QJsonValue& result, bool abort, int helpContext);

// The same for a result whose data came as text (AppServerInterface::callPacket): returns
// the data's JSON text. A success without data is no result either; with abort false a
// null array is returned after the message.
QByteArray CheckResultServ(const ServerPacketResult& result, bool abort, int helpContext);
