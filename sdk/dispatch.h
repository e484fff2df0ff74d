#pragma once
// The object model shared by host and components: every interface that
// crosses the component boundary begins with one dispatch entry,
//   dispatch(message number, result pointer, argument-pointer array, count)
// which answers nonzero when it handled the message. Callers pass each
// argument by pointer and read the result only after a handled call; an
// unhandled message counts as a result of the caller's default (0).
//
// Argument types are part of each message's contract: ints are `int`, texts
// `const char*` (8-bit, NUL-terminated, Windows-1252), GUIDs `qom::Guid`,
// objects pointers to their interface type.
#include <cstddef>

namespace qom {

class Dispatchable {
 public:
  virtual int dispatch(int message, void* result, void** args, int argCount) = 0;

 protected:
  ~Dispatchable() = default;
};

// Sends `message` with `args` and returns the result, or `fallback` when the
// receiver is null or does not handle the message.
template <class R, class... A>
R dispatchCall(Dispatchable* receiver, int message, R fallback, A... args) {
  void* argv[sizeof...(A) + 1] = {const_cast<void*>(static_cast<const void*>(&args))..., nullptr};
  R result = fallback;
  if (receiver == nullptr || !receiver->dispatch(message, &result, argv, static_cast<int>(sizeof...(A))))
    return fallback;
  return result;
}

// Sends `message` with no result; answers whether it was handled.
template <class... A>
bool dispatchSend(Dispatchable* receiver, int message, A... args) {
  void* argv[sizeof...(A) + 1] = {const_cast<void*>(static_cast<const void*>(&args))..., nullptr};
  return receiver != nullptr &&
         receiver->dispatch(message, nullptr, argv, static_cast<int>(sizeof...(A))) != 0;
}

// Receiving side: argument i as T, or `fallback` when the sender passed fewer
// arguments or a null pointer.
template <class T>
T dispatchArg(void** args, int argCount, int i, T fallback = T{}) {
  if (args == nullptr || i < 0 || i >= argCount || args[i] == nullptr) return fallback;
  return *static_cast<T*>(args[i]);
}

template <class T>
void dispatchResult(void* result, const T& value) {
  if (result != nullptr) *static_cast<T*>(result) = value;
}

}  // namespace qom
