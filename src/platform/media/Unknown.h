#pragma once
// The root of every media object. Objects are owned by std::shared_ptr; an interface is reached
// with queryInterface<T>(): first the object itself (a C++ cast), then the objects it exposes on
// its behalf (a pin's stream configuration, a filter's device controls) through getInterface.

#include <memory>
#include <typeinfo>

namespace vistrel::platform::media {

class Unknown : public std::enable_shared_from_this<Unknown> {
 public:
  virtual ~Unknown() = default;

  template <class T>
  std::shared_ptr<T> queryInterface() {
    std::shared_ptr<Unknown> self = weak_from_this().lock();
    if (!self) return nullptr;  // not owned by a shared_ptr: nothing can be handed out
    if (auto t = std::dynamic_pointer_cast<T>(self)) return t;
    return std::dynamic_pointer_cast<T>(getInterface(typeid(T)));
  }

 protected:
  // Objects that expose an interface through another object return it here (or nullptr).
  virtual std::shared_ptr<Unknown> getInterface(const std::type_info&) { return nullptr; }
};

// queryInterface on any pointer, null-safe (a free function, so members do not hide it).
template <class T, class U>
std::shared_ptr<T> interfaceOf(const std::shared_ptr<U>& object) {
  if (!object) return nullptr;
  return object->template queryInterface<T>();
}

}  // namespace vistrel::platform::media
