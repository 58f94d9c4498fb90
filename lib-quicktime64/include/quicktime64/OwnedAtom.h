// An owning pointer to an optional child (an atom or a sample description) that copies the
// child deeply when the parent is copied. Null means "absent".
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_OWNEDATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_OWNEDATOM_H_

#include <memory>
#include <utility>

namespace MavrelQuickTime64Atom {

template <class T>
class Owned {
 public:
  Owned() = default;
  explicit Owned(std::unique_ptr<T> p) : p_(std::move(p)) {}
  Owned(const Owned& other) : p_(Copy(other.p_)) {}
  Owned(Owned&&) noexcept = default;
  Owned& operator=(const Owned& other) {
    if (this != &other) p_ = Copy(other.p_);
    return *this;
  }
  Owned& operator=(Owned&&) noexcept = default;
  Owned& operator=(std::unique_ptr<T> p) {
    p_ = std::move(p);
    return *this;
  }

  T* get() const { return p_.get(); }
  T* operator->() const { return p_.get(); }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void reset() { p_.reset(); }
  // Creates a default child when absent; returns it.
  T& Ensure() {
    if (!p_) p_ = std::make_unique<T>();
    return *p_;
  }

 private:
  static std::unique_ptr<T> Copy(const std::unique_ptr<T>& p) {
    if (!p) return nullptr;
    return std::unique_ptr<T>(static_cast<T*>(p->Clone().release()));
  }

  std::unique_ptr<T> p_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_OWNEDATOM_H_
