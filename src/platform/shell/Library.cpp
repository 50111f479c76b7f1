#include "platform/shell/Library.h"

#include <dlfcn.h>

#include <QFile>

namespace vistrel::platform::shell {

bool Library::load(const QString& path) {
  unload();
  handle_ = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* why = ::dlerror();
    error_ = why ? QString::fromLocal8Bit(why) : QStringLiteral("cannot load ") + path;
    return false;
  }
  error_.clear();
  return true;
}

void* Library::symbol(const char* name) {
  if (!handle_) {
    error_ = QStringLiteral("no library loaded");
    return nullptr;
  }
  ::dlerror();
  void* address = ::dlsym(handle_, name);
  if (const char* why = ::dlerror()) {
    error_ = QString::fromLocal8Bit(why);
    return nullptr;
  }
  return address;
}

void Library::unload() {
  if (handle_) ::dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace vistrel::platform::shell
