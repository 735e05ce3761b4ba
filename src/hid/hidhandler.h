#pragma once
// A handler: a function bound to an object, which may be empty. Handlers compare equal when they
// are the same method bound to the same object, so that whoever hands handlers on can tell
// whether a receiver still carries the one it was given.

#include <QtGlobal>
#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <type_traits>
#include <typeinfo>
#include <utility>

namespace tavrel {

template <class Signature>
class Handler;

template <class R, class... Args>
class Handler<R(Args...)> {
public:
    Handler() = default;
    Handler(std::nullptr_t) {}

    template <class T, class Method>
    requires std::is_member_function_pointer_v<Method> Handler(T* object, Method method)
        : m_call([object, method](Args... args) -> R { return (object->*method)(std::forward<Args>(args)...); }),
          m_object(object), m_methodType(&typeid(Method))
    {
        static_assert(sizeof(Method) <= sizeof(m_method), "member pointer larger than expected");
        std::memcpy(m_method.data(), &method, sizeof(Method));
    }

    // Any other callable; it equals only its own copies.
    template <class F>
    requires(
        !std::is_same_v<std::decay_t<F>,
                        Handler> && std::is_invocable_r_v<R, F&, Args...> && !std::is_null_pointer_v<std::decay_t<F>>)
        Handler(F callable)
        : m_call(std::move(callable)), m_callableId(nextCallableId())
    {
    }

    explicit operator bool() const { return bool(m_call); }

    R operator()(Args... args) const { return m_call(std::forward<Args>(args)...); }

    friend bool operator==(const Handler& a, const Handler& b)
    {
        if (!a.m_call || !b.m_call)
            return !a.m_call && !b.m_call;
        if (a.m_object || b.m_object)
            return a.m_object == b.m_object && *a.m_methodType == *b.m_methodType && a.m_method == b.m_method;
        return a.m_callableId == b.m_callableId;
    }

private:
    static quint64 nextCallableId()
    {
        static std::atomic<quint64> last{0};
        return ++last;
    }

    std::function<R(Args...)> m_call;
    const void* m_object = nullptr;
    const std::type_info* m_methodType = nullptr;
    // The member pointer's bytes: the same method always has the same ones.
    std::array<unsigned char, 2 * sizeof(void*)> m_method{};
    quint64 m_callableId = 0;
};

}  // namespace tavrel
