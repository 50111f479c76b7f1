#include "platform/shell/SystemInfo.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

namespace vistrel::platform::shell {

QString operatingSystemDescription() {
  QString distribution = QStringLiteral("Linux");
  QFile release(QStringLiteral("/etc/os-release"));
  if (release.open(QIODevice::ReadOnly | QIODevice::Text)) {
    QTextStream in(&release);
    while (!in.atEnd()) {
      const QString line = in.readLine();
      if (line.startsWith(QLatin1String("PRETTY_NAME="))) {
        distribution = line.mid(12).remove(QLatin1Char('"')).trimmed();
        break;
      }
    }
  }
  struct utsname names {};
  if (::uname(&names) != 0) return distribution;
  return QStringLiteral("%1, %2 %3 %4")
      .arg(distribution, QString::fromLocal8Bit(names.sysname), QString::fromLocal8Bit(names.release),
           QString::fromLocal8Bit(names.machine));
}

int processorCount() {
  const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int>(n) : 1;
}

ProcessorUsageSampler::ProcessorUsageSampler(QString statFile) : statFile_(std::move(statFile)) {}

std::vector<int> ProcessorUsageSampler::sample() {
  std::vector<Counters> now;
  QFile file(statFile_);
  if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    static const QRegularExpression coreLine(QStringLiteral("^cpu\\d+\\s"));
    // Files of /proc report a size of 0, so they are read whole rather than line by line.
    const QStringList lines = QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
      if (!coreLine.match(line).hasMatch()) continue;
      const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
      Counters c;
      // user nice system idle iowait irq softirq steal: idle and iowait are the idle time.
      for (qsizetype i = 1; i < fields.size() && i <= 8; ++i) {
        const unsigned long long v = fields[i].toULongLong();
        c.total += v;
        if (i != 4 && i != 5) c.busy += v;
      }
      now.push_back(c);
    }
  }
  std::vector<int> usage;
  usage.reserve(now.size());
  for (size_t i = 0; i < now.size(); ++i) {
    const Counters before = i < previous_.size() ? previous_[i] : Counters{};
    const unsigned long long total = now[i].total - std::min(before.total, now[i].total);
    const unsigned long long busy = now[i].busy - std::min(before.busy, now[i].busy);
    usage.push_back(total == 0 ? 0 : static_cast<int>(std::min<unsigned long long>(100, busy * 100 / total)));
  }
  previous_ = std::move(now);
  return usage;
}

}  // namespace vistrel::platform::shell
