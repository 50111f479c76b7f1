#pragma once
// Facts about the machine for the help panel's report and the processor gauge.

#include <QString>
#include <vector>

namespace vistrel::platform::shell {

// "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64 x86_64" style text.
QString operatingSystemDescription();
int processorCount();

// Per-core processor usage from the kernel's counters (/proc/stat). Each sample() returns the
// busy percentage (0..100) of every core since the previous sample; the first call measures
// since the machine started. Not thread-safe; one sampler per gauge.
class ProcessorUsageSampler {
 public:
  explicit ProcessorUsageSampler(QString statFile = QStringLiteral("/proc/stat"));
  std::vector<int> sample();

 private:
  struct Counters {
    unsigned long long busy = 0, total = 0;
  };
  QString statFile_;
  std::vector<Counters> previous_;
};

}  // namespace vistrel::platform::shell
