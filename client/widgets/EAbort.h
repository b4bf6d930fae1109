#pragma once

#include <exception>

// The silent exception: it abandons the running handler and is never reported to the
// user. MensErro and CheckResultServ throw it after their message has been shown.
class EAbort : public std::exception
{
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};
