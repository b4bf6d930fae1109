#pragma once

#include <QByteArray>

struct ServerResult;

// Returns the data of an application-server result ({"ok":true,"data":…}) as its JSON text.
// When the result reports a failure ({"ok":false,"message":…}) or is no result at all (a
// success without data included), the message is shown through the message service and, with
// abort true, the running operation is abandoned with the silent EAbort; with abort false a
// null array is returned after the message.
QByteArray CheckResultServ(const ServerResult& result, bool abort, int helpContext);
