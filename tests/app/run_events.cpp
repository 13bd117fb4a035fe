#include "tests/app/run_events.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>

namespace pelmoro::testing {

void PostClick(QWidget* button) {
  const QPointF at(button->width() / 2.0, button->height() / 2.0);
  const QPointF global = button->mapToGlobal(at);
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QCoreApplication::postEvent(
        button, new QMouseEvent(type, at, global, Qt::LeftButton,
                                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                Qt::NoModifier));
  }
}

bool ExecUntilLastWindowCloses(const std::function<void()>& start) {
  bool gave_up = false;
  QTimer::singleShot(0, qApp, start);
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, qApp, [&gave_up] {
    gave_up = true;
    QCoreApplication::quit();
  });
  guard.start(60000);
  QApplication::exec();
  return !gave_up;
}

std::string SignalWhileOpenWaits::FirstLine(const char* file) const {
  std::ifstream in(task_ + file);
  std::string line;
  std::getline(in, line);
  return line;
}

bool SignalWhileOpenWaits::IsOpen(const std::string& call) {
  long number = -1;  // "running" when not in the system
  if (std::sscanf(call.c_str(), "%ld", &number) != 1) return false;
#ifdef SYS_open
  if (number == SYS_open) return true;
#endif
  return number == SYS_openat;
}

bool SignalWhileOpenWaits::OpenWaits() const {
  const std::string call = FirstLine("/syscall");
  if (!IsOpen(call)) return false;
  const std::string stat = FirstLine("/stat");
  const std::size_t name_end = stat.rfind(')');
  if (name_end == std::string::npos || stat.compare(name_end, 4, ") S ") != 0) return false;
  return FirstLine("/syscall") == call;
}

void SignalWhileOpenWaits::Watch() {
  int looks_in_a_row = 0;
  int looks_in_all = 0;
  while (!done_) {
    if (!OpenWaits()) {
      looks_in_a_row = 0;
    } else if (++looks_in_all > kLooksBeforeReleasing) {
      const int writer = ::open(fifo_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (writer >= 0) ::close(writer);
      released_ = true;
      return;
    } else if (looks_in_a_row++ % kLooksBeforeResending == 0) {
      ::pthread_kill(target_, signal_number_);
      ++signals_sent_;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace pelmoro::testing
