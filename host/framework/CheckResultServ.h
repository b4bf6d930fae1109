#pragma once

#include <QJsonValue>

// Returns the data of an application-server result ({"ok":true,"data":…}). When the result
// reports a failure ({"ok":false,"message":…}) or is no result at all, the message is shown
// through the message service and, with abort true, the running operation is abandoned with
// the silent EAbort; with abort false an undefined value is returned after the message.
QJsonValue CheckResultServ(const QJsonValue& result, bool abort, int helpContext);
