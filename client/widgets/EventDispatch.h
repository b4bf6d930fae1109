#pragma once

#include <QObject>
#include <functional>
#include <type_traits>
#include <utility>

// The one way from a Qt signal or event into a user handler. Qt's event loop must never
// see an exception: Dispatch runs the handler and catches everything it throws.
//  - EAbort ends the handler silently (its message, if any, has already been shown);
//  - any other exception is reported to the user as an error through MessageService.
// Returns true when the handler ran to its end.
bool Dispatch(const std::function<void()>& handler);

// The general error text for a failure that is not an EAbort.
QString DispatchErrorText(const QString& detail);

namespace EventDispatchDetail {
template <typename Fn, typename... Args> void invokeWithWhatFits(Fn& fn, Args&&... args)
{
    if constexpr (std::is_invocable_v<Fn&, Args...>)
        std::invoke(fn, std::forward<Args>(args)...);
    else
        std::invoke(fn);
}
} // namespace EventDispatchDetail

// Connects a signal to a handler through Dispatch. The handler may take the signal's
// arguments or none at all. The connection ends with `context`.
template <typename Signal, typename Fn>
QMetaObject::Connection
connectHandler(const typename QtPrivate::FunctionPointer<Signal>::Object* sender, Signal signal,
               const QObject* context, Fn fn)
{
    return QObject::connect(sender, signal, context, [fn = std::move(fn)](auto&&... args) mutable {
        Dispatch([&] { EventDispatchDetail::invokeWithWhatFits(fn, args...); });
    });
}

// As above, with the sender as the context.
template <typename Signal, typename Fn>
QMetaObject::Connection
connectHandler(const typename QtPrivate::FunctionPointer<Signal>::Object* sender, Signal signal,
               Fn fn)
{
    return connectHandler(sender, signal, sender, std::move(fn));
}
