#pragma once

#include "FasConfig.h"

#include <QString>

// Where the application server is reached: the host and port from the configuration
// (fas.ini beside the program or the file named by the program's --config argument, then
// FAS_WEB_URL / FAS_WEB_PORT). Read anew at every call, so a changed file or variable takes
// effect at the next connect.
QString WebURL();
int WebPort();
// The whole configuration as read now (token and TLS settings included).
FasConfig WebConfiguration();
