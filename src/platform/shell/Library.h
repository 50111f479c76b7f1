#pragma once
// A loaded shared library (plug-in modules, filter libraries). Unloaded when destroyed.

#include <QString>

namespace vistrel::platform::shell {

class Library {
 public:
  Library() = default;
  ~Library() { unload(); }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  Library(Library&& other) noexcept : handle_(other.handle_), error_(std::move(other.error_)) {
    other.handle_ = nullptr;
  }

  bool load(const QString& path);
  // Null (with errorText() set) when the symbol is missing or nothing is loaded.
  void* symbol(const char* name);
  void unload();
  bool loaded() const { return handle_ != nullptr; }
  const QString& errorText() const { return error_; }

 private:
  void* handle_ = nullptr;
  QString error_;
};

}  // namespace vistrel::platform::shell
