#pragma once

// The day every test's and benchmark's demo database is made for. The demo draws its dates
// from a range that ends on that day, so a fixed day gives the same rows whatever day the
// suite runs on; `./fas run` makes its demo for the day it creates it.

#include <QDate>
#include <QStringList>

inline QDate demoDay()
{
    return QDate(2026, 6, 30);
}

// The arguments that make `fas-appserver --init-demo` use that day.
inline QStringList demoDayArgs()
{
    return {QStringLiteral("--demo-day"), demoDay().toString(Qt::ISODate)};
}
