#pragma once

#include <QString>
#include <stdexcept>

// A failure the server reports to the user ({"ok":false,"message":…}): the text is Portuguese
// and says what to do; nothing of the call was written.
class ServiceFailure : public std::runtime_error
{
public:
    explicit ServiceFailure(const QString& message)
        : std::runtime_error(message.toStdString()), text(message)
    {}
    QString message() const { return text; }

private:
    QString text;
};

// A write that lost a race with another session's write of the same rows (another server on
// the same database): nothing of the call was written, and running it again sees the winner's
// result.
class WriteRace : public ServiceFailure
{
public:
    using ServiceFailure::ServiceFailure;
};
