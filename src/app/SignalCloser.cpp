#include "app/SignalCloser.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <csignal>

namespace vistrel::app {
namespace {

int pipeFds[2] = {-1, -1};
std::atomic<int> signalsSeen{0};

// Only async-signal-safe work here: the close itself happens on the user-interface thread.
void onSignalRaised(int) {
  if (signalsSeen.fetch_add(1) >= 1) ::_exit(128 + SIGTERM);
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &byte, 1);
}

}  // namespace

SignalCloser::SignalCloser(QWidget* window) : window_(window) {
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &SignalCloser::onSignal);
  struct sigaction action {};
  action.sa_handler = onSignalRaised;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int s : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(s, &action, nullptr);
}

SignalCloser::~SignalCloser() {
  for (int s : {SIGTERM, SIGINT, SIGHUP}) std::signal(s, SIG_DFL);
  delete notifier_;
  for (int& fd : pipeFds) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

void SignalCloser::onSignal() {
  char buffer[16];
  while (::read(pipeFds[0], buffer, sizeof buffer) > 0) {
  }
  if (window_) window_->close();
}

}  // namespace vistrel::app
