#pragma once

#include "FasConfig.h"

#include <QSqlDatabase>
#include <QString>

// The suite's shared database as the screens see it: one connection ("dtbGeral") opened on
// first use from the configuration (fas.ini and the FAS_DB_* variables), read-only. A failure
// to open is reported to the user and aborts (MensErro).
class TdtmDBGeral
{
public:
    static constexpr const char* ConnectionName = "dtbGeral";

    // The open connection; opens it on first use.
    static QSqlDatabase Database();
    // Replaces the configuration; the next Database() opens with it.
    static void Configure(const FasConfig& config);
    // Closes the connection (the next Database() opens it again).
    static void Close();
};
