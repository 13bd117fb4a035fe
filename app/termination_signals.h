// SIGTERM, SIGHUP and SIGINT end the window as closing it does, instead of
// killing the program in the middle of a run: the handler only notes the
// arrival and writes to a pipe, and the event loop hears of it there. A
// call blocked in the system (an input that is a pipe with no writer yet)
// is interrupted and given up, so the run waiting on it ends as well.
#pragma once

#include <QObject>
#include <csignal>
#include <iterator>

class QSocketNotifier;

namespace pelmoro {

class TerminationSignals : public QObject {
  Q_OBJECT

 public:
  // Installs the handlers (leaving a signal alone that the caller set to be
  // ignored) and the text layer's interruption check. One object at a
  // time; it starts with no signal arrived.
  explicit TerminationSignals(QObject* parent = nullptr);
  // Gives the signals back their earlier actions and removes the check.
  ~TerminationSignals() override;

  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // True once one of the signals has arrived, before the event loop hears
  // of it: a run that failed because a call was given up can tell that the
  // signal, not the failure, is the news. Reads only the handler's flag.
  static bool Arrived();

 signals:
  // One of the signals arrived (once per batch of arrivals).
  void arrived();

 private:
  static constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

  QSocketNotifier* notifier_ = nullptr;
  struct sigaction earlier_[std::size(kSignals)]{};
  bool installed_[std::size(kSignals)] = {};
};

}  // namespace pelmoro
